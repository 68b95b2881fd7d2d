// The web player in headless Chromium on software WebGL (SwiftShader), measured:
//
//   node bench/web-player.mjs shots URL [--size WxH] [--times "T1 T2 ..."] [--out DIR] [--data NAME.zip]
//       renders the fixed demo times in the page's fixed-step mode (over the site's NAME.zip,
//       default data.zip) and with the desktop player's --shot (PYLON_DESKTOP_PLAYER, default
//       build/veltro12, over PYLON_WEB_DATA, default build-web/site/NAME.zip), and prints
//       each pair's PSNR; the PNGs stay in DIR
//   node bench/web-player.mjs timeline URL [--size WxH] [--data NAME.zip]
//       plays the whole production in real time and prints the frames drawn per second,
//       the time from opening the page to the player being ready and to its first frame
//
// URL is the served site (scripts/web.sh --serve prints it). Figures, not a test: the
// browser tests in tests/web check the pictures against a threshold.
import { execFileSync } from 'node:child_process';
import { mkdirSync, mkdtempSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { launchChromium, psnr } from '../tests/web/browser.mjs';

const [mode, url, ...rest] = process.argv.slice(2);
if (!['shots', 'timeline'].includes(mode) || !url) {
  console.error('usage: node bench/web-player.mjs shots|timeline URL [--size WxH] [--times "T ..."] [--out DIR] [--data NAME.zip]');
  process.exit(2);
}
const option = (name, fallback) => {
  const i = rest.indexOf(name);
  return i >= 0 && i + 1 < rest.length ? rest[i + 1] : fallback;
};
const size = option('--size', mode === 'shots' ? '1920x1080' : '1280x720');
const times = option('--times', '5 15 30 43.5 60 80 90 100 112 118').split(/\s+/).filter(Boolean);
const archive = option('--data', 'data.zip');
const out = option('--out', mkdtempSync(join(tmpdir(), 'pylon-web-bench-')));
const [width, height] = size.split('x').map(Number);

const work = mkdtempSync(join(tmpdir(), 'pylon-web-profile-'));
const browser = await launchChromium(work, { width: Math.max(width, 1280), height: Math.max(height, 720) });
const page = await browser.newPage();
const site = url.endsWith('/') ? url : url + '/';
try {
  if (mode === 'shots') {
    mkdirSync(out, { recursive: true });
    await page.goto(`${site}index.html?autostart=1&size=${size}&data=${archive}&shots=${times.join(',')}`);
    await page.waitForFunction(() => pylon.phase === 'ended', null, { timeout: 1800000, polling: 500 });
    const shots = await page.evaluate(() => pylon.shots);
    const player = process.env.PYLON_DESKTOP_PLAYER || 'build/veltro12';
    const data = process.env.PYLON_WEB_DATA || `build-web/site/${archive}`;
    for (const t of times) {
      const web = join(out, `web-${t}.png`), desktop = join(out, `desktop-${t}.png`);
      if (!shots[t]) {
        console.log(`${t} s: no picture from the page`);
        continue;
      }
      writeFileSync(web, Buffer.from(shots[t].split(',')[1], 'base64'));
      execFileSync(player, ['--data', data, '--no-dialog', '--windowed', '--size', size, '--shot', t, desktop],
                   { stdio: 'ignore', env: { ...process.env, LIBGL_ALWAYS_SOFTWARE: '1', SDL_AUDIODRIVER: 'dummy' } });
      console.log(`${t} s: ${(await psnr(web, desktop)).toFixed(2)} dB`);
    }
    console.log(`pictures in ${out}`);
  } else {
    await page.goto(`${site}index.html?autostart=1&size=${size}&data=${archive}`);
    await page.waitForFunction(() => pylon.phase === 'ended', null, { timeout: 600000, polling: 1000 });
    const s = await page.evaluate(() => ({ frames: pylon.frames, timings: pylon.timings, ended: performance.now(), exit: pylon.exitCode }));
    const seconds = (s.ended - s.timings.firstFrame) / 1000;
    console.log(`${size}: ${s.frames} frames in ${seconds.toFixed(1)} s, ${(s.frames / seconds).toFixed(1)} frames per second ` +
                `(exit code ${s.exit})`);
    console.log(`ready ${Math.round(s.timings.ready)} ms after opening; first frame ${Math.round(s.timings.firstFrame)} ms ` +
                `after opening (${Math.round(s.timings.firstFrame - s.timings.start)} ms after Start)`);
  }
} finally {
  await browser.close();
}

// The web player in Chromium (software WebGL): start on a click with sound, fixed-step shots
// against the desktop player's --shot, clear messages for a missing and a damaged archive,
// and the end of the production. scripts/web-test.sh builds and serves the site first:
//   PYLON_WEB_URL         the served site (http://127.0.0.1:PORT/)
//   PYLON_DESKTOP_PLAYER  the desktop veltro12, for the reference shots
//   PYLON_WEB_DATA        the archive the site plays, for the desktop player
//   PYLON_WEB_LANTERNS    Lanterns' archive, served beside the page as lanterns.zip (optional)
//   PYLON_WEB_DRACO       a production with a Draco-compressed glTF scene, as draco.zip (optional)
//   PYLON_WEB_SHOTS       a folder for screenshots of the page (optional)
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFile } from 'node:child_process';
import { copyFileSync, mkdtempSync, mkdirSync, writeFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { promisify } from 'node:util';
import { launchChromium, psnr } from './browser.mjs';

const run = promisify(execFile);
const url = process.env.PYLON_WEB_URL || 'http://127.0.0.1:8080/';
const desktop = process.env.PYLON_DESKTOP_PLAYER || 'build/veltro12';
const data = process.env.PYLON_WEB_DATA || 'build-web/site/data.zip';
const lanterns = process.env.PYLON_WEB_LANTERNS || '';
const draco = process.env.PYLON_WEB_DRACO || '';
const screenshots = process.env.PYLON_WEB_SHOTS || '';
const work = mkdtempSync(join(tmpdir(), 'pylon-web-'));
let browser;

before(async () => {
  browser = await launchChromium(work);
  if (screenshots) mkdirSync(screenshots, { recursive: true });
});
after(async () => {
  await browser?.close();
  rmSync(work, { recursive: true, force: true });
});

async function open(query) {
  const page = await browser.newPage();
  const errors = [];
  page.on('pageerror', (error) => errors.push(String(error)));
  await page.goto(url + 'index.html' + query);
  return { page, errors };
}

const state = (page) => page.evaluate(() => ({
  phase: pylon.phase, exitCode: pylon.exitCode, frames: pylon.frames, messages: pylon.messages,
  audio: pylon.audioState(), timings: pylon.timings, log: pylon.log.slice(-12),
}));

async function waitFor(page, predicate, what, timeout) {
  try {
    await page.waitForFunction(predicate, null, { timeout, polling: 250 });
  } catch (error) {
    assert.fail(`${what} within ${timeout / 1000} s: ${JSON.stringify(await state(page), null, 1)}`);
  }
}

test('the page starts the production on a click, with sound, and Escape ends it', async () => {
  const { page, errors } = await open('');
  await waitFor(page, () => pylon.phase === 'ready', 'the player loads', 60000);
  if (screenshots) await page.screenshot({ path: join(screenshots, 'page-ready.png') });
  await page.click('#start');
  await waitFor(page, () => pylon.frames > 40, 'frames are drawn', 240000);
  const playing = await state(page);
  assert.deepEqual(playing.messages, []);
  assert.equal(playing.phase, 'running');
  assert.equal(playing.audio, 'running', 'the sound plays (an AudioContext is running)');
  if (screenshots) await page.screenshot({ path: join(screenshots, 'page-playing.png') });
  console.log(`ready ${Math.round(playing.timings.ready)} ms after opening, first frame ` +
              `${Math.round(playing.timings.firstFrame - playing.timings.start)} ms after Start`);
  await page.keyboard.press('Escape');
  await waitFor(page, () => pylon.phase === 'ended', 'Escape ends the run', 30000);
  assert.equal((await state(page)).exitCode, 0);
  assert.deepEqual(errors, []);
  await page.close();
});

// Opens the page in fixed-step mode with ARCHIVE (served beside the page) and checks each
// shot against the desktop player's --shot of LOCAL_ARCHIVE at the same time and size.
async function compareShots(archive, localArchive, times, label) {
  const { page } = await open(`?data=${archive}&shots=${times.join(',')}&size=1024x576&autostart=1`);
  await waitFor(page, () => pylon.phase === 'ended', `the ${label} shots are taken`, 480000);
  const { exitCode, shots, messages } = await page.evaluate(() => ({ exitCode: pylon.exitCode, shots: pylon.shots, messages: pylon.messages }));
  assert.deepEqual(messages, []);
  assert.equal(exitCode, 0);
  for (const time of times) {
    assert.ok(shots[time], `a ${label} shot at ${time} s`);
    const png = Buffer.from(shots[time].split(',')[1], 'base64');
    const web = join(work, `web-${label}-${time}.png`), reference = join(work, `desktop-${label}-${time}.png`);
    writeFileSync(web, png);
    await run(desktop, ['--shot', time, reference, '--size', '1024x576', '--data', localArchive], { timeout: 120000 });
    if (screenshots) {
      writeFileSync(join(screenshots, `shot-${label}-${time}.png`), png);
      copyFileSync(reference, join(screenshots, `desktop-${label}-${time}.png`));
    }
    const db = await psnr(web, reference);
    console.log(`${label} shot at ${time} s: ${db} dB from the desktop player's`);
    assert.ok(db >= 30, `the ${label} shot at ${time} s is ${db} dB from the desktop player's`);
  }
  await page.close();
}

test('fixed-step shots match the desktop player\'s --shot', async () => {
  await compareShots('data.zip', data, ['1', '43.5', '90'], 'veltro12');
});

// Scene parts that are glTF files in the archive are imported by the page as by the desktop
// player: Lanterns' lit scenes, and a pylon new production whose scene is a Draco-compressed
// box with its buffer beside it.
test('productions with glTF scene parts import and draw them', { skip: !lanterns && 'PYLON_WEB_LANTERNS is not set' }, async () => {
  await compareShots('lanterns.zip', lanterns, ['20', '58'], 'lanterns');
  if (draco) await compareShots('draco.zip', draco, ['3'], 'draco');
});

test('a missing and a damaged archive each show a message naming the file', async () => {
  for (const [name, expected] of [['missing.zip', /missing\.zip.*404/], ['damaged.zip', /damaged\.zip is not a readable ZIP archive/]]) {
    const { page, errors } = await open(`?data=${name}&autostart=1`);
    await waitFor(page, () => pylon.phase === 'ended', `the ${name} run ends`, 60000);
    const { messages } = await state(page);
    assert.equal(messages.length, 1, JSON.stringify(messages));
    assert.match(messages[0].text, expected);
    assert.ok(await page.isVisible('#message'), 'the message is shown on the page');
    if (screenshots) await page.screenshot({ path: join(screenshots, `page-${name}.png`) });
    assert.deepEqual(errors, []);
    await page.close();
  }
});

test('the production ends by itself at its end', async () => {
  // The last two seconds of the production's 125.
  const { page } = await open('?from=123&autostart=1&size=640x360');
  await waitFor(page, () => pylon.phase === 'ended', 'the production ends', 240000);
  const ended = await state(page);
  assert.equal(ended.exitCode, 0);
  assert.deepEqual(ended.messages, []);
  assert.match(await page.textContent('#status'), /has ended/);
  await page.close();
});

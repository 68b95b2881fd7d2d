// Shared by the browser tests and bench/web-player.mjs: Debian's Chromium, headless, with
// software WebGL 2 (SwiftShader through ANGLE), and the PSNR of two pictures.
import { execFile } from 'node:child_process';
import { join } from 'node:path';
import { promisify } from 'node:util';
import { chromium } from 'playwright-core';

const run = promisify(execFile);

// A fresh persistent profile under `work` each run: nothing cached from an earlier build of
// the site. The networking switches keep Chromium from calling out of a closed machine.
export function launchChromium(work, viewport = { width: 1280, height: 720 }) {
  return chromium.launchPersistentContext(join(work, 'profile'), {
    executablePath: process.env.PYLON_CHROMIUM || '/usr/bin/chromium',
    headless: true,
    viewport,
    args: ['--headless=new', '--no-sandbox', '--use-gl=angle', '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
           '--disable-background-networking', '--disable-component-update', '--no-first-run', '--disable-sync'],
  });
}

// ImageMagick's PSNR over RGB in dB (Infinity for identical pictures). compare prints the
// metric on standard error and exits 1 when the pictures differ at all.
export async function psnr(a, b) {
  const result = await run('compare', ['-metric', 'PSNR', a, b, 'null:']).catch((error) => error);
  const text = String(result.stderr).trim();
  return text.startsWith('inf') ? Infinity : parseFloat(text);
}

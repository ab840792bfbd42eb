// What the browser test and the web view's benchmark share: starting and
// stopping the processes, `tolsa serve` on a free loopback port, and
// Debian's chromium under puppeteer-core (which never downloads a browser).

import { spawn } from 'node:child_process';
import { mkdtempSync, rmSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { createInterface } from 'node:readline';

export const chromium = '/usr/bin/chromium';
export const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

const children = new Set();
export function start(program, args) {
  const child = spawn(program, args, { stdio: ['ignore', 'pipe', 'inherit'] });
  children.add(child);
  child.on('exit', () => children.delete(child));
  return child;
}

export async function stop(child) {
  if (child.exitCode !== null || child.signalCode !== null) return;
  const ended = new Promise((resolve) => child.once('exit', resolve));
  child.kill('SIGTERM');
  await Promise.race([ended, sleep(5000)]);
  if (child.exitCode === null && child.signalCode === null) child.kill('SIGKILL');
}

export async function stopAll() {
  for (const child of [...children]) await stop(child);
}

// `tolsa serve` on a free loopback port; its first line names the address.
export async function startServe(tool, args) {
  const serve = start(tool, ['serve', '--listen', '127.0.0.1:0', ...args]);
  const lines = createInterface({ input: serve.stdout });
  const first = await Promise.race([new Promise((resolve) => lines.once('line', resolve)), sleep(20000)]);
  const url = /http:\/\/127\.0\.0\.1:\d+\//.exec(first ?? '')?.[0];
  if (!url) throw new Error(`tolsa serve printed no address: '${first}'`);
  return { serve, url };
}

export async function launchBrowser(webDir) {
  const puppeteer = createRequire(join(webDir, 'package.json'))('puppeteer-core');
  const profile = mkdtempSync(join(tmpdir(), 'tolsa-chromium-'));
  const browser = await puppeteer.launch({
    executablePath: chromium,
    headless: true,
    userDataDir: profile,
    args: ['--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync', '--disable-dev-shm-usage'],
  });
  return {
    browser,
    async close() {
      await browser.close();
      rmSync(profile, { recursive: true, force: true });
    },
  };
}

export const quantile = (values, q) => {
  const sorted = [...values].sort((a, b) => a - b);
  return sorted.length ? sorted[Math.min(sorted.length - 1, Math.floor(q * sorted.length))] : null;
};

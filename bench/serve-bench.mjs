// The web view under load: 100,000 variables, of which 1,000 change every
// 100 ms (bench/ServeFeeder.cpp), judged by the harness (bench/harness.mjs):
//  - the server's CPU per pass against `tolsa dump --json` of the same area,
//    its floor, in alternating rounds: <= 1.5x;
//  - the page's first contentful paint: <= 1 s (and the time until rows show);
//  - the time to apply one update in the page (performance marks): <= 16 ms at p99.
//
// Run inside scripts/isolated.sh, after building tolsa, tolsa_bench_startup and
// tolsa_bench_serve_feeder:
//   node bench/serve-bench.mjs [BUILD_DIR] [--json FILE] [--rounds N] [--quick] [--filter TEXT]

import { spawnSync } from 'node:child_process';
import { readFileSync, rmSync } from 'node:fs';
import { join, resolve } from 'node:path';

import { launchBrowser, quantile, sleep, start, startServe, stopAll } from '../tests/serve/harness.mjs';
import { Harness, atMost } from './harness.mjs';

const root = resolve(import.meta.dirname, '..');
const args = process.argv.slice(2);
const buildDir = args[0] && !args[0].startsWith('-') ? args.shift() : join(root, 'build/native');
const bin = join(resolve(buildDir), 'bin');
const harness = new Harness('tolsa_bench_serve', args);
if (harness.done) process.exit(harness.exitCode);
const VARIABLES = 100000, CHANGES = 1000, INTERVAL_MS = 100;
const ROUND_MS = harness.quick ? 1000 : 3000, LOADS = harness.quick ? 1 : 3;
if (process.env.TOLSA_ISOLATED !== '1') {
  console.error('serve-bench.mjs: run through scripts/isolated.sh');
  process.exit(2);
}

// CPU seconds (user + system) a process has used so far.
function cpuSeconds(pid) {
  const fields = readFileSync(`/proc/${pid}/stat`, 'utf8').split(') ')[1].split(' ');
  return (Number(fields[11]) + Number(fields[12])) / 100;  // utime, stime in clock ticks (USER_HZ 100)
}
// CPU seconds of one `tolsa dump --json` of the whole area.
function dumpSeconds() {
  const run = spawnSync('bash', ['-c', `TIMEFORMAT='%U %S'; { time "${bin}/tolsa" dump --json >/dev/null; } 2>&1`], { encoding: 'utf8' });
  const [user, system] = run.stdout.trim().split(/\s+/).map(Number);
  return user + system;
}

for (const file of ['iorsh.mem', 'memsh.mem']) rmSync(join('/kestor', file), { force: true });
spawnSync(join(bin, 'tolsa_bench_startup'), ['--write-definitions', '/kestor/', String(VARIABLES)], { stdio: 'inherit' });
const feeder = start(join(bin, 'tolsa_bench_serve_feeder'), [String(CHANGES), String(INTERVAL_MS)]);
await sleep(1500);
const { serve, url } = await startServe(join(bin, 'tolsa'), ['--interval', String(INTERVAL_MS)]);
let chrome = null;
try {
  chrome = await launchBrowser(join(root, 'web'));
  const page = await chrome.browser.newPage();
  await page.setViewport({ width: 1280, height: 800 });

  const paints = [], rows = [];
  for (let i = 0; i < LOADS; ++i) {
    await page.goto(url, { waitUntil: 'load' });
    await page.waitForFunction(() => window.tolsaStats?.firstRows !== null, { timeout: 60000 });
    const figures = await page.evaluate(() => ({
      paint: performance.getEntriesByName('first-contentful-paint')[0]?.startTime ?? null,
      rows: window.tolsaStats.firstRows,
    }));
    paints.push(figures.paint);
    rows.push(figures.rows);
  }
  // Updates applied while the page is open, with two trends drawn.
  for (const name of [0, 1]) await page.click(`#viewport .row[data-index="${name}"]`).catch(() => {});
  await page.evaluate(() => { window.tolsaStats.updates.length = 0; });

  // A: a stretch of the server's passes; B: one dump of the same area.
  const passes = ROUND_MS / INTERVAL_MS;
  await harness.compare('serve pass <= 1.5x dump --json of the area',
    ['server CPU per pass', async () => {
      const before = cpuSeconds(serve.pid);
      await sleep(ROUND_MS);
      return (cpuSeconds(serve.pid) - before) * 1000;
    }, passes],
    ['tolsa dump --json CPU', async () => dumpSeconds() * 1000],
    { goal: atMost(1.5), unit: 'ms', rounds: 7,
      note: `${VARIABLES} variables, ${CHANGES} changed every ${INTERVAL_MS} ms; CPU time from /proc, user + system` });

  const updates = await page.evaluate(() => window.tolsaStats.updates);
  harness.value('first contentful paint <= 1 s', `median of ${LOADS} loads`, quantile(paints, 0.5),
    { unit: 'ms', goal: atMost(1000) });
  harness.value('rows shown after load (no goal)', `median of ${LOADS} loads`, quantile(rows, 0.5), { unit: 'ms' });
  harness.value('update applied in the page <= 16 ms at p99', `p99 of ${updates.length} updates`,
    quantile(updates, 0.99), { unit: 'ms', goal: atMost(16) });
  process.exitCode = harness.finish();
} finally {
  await chrome?.close();
  await stopAll();
  void feeder;
}

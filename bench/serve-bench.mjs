// The web view under load: 100,000 variables, of which 1,000 change every
// 100 ms (bench/ServeFeeder.cpp). Reports, without judging:
//  - the page's first contentful paint and the time until its rows show;
//  - the time to apply one update in the page (performance marks), median and p99;
//  - the server's CPU per pass, against `tolsa dump --json` of the same area
//    as the floor, in interleaved rounds, as a ratio per round.
// Goals: first paint <= 1 s; an update in <= 16 ms at p99; a pass <= 1.5x the floor.
//
// Run inside scripts/isolated.sh, after building tolsa, tolsa_bench_startup and
// tolsa_bench_serve_feeder:  node bench/serve-bench.mjs [BUILD_DIR]

import { spawnSync } from 'node:child_process';
import { readFileSync, rmSync, writeFileSync } from 'node:fs';
import { join, resolve } from 'node:path';

import { launchBrowser, quantile, sleep, start, startServe, stopAll } from '../tests/serve/harness.mjs';

const root = resolve(import.meta.dirname, '..');
const bin = join(resolve(process.argv[2] ?? join(root, 'build/native')), 'bin');
const VARIABLES = 100000, CHANGES = 1000, INTERVAL_MS = 100, ROUNDS = 5, ROUND_MS = 3000;
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
  for (let i = 0; i < 3; ++i) {
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

  // Interleaved: a stretch of the server's passes, then one dump, each round.
  const ratios = [], perPass = [], floors = [];
  for (let round = 0; round < ROUNDS; ++round) {
    const before = cpuSeconds(serve.pid);
    await sleep(ROUND_MS);
    const pass = (cpuSeconds(serve.pid) - before) / (ROUND_MS / INTERVAL_MS);
    const floor = dumpSeconds();
    perPass.push(pass * 1000);
    floors.push(floor * 1000);
    ratios.push(pass / floor);
  }
  const updates = await page.evaluate(() => window.tolsaStats.updates);
  const report = {
    variables: VARIABLES,
    changesPerPass: CHANGES,
    intervalMs: INTERVAL_MS,
    firstContentfulPaintMs: quantile(paints, 0.5),
    firstRowsMs: quantile(rows, 0.5),
    updatesApplied: updates.length,
    updateMedianMs: quantile(updates, 0.5),
    updateP99Ms: quantile(updates, 0.99),
    serverPassCpuMs: quantile(perPass, 0.5),
    dumpJsonCpuMs: quantile(floors, 0.5),
    passOverFloorPerRound: ratios.map((r) => Number(r.toFixed(3))),
    passOverFloorMedian: Number(quantile(ratios, 0.5).toFixed(3)),
  };
  writeFileSync(join(bin, '..', 'serve-bench.json'), `${JSON.stringify(report, null, 2)}\n`);
  console.log(JSON.stringify(report, null, 2));
  console.log(`goals: first paint ${report.firstContentfulPaintMs <= 1000 ? 'met' : 'missed'} (<= 1000 ms), ` +
    `update p99 ${report.updateP99Ms <= 16 ? 'met' : 'missed'} (<= 16 ms), ` +
    `pass/floor ${report.passOverFloorMedian <= 1.5 ? 'met' : 'missed'} (<= 1.5)`);
} finally {
  await chrome?.close();
  await stopAll();
  void feeder;
}

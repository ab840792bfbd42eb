// bench/harness.mjs on made-up timings: the same arithmetic and verdicts as
// the C++ and Python harnesses (HarnessTest.cpp and harness_test.py hold the
// same cases). Run: node --test bench/harness_test.mjs
import assert from 'node:assert/strict';
import { mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { test } from 'node:test';

import { Harness, atLeast, atMost, percentile, verdict } from './harness.mjs';

// A block whose per-iteration cost cycles through `costs`, one per call.
function costs(...perIteration) {
  let calls = 0;
  return async (iterations) => perIteration[calls++ % perIteration.length] * iterations;
}

test('percentiles are linear between ranks', () => {
  assert.ok(Math.abs(percentile([5, 1, 4, 2, 3], 0.1) - 1.4) < 1e-12);
  assert.equal(percentile([5, 1, 4, 2, 3], 0.5), 3);
  assert.ok(Math.abs(percentile([5, 1, 4, 2, 3], 0.9) - 4.6) < 1e-12);
  assert.equal(percentile([7], 0.9), 7);
  assert.ok(Number.isNaN(percentile([], 0.5)));
});

test('the verdict rests on the whole band', () => {
  const cases = [
    [atMost(2), 1.5, 1.9, 'met'], [atMost(2), 1.5, 2.0, 'met'],
    [atMost(2), 1.5, 2.1, 'unstable'], [atMost(2), 2.0, 2.1, 'unstable'],
    [atMost(2), 2.01, 3, 'NOT MET'], [atLeast(3), 3, 4, 'met'],
    [atLeast(3), 2.9, 3.1, 'unstable'], [atLeast(3), 1, 2.9, 'NOT MET'],
    [null, 1, 100, '-'],
  ];
  for (const [goal, p10, p90, expected] of cases) assert.equal(verdict(goal, p10, p90), expected, `${p10}..${p90}`);
});

test('a run writes the shape the other harnesses write', async () => {
  const directory = mkdtempSync(join(tmpdir(), 'harness-'));
  const log = console.log;
  console.log = () => {};
  try {
    const path = join(directory, 'run.json');
    const h = new Harness('test', ['--json', path, '--rounds', '9']);
    await h.compare('steady', ['A', costs(3)], ['B', costs(1)], { goal: atMost(2) });
    await h.compare('per pass', ['A', costs(3000), 1000], ['B', costs(2)], { goal: atMost(2) });
    await h.compare('swinging', ['A', costs(1)], ['B', costs(1, 0.25)], { goal: atMost(2) });
    let calls = 0;
    await h.compare('breaks', ['A', async (n) => (++calls > 8 ? -1 : n)], ['B', costs(1)], { goal: atMost(2) });
    h.value('nothing measured', 'p99', null, { goal: atMost(16) });
    assert.equal(h.finish(), 1);
    const run = JSON.parse(readFileSync(path, 'utf8'));
    assert.deepEqual(Object.keys(run).sort(), ['cpu_model', 'load_average', 'program', 'quick', 'targets']);
    const [steady, per, swinging, breaks, nothing] = run.targets;
    assert.equal(steady.a.median, 3);
    assert.deepEqual(steady.ratio, { median: 3, p10: 3, p90: 3 });
    assert.deepEqual([steady.verdict, steady.rounds], ['NOT MET', 9]);
    assert.deepEqual([per.ratio.median, per.verdict], [1.5, 'met']);
    assert.equal(swinging.verdict, 'unstable');
    assert.equal(breaks.verdict, 'failed');
    assert.equal(nothing.verdict, 'failed');
    assert.deepEqual(Object.keys(steady).sort(), ['a', 'b', 'goal', 'kind', 'note', 'placement', 'ratio', 'ratios',
      'rounds', 'target', 'unit', 'verdict']);
  } finally {
    console.log = log;
    rmSync(directory, { recursive: true, force: true });
  }
});

test('bad arguments are refused with status 2', () => {
  const error = console.error;
  console.error = () => {};
  try {
    for (const argv of [['--rounds', '0'], ['--json'], ['--bogus']]) {
      const h = new Harness('test', argv);
      assert.deepEqual([h.done, h.exitCode], [true, 2], argv.join(' '));
    }
  } finally {
    console.error = error;
  }
});

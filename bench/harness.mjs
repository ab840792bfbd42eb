// The benchmark harness for node programs (the web view's benchmark): the
// same rules as bench/harness/Harness.h and bench/harness.py. A (the library
// side) and B (its floor or peer) run in alternating blocks in one run; each
// round gives one ratio A/B, and the verdict rests on the p10..p90 band:
//   met       the whole band is on the right side of the goal,
//   NOT MET   the whole band is on the wrong side,
//   unstable  the band straddles the goal.
//
//   import { Harness, atMost } from './harness.mjs';
//   const h = new Harness('tolsa_bench_serve', process.argv.slice(2));  // --json FILE --rounds N --quick --filter TEXT
//   await h.compare('serve pass <= 1.5x dump', ['pass', blockA], ['dump --json', blockB],
//                   { goal: atMost(1.5), unit: 'ms', iterations: 1 });
//   h.value('first paint <= 1 s', 'first-contentful-paint', 240, { unit: 'ms', goal: atMost(1000) });
//   process.exit(h.finish());
//
// A block is an async function of `iterations` that returns the nanoseconds
// they took (or another unit, given as `unit`), negative when it failed. The
// blocks here measure seconds-long stretches, so there is no calibration:
// `iterations` is given. The JSON file has the shape the other harnesses
// write; bench/report.py merges, prints and counts them.

import { readFileSync, writeFileSync } from 'node:fs';
import { loadavg } from 'node:os';

export const atMost = (bound) => ({ at_most: bound });
export const atLeast = (bound) => ({ at_least: bound });

// Linear between ranks; NaN for no values.
export function percentile(values, fraction) {
  if (values.length === 0) return NaN;
  const ordered = [...values].sort((x, y) => x - y);
  const rank = fraction * (ordered.length - 1);
  const low = Math.floor(rank), high = Math.min(low + 1, ordered.length - 1);
  return ordered[low] + (ordered[high] - ordered[low]) * (rank - low);
}

export function verdict(goal, p10, p90) {
  if (!goal) return '-';
  if ('at_most' in goal) return p90 <= goal.at_most ? 'met' : p10 > goal.at_most ? 'NOT MET' : 'unstable';
  return p10 >= goal.at_least ? 'met' : p90 < goal.at_least ? 'NOT MET' : 'unstable';
}

const goalText = (goal) => (!goal ? 'none' : 'at_most' in goal ? `<= ${goal.at_most}` : `>= ${goal.at_least}`);
const fixed = (x) => (Number.isFinite(x) ? x.toPrecision(3) : '-');

function cpuModel() {
  try {
    const line = readFileSync('/proc/cpuinfo', 'utf8').split('\n').find((l) => l.startsWith('model name'));
    return line ? line.split(':')[1].trim() : 'unknown';
  } catch {
    return 'unknown';
  }
}

const USAGE = `usage: PROGRAM [--json FILE] [--rounds N] [--quick] [--filter TEXT]
  --json FILE    write the results as JSON
  --rounds N     rounds per comparison without a count of its own (default 21)
  --quick        3 rounds: checks that everything runs
  --filter TEXT  only the targets whose text contains TEXT
Exit status: 0 done, 1 a side failed or the JSON file could not be written,
2 a bad argument. Verdicts never change the exit status.`;

export class Harness {
  constructor(program, argv) {
    this.program = program;
    this.rows = [];
    this.failed = false;
    this.quick = false;
    this.rounds = 0;
    this.filter = '';
    this.jsonPath = null;
    this.done = false;  // --help or a bad argument: exit with exitCode
    this.exitCode = 0;
    for (let i = 0; i < argv.length; ++i) {
      const option = argv[i], next = argv[i + 1];
      if (option === '--help' || option === '-h') {
        console.log(USAGE.replace('PROGRAM', program));
        this.done = true;
        return;
      } else if (option === '--quick') {
        this.quick = true;
      } else if (['--json', '--rounds', '--filter', '--block-ms'].includes(option) && next !== undefined) {
        ++i;
        if (option === '--json') this.jsonPath = next;
        if (option === '--filter') this.filter = next;
        if (option === '--rounds') {
          if (!/^[1-9][0-9]*$/.test(next)) return this.#bad(`--rounds wants a count of at least 1, not '${next}'`);
          this.rounds = Number(next);
        }
        // --block-ms is taken and ignored: these blocks have fixed lengths.
      } else {
        return this.#bad(`unknown or incomplete argument '${option}' (try --help)`);
      }
    }
  }

  #bad(message) {
    console.error(`${this.program}: ${message}`);
    this.done = true;
    this.exitCode = 2;
  }

  selected(target) {
    return !this.filter || target.includes(this.filter);
  }

  // a, b: [name, block] or [name, block, operations]; the ratio is A / B.
  async compare(target, a, b, { goal = null, unit = 'ns', iterations = 1, rounds = 0, placement = '', note = '' } = {}) {
    if (!this.selected(target)) return null;
    const [nameA, blockA, opsA = 1] = a, [nameB, blockB, opsB = 1] = b;
    const count = this.quick ? 3 : rounds || this.rounds || 21;  // a comparison's own count wins, as in the others
    const perA = [], perB = [], ratios = [];
    let failed = false;
    for (let round = 0; round < count && !failed; ++round) {
      const got = [0, 0];
      const order = [[0, blockA, opsA], [1, blockB, opsB]];
      // A B, then B A: neither side always runs right after the other.
      for (const [slot, block, ops] of round % 2 === 0 ? order : order.reverse()) {
        const total = await block(iterations);
        got[slot] = total < 0 ? -1 : total / (iterations * ops);
      }
      if (got[0] < 0 || !(got[1] > 0)) {
        failed = true;
        break;
      }
      perA.push(got[0]);
      perB.push(got[1]);
      ratios.push(got[0] / got[1]);
    }
    const median = percentile(ratios, 0.5), p10 = percentile(ratios, 0.1), p90 = percentile(ratios, 0.9);
    const row = {
      target, kind: 'ratio',
      a: { name: nameA, median: percentile(perA, 0.5), iterations },
      b: { name: nameB, median: percentile(perB, 0.5), iterations },
      unit, ratio: { median, p10, p90 }, goal,
      verdict: failed ? 'failed' : verdict(goal, p10, p90),
      rounds: ratios.length, placement, note, ratios,
    };
    this.failed ||= failed;
    this.rows.push(row);
    console.log(`${target.padEnd(52)} ${row.verdict}`);
    console.log(`    ${nameA.padEnd(36)} ${row.a.median.toFixed(1).padStart(12)} ${unit}`);
    console.log(`    ${nameB.padEnd(36)} ${row.b.median.toFixed(1).padStart(12)} ${unit}`);
    console.log(`    ratio ${fixed(median)}  [p10 ${fixed(p10)}, p90 ${fixed(p90)}]  goal ${goalText(goal)}  rounds ${ratios.length}`);
    if (note) console.log(`    (${note})`);
    return row;
  }

  // A figure measured once, judged directly.
  value(target, name, value, { unit = '', goal = null } = {}) {
    if (!this.selected(target)) return null;
    // No figure at all (nothing was measured) fails rather than passing unjudged.
    const measured = typeof value === 'number' && Number.isFinite(value);
    const row = { target, kind: 'value', name, value, unit, goal, verdict: measured ? verdict(goal, value, value) : 'failed' };
    this.failed ||= !measured;
    this.rows.push(row);
    console.log(`${target.padEnd(52)} ${row.verdict}`);
    console.log(`    ${name.padEnd(36)} ${Number(value).toFixed(1).padStart(12)} ${unit}  goal ${goalText(goal)}`);
    return row;
  }

  // Writes the JSON file; 0, or 1 when a side failed or the file could not be written.
  finish() {
    if (this.jsonPath) {
      const document = { program: this.program, cpu_model: cpuModel(), load_average: loadavg(), quick: this.quick, targets: this.rows };
      // NaN becomes null, as the other harnesses write it.
      const text = JSON.stringify(document, (key, v) => (typeof v === 'number' && !Number.isFinite(v) ? null : v), 1);
      try {
        writeFileSync(this.jsonPath, `${text}\n`);
      } catch (error) {
        console.error(`${this.program}: cannot write ${this.jsonPath}: ${error.message}`);
        return 1;
      }
    }
    return this.failed ? 1 : 0;
  }
}

// The page of `tolsa serve` in Debian's chromium, headless, driven by
// puppeteer-core, against a live area the example producer feeds. Runs inside
// scripts/isolated.sh: /kestor and /dev/shm are private. Every process it
// starts listens on 127.0.0.1 only and is stopped at the end.
//
// Environment: TOLSA_TOOL, TOLSA_PRODUCER, TOLSA_AGENT (programs),
// TOLSA_WEB_DIR (web/, with node_modules), TOLSA_SOURCE_DIR (for the
// definition files), TOLSA_REPORT_DIR (screenshot and figures go there).
// Exits 77 when something it needs is missing.

import { spawnSync } from 'node:child_process';
import { copyFileSync, existsSync, mkdirSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

import { chromium, launchBrowser, quantile, sleep, start, startServe, stop, stopAll } from './harness.mjs';

const env = process.env;
for (const [what, path] of [['tool', env.TOLSA_TOOL], ['producer', env.TOLSA_PRODUCER], ['agent', env.TOLSA_AGENT],
  ['puppeteer-core', join(env.TOLSA_WEB_DIR ?? '', 'node_modules/puppeteer-core')], ['chromium', chromium]]) {
  if (!path || !existsSync(path)) {
    console.log(`no ${what} at '${path}': skipped`);
    process.exit(77);
  }
}
if (env.TOLSA_ISOLATED !== '1') {
  console.error('browser.mjs: run through scripts/isolated.sh');
  process.exit(2);
}
const reportDir = env.TOLSA_REPORT_DIR ?? tmpdir();
mkdirSync(reportDir, { recursive: true });

// ---- processes -------------------------------------------------------------

async function startProducer() {
  const producer = start(env.TOLSA_PRODUCER, ['--interval', '100']);
  producer.stdout.resume();
  // It runs once the area holds its counter.
  for (let i = 0; i < 100 && agent(['call TolsaReadInt32 IORSH_Counter'])[0] === 'ret=0'; ++i) await sleep(100);
  return producer;
}

// Commands to an agent that loads the library: what the library itself sees.
function agent(commands) {
  const run = spawnSync(env.TOLSA_AGENT, { input: `${commands.join('\n')}\nexit\n`, encoding: 'utf8', timeout: 20000 });
  return run.stdout.split('\n').filter((line) => line !== '');
}
const settings = () => agent(['raw 3', 'raw 4', 'raw 5', 'raw 6']).join('\n');  // the MEMSH_ records

// ---- checks ----------------------------------------------------------------

const results = [];
async function check(name, body) {
  try {
    await body();
    results.push({ name, ok: true });
    console.log(`ok    ${name}`);
  } catch (error) {
    results.push({ name, ok: false });
    console.log(`FAIL  ${name}: ${error.message}`);
  }
}
function expect(condition, message) {
  if (!condition) throw new Error(message);
}

const visibleNames = (page) =>
  page.$$eval('#viewport .row:not([hidden]) .name', (cells) => cells.map((cell) => cell.textContent));
const valueOf = (page, name) =>
  page.$$eval('#viewport .row:not([hidden])', (rows, wanted) => {
    const row = rows.find((r) => r.querySelector('.name').textContent === wanted);
    return row ? row.querySelector('.text').textContent : null;
  }, name);
const rowHandle = (page, name) => page.evaluateHandle((wanted) => [...document.querySelectorAll('#viewport .row:not([hidden])')]
  .find((r) => r.querySelector('.name').textContent === wanted), name);
const stateText = (page) => page.$eval('#state', (badge) => badge.textContent);

async function typeFilter(page, pattern) {
  await page.$eval('#filter', (input) => { input.value = ''; });
  await page.type('#filter', pattern);
}

// Waits until `count` rows are shown; the names shown when they are not.
async function expectRows(page, count) {
  try {
    await page.waitForFunction((n) => document.querySelectorAll('#viewport .row:not([hidden])').length === n, { timeout: 3000 }, count);
  } catch {
    throw new Error(`${count} rows expected, shown: ${await visibleNames(page)}`);
  }
}

async function edit(page, name, text, key) {
  const row = await rowHandle(page, name);
  const button = await row.$('.edit');
  expect(button, `${name} has no edit control`);
  await button.click();
  await page.waitForSelector('#viewport input.editor', { timeout: 2000 });
  await page.$eval('#viewport input.editor', (input) => { input.value = ''; });
  await page.type('#viewport input.editor', text);
  await page.keyboard.press(key);
  await page.waitForFunction(() => !document.querySelector('#viewport input.editor'), { timeout: 5000 });
}

// Pixels of the chart canvas in the colour of the first series.
const tracePixels = (page) => page.evaluate(() => {
  const canvas = document.querySelector('#chart canvas');
  if (!canvas) return 0;
  const { data } = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height);
  let count = 0;
  for (let i = 0; i < data.length; i += 4) {
    if (Math.abs(data[i] - 0x2f) < 40 && Math.abs(data[i + 1] - 0x6f) < 40 && Math.abs(data[i + 2] - 0xde) < 40 && data[i + 3] > 128) ++count;
  }
  return count;
});

// ---- the run ---------------------------------------------------------------

const source = env.TOLSA_SOURCE_DIR;
for (const file of ['iorsh.mem', 'memsh.mem']) copyFileSync(join(source, 'examples/kestor', file), join('/kestor', file));
let chrome = null;
let producer = await startProducer();
const writable = await startServe(env.TOLSA_TOOL, ['--allow-write', 'MEMSH_Set*', '--allow-write', 'MEMSH_Mode']);
try {
  chrome = await launchBrowser(env.TOLSA_WEB_DIR);
  const { browser } = chrome;
  const page = await browser.newPage();
  await page.setViewport({ width: 1280, height: 800 });
  const pageErrors = [];
  page.on('pageerror', (error) => pageErrors.push(error.message));
  await page.goto(writable.url, { waitUntil: 'load' });

  await check('the table lists the producer\'s variables and they change within a second', async () => {
    await page.waitForFunction(() => document.querySelectorAll('#viewport .row:not([hidden])').length >= 7, { timeout: 10000 });
    const names = await visibleNames(page);
    for (const name of ['IORSH_Counter', 'IORSH_Level', 'IORSH_Status', 'MEMSH_Setpoint', 'MEMSH_Mode', 'MEMSH_Enabled', 'MEMSH_Label'])
      expect(names.includes(name), `${name} is not in the table (${names})`);
    expect(await stateText(page) === 'connected', `the state shows '${await stateText(page)}'`);
    const before = await valueOf(page, 'IORSH_Counter');
    await page.waitForFunction((old) => {
      const row = [...document.querySelectorAll('#viewport .row')].find((r) => r.querySelector('.name').textContent === 'IORSH_Counter');
      return row && row.querySelector('.text').textContent !== old;
    }, { timeout: 1000 }, before);
  });

  await check('the filter narrows the rows by the tool\'s patterns', async () => {
    await typeFilter(page, 'IORSH_*');
    await expectRows(page, 3);
    expect((await visibleNames(page)).every((name) => name.startsWith('IORSH_')), 'a row outside IORSH_* is shown');
    await typeFilter(page, 'MEMSH_[LM]*');
    await expectRows(page, 2);
    expect(JSON.stringify(await visibleNames(page)) === '["MEMSH_Mode","MEMSH_Label"]', `${await visibleNames(page)}`);
    await typeFilter(page, 'nothing*');
    await expectRows(page, 0);
    await page.$eval('#filter', (input) => { input.value = ''; input.dispatchEvent(new Event('input')); });
    await expectRows(page, 7);
  });

  await check('clicking a numeric variable draws its trend, clicking again removes it', async () => {
    expect(await tracePixels(page) === 0, 'a chart is drawn before any variable was chosen');
    await (await rowHandle(page, 'IORSH_Level')).click();
    await sleep(1500);
    const drawn = await tracePixels(page);
    expect(drawn > 100, `the trend canvas holds ${drawn} pixels of the curve's colour`);
    await (await rowHandle(page, 'IORSH_Level')).click();
    expect(await page.$('#chart canvas') === null, 'the chart stays after its only variable was removed');
    await (await rowHandle(page, 'IORSH_Status')).click();  // text: not drawn
    expect(await page.$('#chart canvas') === null, 'a text variable was added to the chart');
    await (await rowHandle(page, 'IORSH_Level')).click();
    await (await rowHandle(page, 'IORSH_Counter')).click();
  });

  await check('pause holds the chart still and resume lets it move on', async () => {
    const picture = () => page.evaluate(() => document.querySelector('#chart canvas').toDataURL());
    await page.click('#pause');
    await sleep(300);
    const paused = await picture();
    await sleep(800);
    expect(await picture() === paused, 'the chart moved while paused');
    expect(await page.$eval('#pause', (b) => b.textContent) === 'resume', 'the button does not offer to resume');
    await page.click('#pause');
    await sleep(800);
    expect(await picture() !== paused, 'the chart did not move on after resume');
  });

  await check('an allowed write changes the area', async () => {
    await edit(page, 'MEMSH_Setpoint', '12.25', 'Enter');
    const read = agent(['call TolsaReadDouble MEMSH_Setpoint'])[0];
    expect(read === 'ret=12.25', `the library reads ${read}`);
    await page.waitForFunction(() => [...document.querySelectorAll('#viewport .row')]
      .some((r) => r.querySelector('.name').textContent === 'MEMSH_Setpoint' && r.querySelector('.text').textContent === '12.25'), { timeout: 3000 });
  });

  await check('Escape cancels an edit, and a refused write shows its error and changes nothing', async () => {
    const before = settings();
    await edit(page, 'MEMSH_Mode', '5', 'Escape');
    await edit(page, 'MEMSH_Mode', '70000', 'Enter');
    const error = await page.evaluate(() => [...document.querySelectorAll('#viewport .row')]
      .find((r) => r.querySelector('.name').textContent === 'MEMSH_Mode').querySelector('.error').textContent);
    expect(error.includes('out of range'), `the row shows '${error}'`);
    expect(settings() === before, 'the area changed');
    const label = await rowHandle(page, 'MEMSH_Label');
    expect(await label.$('.edit') === null, 'MEMSH_Label, not allowed, has an edit control');
  });

  // The page as the README shows it: two trends over a 10 s window.
  await page.select('#window', '10');
  await sleep(8000);
  await page.screenshot({ path: join(reportDir, 'serve.png') });

  await check('read-only mode shows no edit control', async () => {
    // Stopped again at once: as long as a view is attached, the area is held.
    const readOnly = await startServe(env.TOLSA_TOOL, []);
    const view = await browser.newPage();
    await view.goto(readOnly.url, { waitUntil: 'load' });
    await view.waitForFunction(() => document.querySelectorAll('#viewport .row:not([hidden])').length >= 7, { timeout: 10000 });
    expect(await view.$('.edit') === null, 'an edit control is shown');
    expect((await view.$eval('#mode', (m) => m.textContent)) === 'read-only', 'the mode is not shown as read-only');
    await view.close();
    await stop(readOnly.serve);
  });

  await check('the state shows "no area" when the producer stops and recovers when it starts again', async () => {
    await stop(producer);
    await page.waitForFunction(() => document.getElementById('state').textContent === 'no area', { timeout: 15000 });
    producer = await startProducer();
    await page.waitForFunction(() => document.getElementById('state').textContent === 'connected', { timeout: 15000 });
    const before = await valueOf(page, 'IORSH_Counter');
    await page.waitForFunction((old) => [...document.querySelectorAll('#viewport .row')]
      .some((r) => r.querySelector('.name').textContent === 'IORSH_Counter' && r.querySelector('.text').textContent !== old), { timeout: 3000 }, before);
  });

  await check('the page ran without script errors', async () => {
    expect(pageErrors.length === 0, pageErrors.join('; '));
  });

  const figures = await page.evaluate(() => ({
    firstContentfulPaint: performance.getEntriesByName('first-contentful-paint')[0]?.startTime ?? null,
    updates: window.tolsaStats.updates,
  }));
  const report = {
    variables: 7,
    firstContentfulPaintMs: figures.firstContentfulPaint,
    updatesApplied: figures.updates.length,
    updateMedianMs: quantile(figures.updates, 0.5),
    updateP99Ms: quantile(figures.updates, 0.99),
  };
  writeFileSync(join(reportDir, 'serve-browser-report.json'), `${JSON.stringify(report, null, 2)}\n`);
  console.log(`figures (not judged here): ${JSON.stringify(report)}`);
} finally {
  await chrome?.close();
  await stopAll();
}
const failed = results.filter((r) => !r.ok).length;
console.log(`${results.length - failed} passed, ${failed} failed`);
process.exit(failed ? 1 : 0);

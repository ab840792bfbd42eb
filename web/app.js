// The page of `tolsa serve`: keeps the records the event stream sends, and
// wires the table, the filter, the trends and the editor to them.

import { globMatch } from './glob.js';
import { VariableTable } from './table.js';
import { Trend } from './trend.js';

const NUMERIC = new Set(['L', 'D', 'B', 'H', 'O', 'M', 'W']);
const csrf = document.querySelector('meta[name="tolsa-csrf"]').content;
const $ = (id) => document.getElementById(id);

const records = [];           // by index: {index, name, type, size, value}
let writable = new Set();     // indices the page may set
const errors = new Map();     // index -> the last refused write's message
// Times of applying one update, for the test's report (bounded).
const stats = { updates: [], firstRows: null };
window.tolsaStats = stats;

const trend = new Trend($('chart'));
const store = {
  records,
  writable: (index) => writable.has(index),
  numeric: (index) => NUMERIC.has(records[index]?.type),
  trended: (index) => trend.colorOf(index),
  error: (index) => errors.get(index),
};
const table = new VariableTable($('viewport'), $('spacer'), store, {
  toggleTrend(index) {
    if (!store.numeric(index)) return;
    trend.toggle(index, records[index].name);
    table.render();
  },
  submit: setValue,
});

function setState(state, text) {
  const badge = $('state');
  badge.className = `state ${state}`;
  badge.textContent = text;
}

function applyFilter() {
  const pattern = $('filter').value.trim();
  const shown = [];
  for (const record of records) if (!pattern || globMatch(pattern, record.name)) shown.push(record.index);
  table.setShown(shown);
  $('count').textContent = pattern ? `${shown.length} of ${records.length}` : `${records.length} variables`;
}

function numberOf(index) {
  const value = records[index]?.value;
  return typeof value === 'number' ? value : null;
}

function onSnapshot(data) {
  records.length = 0;
  for (const [index, name, type, size, value] of data.records) records[index] = { index, name, type, size, value };
  writable = new Set(data.writable);
  $('mode').textContent = writable.size ? `${writable.size} writable` : 'read-only';
  for (const index of errors.keys()) if (!records[index]) errors.delete(index);
  applyFilter();
  if (stats.firstRows === null) {
    stats.firstRows = performance.now();
    performance.mark('tolsa-first-rows');
  }
  setState('connected', 'connected');
}

function onChange(data) {
  performance.mark('tolsa-update-start');
  for (const [index, value] of data.values) {
    const record = records[index];
    if (!record) continue;
    record.value = value;
    table.changed(index);
  }
  trend.sample(Date.now() / 1000, numberOf);
  const measure = performance.measure('tolsa-update', 'tolsa-update-start');
  stats.updates.push(measure.duration);
  if (stats.updates.length > 10000) stats.updates.splice(0, 5000);
  performance.clearMarks('tolsa-update-start');
  performance.clearMeasures('tolsa-update');
}

async function setValue(index, text) {
  const name = records[index].name;
  let message = null;
  try {
    const response = await fetch('api/set', {
      method: 'POST',
      headers: { 'Content-Type': 'application/json', 'X-Tolsa-Csrf': csrf },
      body: JSON.stringify({ name, value: text }),
    });
    if (!response.ok) message = (await response.json().catch(() => ({}))).error ?? `refused (${response.status})`;
  } catch (error) {
    message = `not sent: ${error.message}`;
  }
  if (message) errors.set(index, message);
  else errors.delete(index);
}

// The stream reconnects by itself; when the server refused it outright
// (it was restarted, or had too many streams) a new one is opened.
function connect() {
  setState('reconnecting', 'connecting');
  const source = new EventSource('api/events');
  source.addEventListener('snapshot', (event) => onSnapshot(JSON.parse(event.data)));
  source.addEventListener('change', (event) => onChange(JSON.parse(event.data)));
  source.addEventListener('noarea', (event) => {
    setState('noarea', 'no area');
    $('state').title = JSON.parse(event.data).error;
  });
  source.addEventListener('error', () => {
    setState('reconnecting', 'reconnecting');
    if (source.readyState === EventSource.CLOSED) setTimeout(connect, 1000);
  });
}

$('filter').addEventListener('input', applyFilter);
$('window').addEventListener('change', (event) => trend.setWindow(Number(event.target.value)));
$('pause').addEventListener('click', (event) => {
  trend.setPaused(!trend.paused);
  event.target.textContent = trend.paused ? 'resume' : 'pause';
});
connect();

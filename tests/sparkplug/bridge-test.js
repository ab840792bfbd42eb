'use strict';
// tolsa-bridge --sparkplug seen from a Sparkplug host: every message it
// publishes is decoded by an independent implementation (sparkplug-payload),
// through a real mosquitto started here on a free loopback port. Variables are
// set and read through the library by the e2e agent, so a write is checked
// byte by byte in the area itself.
//
// Environment: TOLSA_BRIDGE_COMMAND and TOLSA_AGENT_COMMAND (command lines,
// split at blanks: a wine wrapper may stand first), TOLSA_WAIT_MS (the wait
// for any one message, default 10000).
// Run inside scripts/isolated.sh: it writes /kestor.

const { test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const { spawn } = require('node:child_process');
const fs = require('node:fs');
const net = require('node:net');
const os = require('node:os');
const path = require('node:path');
const readline = require('node:readline');
const SKIP = 77;  // ctest reports the test as skipped
let mqtt, sparkplug, Payload;
try {
  mqtt = require('mqtt');
  sparkplug = require('sparkplug-payload').get('spBv1.0');
  ({ Payload } = require('sparkplug-payload/lib/sparkplugPayloadProto').org.eclipse.tahu.protobuf);
} catch (error) {
  console.log(`# SKIP no node packages (npm ci in ${__dirname}): ${error.message}`);
  process.exit(SKIP);
}

const WAIT_MS = Number(process.env.TOLSA_WAIT_MS || 10000);
const GROUP = 'Plant 1', NODE = 'tolsa-edge';
const topic = (kind) => `spBv1.0/${GROUP}/${kind}/${NODE}`;
const commandLine = (name) => {
  const text = process.env[name];
  if (!text) { console.log(`# SKIP ${name} is not set`); process.exit(SKIP); }
  return text.split(' ').filter(Boolean);
};
const bridgeCommand = commandLine('TOLSA_BRIDGE_COMMAND');
if (!fs.existsSync(bridgeCommand[bridgeCommand.length - 1])) { console.log(`# SKIP no ${bridgeCommand.at(-1)}`); process.exit(SKIP); }
const agentCommand = commandLine('TOLSA_AGENT_COMMAND');

// The variables, in declaration order: IORSH_ first, then MEMSH_.
const IORSH = [['Speed', 'L'], ['Level', 'D'], ['Label', '$'], ['Flag', 'B'], ['Mode', 'H'], ['Count', 'O'],
               ['Word', 'M'], ['Status', 'W'], ['Blob', 'X']];
const MEMSH = [['Setpoint', 'D'], ['Text', '$'], ['Small', 'B'], ['Hidden', 'L']];
const VARIABLES = [...IORSH.map(([n, t]) => ['IORSH_' + n, t]), ...MEMSH.map(([n, t]) => ['MEMSH_' + n, t])];
const INDEX = Object.fromEntries(VARIABLES.map(([name], i) => [name, i]));
const DATATYPE = { L: 'Int32', D: 'Double', $: 'String', B: 'UInt8', H: 'UInt8', O: 'UInt8', M: 'UInt16', W: 'UInt16' };
const datatypeOf = (letter) => DATATYPE[letter] || 'Bytes';
const VALUE_OFFSET = 264;

// Values as the record holds them (little-endian) and as a host decodes them.
function bytesOf(letter, value) {
  const b = Buffer.alloc(letter === '$' ? 64 : { L: 4, D: 8, B: 1, H: 1, O: 1, M: 2, W: 2 }[letter] || 0);
  if (letter === 'L') b.writeInt32LE(value);
  else if (letter === 'D') b.writeDoubleLE(value);
  else if (letter === '$') b.write(value, 'utf8');
  else if (b.length === 1) b.writeUInt8(value);
  else if (b.length === 2) b.writeUInt16LE(value);
  return b;
}
const INITIAL = {
  IORSH_Speed: -123456, IORSH_Level: -2.5, IORSH_Label: 'x'.repeat(63), IORSH_Flag: 255, IORSH_Mode: 0,
  IORSH_Count: 128, IORSH_Word: 65535, IORSH_Status: 1, MEMSH_Setpoint: 20.25, MEMSH_Text: 'Grün',
  MEMSH_Small: 7, MEMSH_Hidden: -1,
};

// --- processes ---------------------------------------------------------------

const children = new Set();
function start(command, args, options = {}) {
  const child = spawn(command[0], [...command.slice(1), ...args], { stdio: ['pipe', 'pipe', 'pipe'], ...options });
  children.add(child);
  child.output = '';
  child.stdout.on('data', (d) => { child.output += d; });
  child.stderr.on('data', (d) => { child.output += d; });
  child.exited = new Promise((resolve) => child.on('exit', (code, signal) => { children.delete(child); resolve({ code, signal }); }));
  return child;
}

async function freePort() {
  const server = net.createServer();
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  const { port } = server.address();
  await new Promise((resolve) => server.close(resolve));
  return port;
}

function within(promise, ms, what) {
  let timer;
  return Promise.race([promise, new Promise((_, reject) => { timer = setTimeout(() => reject(new Error(`timed out: ${what}`)), ms); })])
    .finally(() => clearTimeout(timer));
}

// The agent: one command per line, one answer per line.
class Agent {
  constructor() {
    this.child = start(agentCommand, []);
    this.answers = [];
    this.waiting = [];
    readline.createInterface({ input: this.child.stdout }).on('line', (line) => {
      const next = this.waiting.shift();
      if (next) next(line); else this.answers.push(line);
    });
  }
  ask(line) {
    this.child.stdin.write(line + '\n');
    return within(new Promise((resolve) => this.waiting.push(resolve)), WAIT_MS, `agent: ${line}`);
  }
  async poke(name, value) {
    const [, letter] = VARIABLES[INDEX[name]];
    const encoded = [...bytesOf(letter, value)].map((b) => '%' + b.toString(16).padStart(2, '0')).join('');
    assert.equal(await this.ask(`poke ${INDEX[name]} ${VALUE_OFFSET} ${encoded}`), 'ok');
  }
  async valueBytes(name) {
    const hex = await this.ask(`raw ${INDEX[name]}`);
    return Buffer.from(hex, 'hex').subarray(VALUE_OFFSET, VALUE_OFFSET + 64);
  }
}

// --- the host side -----------------------------------------------------------

let broker, port, host, agent, workDir;
const received = [];  // { topic, payload: as sparkplug-payload decodes it, raw: the protobuf message }
let waiters = [];

// The next message on `kind` after `from` (an index into `received`) that
// `accept` takes, or a timeout.
function next(kind, from, accept = () => true, ms = WAIT_MS) {
  const wanted = topic(kind);
  const find = () => {
    for (let i = from; i < received.length; ++i)
      if (received[i].topic === wanted && accept(received[i])) return received[i];
    return null;
  };
  const found = find();
  if (found) return Promise.resolve(found);
  return within(new Promise((resolve) => { waiters.push(() => { const m = find(); if (m) { resolve(m); return true; } return false; }); }),
                ms, `${kind} message`);
}

async function quiet(kind, from, ms) {
  await new Promise((resolve) => setTimeout(resolve, ms));
  return received.slice(from).filter((m) => m.topic === topic(kind));
}

function metric(payload, name) { return payload.metrics.find((m) => m.name === name); }
function num(value) { return typeof value === 'object' && value !== null && 'low' in value ? Number(value.toString()) : Number(value); }

function startBridge(args, verbose = true) {
  return start(bridgeCommand, ['--broker', `mqtt://127.0.0.1:${port}`, '--sparkplug', `${GROUP}/${NODE}`,
    '--writable', 'MEMSH_Setpoint', '--writable', 'MEMSH_Te?t', '--writable', 'MEMSH_Small', '--interval', '20',
    ...(verbose ? ['--verbose'] : []), ...args], { cwd: workDir });
}

// Ctrl-C: a clean stop on both targets (wine turns SIGINT into the console's Ctrl-C).
async function stopBridge(bridge) {
  bridge.kill('SIGINT');
  return within(bridge.exited, WAIT_MS, 'bridge exit');
}

function command(metrics) {
  return new Promise((resolve, reject) =>
    host.publish(topic('NCMD'), sparkplug.encodePayload({ timestamp: Date.now(), metrics }), { qos: 1 },
                 (err) => (err ? reject(err) : resolve())));
}

before(async () => {
  assert.ok(fs.existsSync('/kestor') && fs.readFileSync('/proc/self/mountinfo', 'utf8').includes(' /kestor '),
            'run through scripts/isolated.sh: /kestor must be a private mount');
  fs.writeFileSync('/kestor/iorsh.mem', IORSH.map(([n, t]) => `${n}=${t}\n`).join(''));
  fs.writeFileSync('/kestor/memsh.mem', MEMSH.map(([n, t]) => `${n}=${t}\n`).join(''));
  workDir = fs.mkdtempSync(path.join(os.tmpdir(), 'tolsa-sparkplug-'));
  port = await freePort();
  const config = path.join(workDir, 'mosquitto.conf');
  fs.writeFileSync(config, `listener ${port} 127.0.0.1\nallow_anonymous true\npersistence false\n`);
  broker = start(['mosquitto'], ['-c', config]);
  // The broker is up once a client connects.
  host = await within(new Promise((resolve, reject) => {
    const attempt = () => {
      const client = mqtt.connect(`mqtt://127.0.0.1:${port}`, { reconnectPeriod: 0, connectTimeout: 2000 });
      client.once('connect', () => resolve(client));
      client.once('error', () => { client.end(true); setTimeout(attempt, 100); });
    };
    attempt();
  }), WAIT_MS, 'mosquitto to accept connections');
  host.on('message', (t, payload) => {
    if (!t.startsWith(`spBv1.0/${GROUP}/`)) return;  // the STATE messages this host sends
    received.push({ topic: t, payload: sparkplug.decodePayload(payload), raw: Payload.decode(payload) });
    waiters = waiters.filter((w) => !w());
  });
  await host.subscribeAsync('spBv1.0/#', { qos: 1 });
  agent = new Agent();
  assert.equal(await agent.ask('ping'), 'pong');
  for (const [name, value] of Object.entries(INITIAL)) await agent.poke(name, value);
});

after(async () => {
  for (const child of [...children]) if (child !== broker && child !== agent?.child) child.kill('SIGKILL');
  if (agent) { agent.child.stdin.end('exit\n'); await within(agent.child.exited, WAIT_MS, 'agent exit').catch(() => agent.child.kill('SIGKILL')); }
  if (host) await host.endAsync(true);
  if (broker) { broker.kill('SIGTERM'); await within(broker.exited, WAIT_MS, 'broker exit').catch(() => broker.kill('SIGKILL')); }
  if (workDir) fs.rmSync(workDir, { recursive: true, force: true });
});

// --- the tests ---------------------------------------------------------------

test('the options that make plain topics are refused with --sparkplug', async () => {
  for (const [option, ...value] of [['--root', 'x/y'], ['--json'], ['--mirror', 'a/b']]) {
    const child = start(bridgeCommand, ['--sparkplug', 'G/E', option, ...value], { cwd: workDir });
    const { code } = await within(child.exited, WAIT_MS, `bridge ${option}`);
    assert.equal(code, 2, child.output);
    assert.match(child.output, new RegExp(`${option} cannot be combined with --sparkplug: `));
  }
  const child = start(bridgeCommand, ['--sparkplug', 'G/E/X'], { cwd: workDir });
  assert.equal((await within(child.exited, WAIT_MS, 'bridge G/E/X')).code, 2);
  assert.match(child.output, /'G\/E\/X' is not GROUP_ID\/EDGE_NODE_ID/);
});

test('a Sparkplug host sees every variable born, then changes, writes, rebirths and the death', async (t) => {
  const from = received.length;
  const bridge = startBridge([]);
  const birth = await next('NBIRTH', from);
  const nbirth = birth.payload;

  await t.test('NBIRTH: name, alias, datatype and value of every letter, bdSeq and Rebirth', () => {
    assert.equal(num(nbirth.seq), 0);
    assert.ok(num(nbirth.timestamp) > 1.6e12);
    assert.equal(nbirth.metrics.length, VARIABLES.length + 2);
    for (const [name, letter] of VARIABLES) {
      const m = metric(nbirth, name);
      assert.ok(m, `${name} is born`);
      assert.equal(num(m.alias), INDEX[name], name);
      assert.equal(m.type, datatypeOf(letter), name);
      const expected = name in INITIAL ? INITIAL[name] : Buffer.alloc(0);
      if (letter === 'X') assert.deepEqual(Buffer.from(m.value), expected, name);
      else assert.equal(m.value, expected, name);
    }
    const bdSeq = metric(nbirth, 'bdSeq');
    assert.equal(bdSeq.type, 'UInt64');
    assert.equal(num(bdSeq.value), 0, 'the first connect');
    const rebirth = metric(nbirth, 'Node Control/Rebirth');
    assert.equal(rebirth.type, 'Boolean');
    assert.equal(rebirth.value, false);
  });

  await t.test('NDATA: changes by alias alone, seq counting by one and wrapping past 255', async () => {
    let cursor = received.length;
    let seq = num(nbirth.seq);
    for (let i = 1; i <= 300; ++i) {
      await agent.poke('IORSH_Speed', -i * 1000);
      if (i === 150) await agent.poke('IORSH_Label', 'half way');
      const data = await next('NDATA', cursor, (m) => m.raw.metrics.some((x) => num(x.alias) === 0 && (x.intValue | 0) === -i * 1000));
      cursor = received.indexOf(data) + 1;
      for (const m of received.slice(from).filter((m) => m.topic === topic('NDATA') && received.indexOf(m) < cursor && !m.checked)) {
        seq = (seq + 1) % 256;
        assert.equal(num(m.payload.seq), seq, 'seq goes up by one per message');
        for (const x of m.raw.metrics) {
          assert.ok(!x.name, 'no name in NDATA');
          assert.ok(x.alias !== undefined && num(x.timestamp) > 1.6e12, 'alias and timestamp');
        }
        m.checked = true;
      }
    }
    assert.ok(received.some((m) => m.topic === topic('NDATA') && num(m.payload.seq) === 255), 'seq reached 255');
    const label = received.find((m) => m.topic === topic('NDATA') && m.raw.metrics.some((x) => num(x.alias) === INDEX.IORSH_Label));
    assert.equal(label.raw.metrics.find((x) => num(x.alias) === INDEX.IORSH_Label).stringValue, 'half way');
    // Nothing changes: nothing is sent.
    assert.deepEqual(await quiet('NDATA', received.length, 300), []);
  });

  await t.test('NCMD: only a writable variable with its own datatype changes a byte', async () => {
    const names = ['MEMSH_Setpoint', 'MEMSH_Hidden', 'MEMSH_Small', 'MEMSH_Text', 'IORSH_Speed'];
    const before = Object.fromEntries(await Promise.all(names.map(async (n) => [n, await agent.valueBytes(n)])));
    const cursor = received.length;
    await command([
      { name: 'MEMSH_Setpoint', type: 'Double', value: -7.75 },        // allowed
      { name: 'MEMSH_Hidden', type: 'Int32', value: 5 },               // not writable
      { name: 'MEMSH_Small', type: 'Int32', value: 9 },                // wrong datatype
      { name: 'MEMSH_Nothing', type: 'Int32', value: 1 },              // unknown
      { name: 'MEMSH_Text', type: 'String', value: 'y'.repeat(64) },   // over 63 bytes
    ]);
    const data = await next('NDATA', cursor, (m) => m.raw.metrics.some((x) => num(x.alias) === INDEX.MEMSH_Setpoint));
    assert.equal(data.raw.metrics.find((x) => num(x.alias) === INDEX.MEMSH_Setpoint).doubleValue, -7.75);
    const after = Object.fromEntries(await Promise.all(names.map(async (n) => [n, await agent.valueBytes(n)])));
    assert.deepEqual(after.MEMSH_Setpoint.subarray(0, 8), bytesOf('D', -7.75));
    for (const n of names.slice(1)) assert.deepEqual(after[n], before[n], `${n} is unchanged`);
    // By alias, and a 63-byte string, in one command.
    await command([{ alias: INDEX.MEMSH_Small, type: 'UInt8', value: 200 }, { name: 'MEMSH_Text', type: 'String', value: 'z'.repeat(63) }]);
    await next('NDATA', cursor, (m) => m.raw.metrics.some((x) => num(x.alias) === INDEX.MEMSH_Text));
    assert.equal((await agent.valueBytes('MEMSH_Small'))[0], 200);
    assert.deepEqual(await agent.valueBytes('MEMSH_Text'), bytesOf('$', 'z'.repeat(63)));
    for (const why of ["'MEMSH_Hidden': not writable", "'MEMSH_Small': datatype Int32, the variable is UInt8",
                       "'MEMSH_Nothing': no such variable", "'MEMSH_Text': a string of 64 bytes, over 63"])
      assert.ok(bridge.output.includes(`NCMD refused ${why}`), `logged: ${why}\n${bridge.output}`);
  });

  await t.test('Rebirth: a new NBIRTH with seq 0 and the same bdSeq', async () => {
    const cursor = received.length;
    await command([{ name: 'Node Control/Rebirth', type: 'Boolean', value: true }]);
    const again = (await next('NBIRTH', cursor)).payload;
    assert.equal(num(again.seq), 0);
    assert.equal(num(metric(again, 'bdSeq').value), num(metric(nbirth, 'bdSeq').value));
    assert.equal(metric(again, 'MEMSH_Setpoint').value, -7.75);
    assert.equal(metric(again, 'IORSH_Speed').value, -300000);
    const data = await (async () => { await agent.poke('IORSH_Flag', 3); return next('NDATA', cursor); })();
    assert.equal(num(data.payload.seq), 1, 'seq counts on from the new birth');
  });

  await t.test('kill -9: the broker delivers the NDEATH with the birth\'s bdSeq', async () => {
    const cursor = received.length;
    bridge.kill('SIGKILL');
    await within(bridge.exited, WAIT_MS, 'bridge killed');
    // Under wine the wine server may hold the dead program's socket open:
    // then the broker sends the Will when the 30 s keepalive runs out (x 1.5).
    const death = (await next('NDEATH', cursor, () => true, Math.max(WAIT_MS, 60000))).payload;
    assert.equal(death.metrics.length, 1);
    assert.equal(metric(death, 'bdSeq').type, 'UInt64');
    assert.equal(num(metric(death, 'bdSeq').value), num(metric(nbirth, 'bdSeq').value));
  });
});

test('a clean stop publishes the NDEATH of the connection, and bdSeq counts every connect', async () => {
  const cursor = received.length;
  const bridge = startBridge([]);
  const birth = (await next('NBIRTH', cursor)).payload;
  assert.equal(num(metric(birth, 'bdSeq').value), 0, 'a new process counts from 0');
  const { code } = await stopBridge(bridge);
  assert.equal(code, 0, bridge.output);
  const death = (await next('NDEATH', cursor)).payload;
  assert.equal(num(metric(death, 'bdSeq').value), 0);
});

test('--primary-host: born only while the host is online; dead and waiting while it is not', async () => {
  const stateTopic = 'spBv1.0/STATE/scada';
  const state = (online, timestamp) => host.publishAsync(stateTopic, JSON.stringify({ online, timestamp }), { qos: 1, retain: true });
  await state(false, 1000);
  const cursor = received.length;
  const bridge = startBridge(['--primary-host', 'scada']);
  assert.deepEqual(await quiet('NBIRTH', cursor, 1500), [], 'no birth while the host is offline');
  assert.match(bridge.output, /primary host scada offline/);

  await state(true, 2000);
  const first = (await next('NBIRTH', cursor)).payload;
  const firstBdSeq = num(metric(first, 'bdSeq').value);

  const offline = received.length;
  await state(false, 3000);
  const death = (await next('NDEATH', offline)).payload;
  assert.equal(num(metric(death, 'bdSeq').value), firstBdSeq);
  assert.deepEqual(await quiet('NBIRTH', offline, 1000), [], 'no birth while the host is away');
  await agent.poke('IORSH_Speed', 42);
  assert.deepEqual(await quiet('NDATA', offline, 300), [], 'no data while dead');
  // A stale STATE (older timestamp) does not count.
  await state(true, 2500);
  assert.deepEqual(await quiet('NBIRTH', offline, 500), [], 'a stale online is ignored');

  await state(true, 4000);
  const second = (await next('NBIRTH', offline)).payload;
  assert.ok(num(metric(second, 'bdSeq').value) > firstBdSeq, 'a new connection, a new bdSeq');
  assert.equal(metric(second, 'IORSH_Speed').value, 42);
  await host.publishAsync(stateTopic, '', { qos: 1, retain: true });  // clears the retained STATE
  const stop = received.length;
  assert.equal((await stopBridge(bridge)).code, 0, bridge.output);
  assert.equal(num(metric((await next('NDEATH', stop)).payload, 'bdSeq').value), num(metric(second, 'bdSeq').value));
});

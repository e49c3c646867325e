'use strict';
// The live encoders: several viewers at once over TCP and SRT, a passphrase that
// is checked, a fast start at a key frame, and stop/start through inspection.
const test = require('node:test');
const assert = require('node:assert');
const net = require('net');
const { execFile } = require('child_process');
const { deployment, inspect } = require('./helpers');

// Reads a TCP viewer's first bytes; resolves with them (or an error text).
function readTcp(port, bytes = 188 * 200, timeoutMs = 8000) {
  return new Promise((resolve) => {
    const chunks = [];
    let total = 0;
    const socket = net.connect(port, '127.0.0.1');
    const done = (result) => { clearTimeout(timer); socket.destroy(); resolve(result); };
    const timer = setTimeout(() => done({ error: 'timeout', data: Buffer.concat(chunks) }), timeoutMs);
    socket.on('data', (data) => {
      chunks.push(data);
      total += data.length;
      if (total >= bytes) done({ data: Buffer.concat(chunks) });
    });
    socket.on('error', (error) => done({ error: error.code || error.message, data: Buffer.concat(chunks) }));
    socket.on('close', () => done({ error: 'closed', data: Buffer.concat(chunks) }));
  });
}

// Decodes two seconds of an address with ffmpeg; resolves with its exit code and words.
function decode(url, seconds = 2) {
  return new Promise((resolve) => {
    execFile('ffmpeg', ['-hide_banner', '-loglevel', 'error', '-i', url, '-t', String(seconds), '-f', 'null', '-'],
      { timeout: 20000 }, (error, stdout, stderr) => resolve({ code: error ? (error.code || 1) : 0, stderr }));
  });
}

test('every live stream is listed, the offline one not running', async () => {
  const { json } = await inspect('/live');
  const byId = Object.fromEntries(json.map((s) => [s.id, s]));
  assert.strictEqual(byId['str-1'].running, true);
  assert.strictEqual(byId['str-3'].running, false);
  assert.ok(byId['str-1'].srt, 'the SRT relay was built');
});

test('two TCP viewers get the stream at once, starting with the tables and a key frame', async () => {
  const { tcpPort } = deployment().liveSources['str-2'];
  const [a, b] = await Promise.all([readTcp(tcpPort), readTcp(tcpPort)]);
  for (const viewer of [a, b]) {
    assert.strictEqual(viewer.error, undefined);
    assert.strictEqual(viewer.data[0], 0x47, 'whole transport packets');
    assert.strictEqual(((viewer.data[1] & 0x1f) << 8) | viewer.data[2], 0, 'the programme association table first');
  }
});

test('SRT serves several viewers, from a key frame, and checks the passphrase', async () => {
  const source = deployment().liveSources['str-1'];
  const url = (passphrase) => `srt://127.0.0.1:${source.srtPort}?passphrase=${passphrase}&latency=200000`;
  const [one, two] = await Promise.all([decode(url(source.passphrase)), decode(url(source.passphrase))]);
  assert.strictEqual(one.code, 0, one.stderr);
  assert.strictEqual(two.code, 0, two.stderr);
  // Joining mid-picture would make the decoder complain about missing parameter sets.
  assert.doesNotMatch(one.stderr + two.stderr, /non-existing PPS|no frame!/);
  const wrong = await decode(url('not-the-passphrase'), 1);
  assert.notStrictEqual(wrong.code, 0);
});

test('a stopped stream resets its viewers and refuses new ones until started again', async (t) => {
  const { tcpPort } = deployment().liveSources['str-8'];
  t.after(() => inspect('/live/start', { method: 'POST', body: { stream: 'str-8' } }));
  const watching = readTcp(tcpPort, 1e12, 15000);
  await new Promise((resolve) => setTimeout(resolve, 500));
  const stopped = await inspect('/live/stop', { method: 'POST', body: { stream: 'str-8' } });
  assert.strictEqual(stopped.json.running, false);
  const viewer = await watching;
  assert.ok(viewer.data.length > 0);
  assert.ok(['ECONNRESET', 'closed'].includes(viewer.error), viewer.error);
  assert.strictEqual((await readTcp(tcpPort)).error, 'ECONNREFUSED');

  const started = await inspect('/live/start', { method: 'POST', body: { stream: 'str-8' } });
  assert.strictEqual(started.json.running, true);
  assert.strictEqual((await decode(`tcp://127.0.0.1:${tcpPort}`, 1)).code, 0);
});

test('stopping an unknown stream is a clear error', async () => {
  const res = await inspect('/live/stop', { method: 'POST', body: { stream: 'str-404' } });
  assert.strictEqual(res.status, 400);
  assert.match(res.json.error, /no live stream str-404/);
});

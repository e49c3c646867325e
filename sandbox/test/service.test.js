'use strict';
// The deployment's own behaviour where the client suites do not reach it: bad
// requests, media with byte ranges, token expiry and the inspection interface.
const test = require('node:test');
const assert = require('node:assert');
const { execFileSync } = require('child_process');
const { request, inspect, signIn } = require('./helpers');

const core = 'api.orvane.tv:8443';
const media = 'media.orvane.tv:443';

test('an unknown path gets the envelope error, not a crash', async () => {
  const res = await request(core, { path: '/api/v1.0/nowhere/at/all' });
  assert.strictEqual(res.status, 404);
  assert.strictEqual(res.json.meta.status, 'error');
  assert.match(res.json.meta.error.cause[0].message, /No such endpoint: GET \/api\/v1.0\/nowhere\/at\/all/);
  const outside = await request(core, { path: '/favicon.ico' });
  assert.strictEqual(outside.status, 404);
  assert.strictEqual(outside.json.meta.status, 'error');
});

test('bodies that are not a JSON object get a clear error', async (t) => {
  const token = await signIn();
  const cases = [
    ['not JSON', '{"type":', 400, 'Request body is not valid JSON'],
    ['an array', '[1,2]', 400, 'Request body must be a JSON object'],
    ['too large', `{"x":"${'a'.repeat(1100 * 1024)}"}`, 413, 'Request body too large'],
  ];
  for (const [name, body, status, message] of cases) {
    await t.test(name, async () => {
      const res = await request(core, {
        method: 'POST', path: `/api/v1.0/acme/views/str-1?auth_token=${token}`,
        headers: { 'Content-Type': 'application/json' }, body,
      });
      assert.strictEqual(res.status, status);
      assert.strictEqual(res.json.meta.error.message, message);
    });
  }
});

test('query values are validated', async () => {
  const token = await signIn();
  for (const query of ['count=abc', 'offset=-1', 'dateFrom=2026-13-45', 'dateTo=yesterday']) {
    const res = await request(core, { path: `/api/v1.0/acme/shared/workspaces/41/records?auth_token=${token}&${query}` });
    assert.strictEqual(res.status, 200);
    assert.strictEqual(res.json.meta.status, 'error', query);
    assert.strictEqual(res.json.meta.error.message, 'Validation failed', query);
  }
});

test('an expired token is refused', async () => {
  const token = await signIn('ben@orvane.test', 'orvane-demo-2');
  const before = await request('id.orvane.tv:443', { path: `/api/v1.1/me?auth_token=${token}` });
  assert.strictEqual(before.json.meta.status, 'ok');
  assert.strictEqual((await inspect('/tokens/expire', { method: 'POST', body: { token } })).status, 200);
  const after = await request('id.orvane.tv:443', { path: `/api/v1.1/me?auth_token=${token}` });
  assert.strictEqual(after.json.meta.status, 'error');
  assert.strictEqual(after.json.meta.error.message, 'Invalid auth token');
});

test('recordings are served with byte ranges', async (t) => {
  const path = '/media/records/rec-001/video.ts';
  const full = await request(media, { path });
  assert.strictEqual(full.status, 200);
  assert.strictEqual(full.headers['accept-ranges'], 'bytes');
  assert.strictEqual(full.headers['content-type'], 'video/mp2t');
  const size = full.body.length;
  assert.ok(size > 10000);
  assert.strictEqual(full.body[0], 0x47, 'MPEG-TS sync byte');

  const cases = [
    ['first ten bytes', 'bytes=0-9', 206, 0, 9],
    ['open end', `bytes=${size - 100}-`, 206, size - 100, size - 1],
    ['suffix', 'bytes=-5', 206, size - 5, size - 1],
    ['end beyond the file', `bytes=10-${size + 500}`, 206, 10, size - 1],
  ];
  for (const [name, range, status, start, end] of cases) {
    await t.test(name, async () => {
      const res = await request(media, { path, headers: { Range: range } });
      assert.strictEqual(res.status, status);
      assert.strictEqual(res.headers['content-range'], `bytes ${start}-${end}/${size}`);
      assert.deepStrictEqual(res.body, full.body.subarray(start, end + 1));
    });
  }
  for (const range of [`bytes=${size}-`, 'bytes=5-2', 'bytes=abc', 'items=0-1']) {
    await t.test(`unsatisfiable ${range}`, async () => {
      const res = await request(media, { path, headers: { Range: range } });
      assert.strictEqual(res.status, 416);
      assert.strictEqual(res.headers['content-range'], `bytes */${size}`);
    });
  }
  const head = await request(media, { method: 'HEAD', path });
  assert.strictEqual(Number(head.headers['content-length']), size);
  assert.strictEqual(head.body.length, 0);
});

test('every recording has its pictures, and one lasts over an hour', async () => {
  const token = await signIn();
  const res = await request(core, { path: `/api/v1.0/acme/archive?auth_token=${token}&count=100` });
  const records = res.json.response;
  assert.strictEqual(res.json.meta.paging.total, records.length);
  assert.ok(records.length >= 40);
  for (const record of [records[0], records.find((r) => r.id === 'rec-007')]) {
    for (const url of [record.previewUrl, record.extendedPreviewUrl]) {
      const picture = await request(media, { path: new URL(url).pathname });
      assert.strictEqual(picture.status, 200, url);
      assert.deepStrictEqual([...picture.body.subarray(0, 3)], [0xff, 0xd8, 0xff], 'JPEG');
    }
  }
  const long = records.find((r) => r.id === 'rec-007');
  assert.ok(long.duration > 3600);
  // The extended preview is 16 frames of 160x90 side by side.
  const strip = await request(media, { path: new URL(long.extendedPreviewUrl).pathname });
  const probe = execFileSync('ffprobe', ['-v', 'error', '-show_entries', 'stream=width,height', '-of', 'csv=p=0', '-i', 'pipe:0'],
    { input: strip.body }).toString().trim();
  assert.strictEqual(probe, '2560,90');
});

test('company images are served by the identity endpoint', async () => {
  const res = await request('id.orvane.tv:443', { path: '/api/v1.1/images/img-acme' });
  assert.strictEqual(res.status, 200);
  assert.strictEqual(res.headers['content-type'], 'image/jpeg');
  const missing = await request('id.orvane.tv:443', { path: '/api/v1.1/images/none' });
  assert.strictEqual(missing.status, 404);
});

test('the inspection interface answers only with its key', async () => {
  assert.strictEqual((await inspect('/health', { key: '' })).status, 403);
  assert.strictEqual((await inspect('/health', { key: 'wrong' })).status, 403);
  assert.strictEqual((await inspect('/health')).status, 200);
  const bad = await inspect('/faults', { method: 'POST', body: { path: '/x', kind: 'explode' } });
  assert.strictEqual(bad.status, 400);
  assert.match(bad.json.error, /kind/);
  assert.strictEqual((await inspect('/nothing')).status, 404);
});

test('a queued fault answers once, for its path only', async () => {
  const path = '/api/v1.1/me/companies';
  await inspect('/faults', { method: 'POST', body: { path, kind: 'html' } });
  const token = await signIn();
  const other = await request('id.orvane.tv:443', { path: `/api/v1.1/me?auth_token=${token}` });
  assert.strictEqual(other.json.meta.status, 'ok');
  const faulty = await request('id.orvane.tv:443', { path: `${path}?auth_token=${token}` });
  assert.match(faulty.headers['content-type'], /text\/html/);
  const healed = await request('id.orvane.tv:443', { path: `${path}?auth_token=${token}` });
  assert.strictEqual(healed.json.meta.status, 'ok');
});

test('requests are recorded with the designed host and query in order', async () => {
  await inspect('/requests', { method: 'DELETE' });
  await request('core.orvane.tv:8443', { path: '/api/v1.0/acme/shared/streams?b=2&a=1&b=3&plus=a+b&enc=a%2Bb' });
  const { json } = await inspect('/requests?path=/api/v1.0/acme/shared/streams');
  assert.strictEqual(json.length, 1);
  assert.strictEqual(json[0].host, 'core.orvane.tv:8443');
  assert.deepStrictEqual(json[0].query, [['b', '2'], ['a', '1'], ['b', '3'], ['plus', 'a b'], ['enc', 'a+b']]);
});

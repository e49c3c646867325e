'use strict';
// Inspection and fault injection for tests, on loopback, answering only requests
// that carry the key written to the deployment file (readable by its owner only).
const http = require('http');
const crypto = require('crypto');
const { State } = require('./state');
const { sendJson } = require('./server');

class Inspection {
  constructor({ state, seed, key, realtime, hub, voiceHub, live }) {
    this.hub = hub;
    this.voiceHub = voiceHub;
    this.live = live;
    this.state = state;
    this.seed = seed;
    this.realtime = realtime;
    this.key = key;
    this.server = undefined;
  }

  async listen(port = 0) {
    this.server = http.createServer((req, res) => this.serve(req, res));
    await new Promise((resolve, reject) => {
      this.server.once('error', reject);
      this.server.listen(port, '127.0.0.1', resolve);
    });
    return `http://127.0.0.1:${this.server.address().port}`;
  }

  async close() {
    if (!this.server) return;
    await new Promise((resolve) => {
      this.server.close(resolve);
      this.server.closeAllConnections();
    });
  }

  serve(req, res) {
    const given = Buffer.from(String(req.headers['x-inspection-key'] || ''));
    const expected = Buffer.from(this.key);
    if (given.length !== expected.length || !crypto.timingSafeEqual(given, expected)) {
      sendJson(res, 403, { error: 'missing or wrong X-Inspection-Key' });
      return;
    }
    const chunks = [];
    req.on('data', (c) => chunks.push(c));
    req.on('end', () => {
      let body = {};
      const text = Buffer.concat(chunks).toString('utf8');
      if (text.trim()) {
        try {
          body = JSON.parse(text);
        } catch (error) {
          sendJson(res, 400, { error: `body is not JSON: ${error.message}` });
          return;
        }
      }
      try {
        const url = new URL(req.url, 'http://inspection.invalid');
        const route = `${req.method} ${url.pathname}`;
        if (route === 'POST /live/stop' || route === 'POST /live/start') {
          this.handleLive(route, body).then((result) => sendJson(res, 200, result),
            (error) => sendJson(res, 400, { error: error.message }));
          return;
        }
        const result = this.handle(req.method, url.pathname, url.searchParams, body);
        if (result === undefined) sendJson(res, 404, { error: `no inspection endpoint ${req.method} ${url.pathname}` });
        else sendJson(res, 200, result);
      } catch (error) {
        sendJson(res, 400, { error: error.message });
      }
    });
  }

  // For scale measurements: "count" more recordings of one camera, copies of its
  // newest one spread over the days before it (one every 20 minutes), with ids
  // "bulk-<camera>-<n>". They list, page and filter like the seeded ones.
  seedRecordings({ camera, count }) {
    const template = this.seed.recordings.find((r) => r.cameraId === camera);
    if (!template || !Number.isInteger(count) || count < 1 || count > 100000) {
      throw new Error('needs a "camera" with recordings and a "count" from 1 to 100000');
    }
    const added = [];
    for (let i = 0; i < count; i += 1) {
      const id = `bulk-${camera}-${i + 1}`;
      const createdMs = template.createdMs - (i + 1) * 20 * 60e3;
      const createdAt = new Date(createdMs).toISOString().replace(/\.\d{3}Z$/, 'Z');
      added.push({
        ...template, id, createdMs,
        json: { ...template.json, id, externalId: `ext-${id}`, createdAt,
          name: `${template.json.cameraName} ${createdAt.slice(0, 16).replace('T', ' ')}`,
          // Addresses of their own, as every recording has (their pictures are not there).
          previewUrl: template.json.previewUrl.replace(template.id, id),
          extendedPreviewUrl: template.json.extendedPreviewUrl.replace(template.id, id),
          audioThumbnailPreviewUrl: template.json.audioThumbnailPreviewUrl.replace(template.id, id) },
      });
    }
    this.seed.recordings.push(...added);
    this.seed.recordings.sort((a, b) => b.createdMs - a.createdMs || a.id.localeCompare(b.id));
    return { added: added.length, total: this.seed.recordings.length };
  }

  removeSeededRecordings() {
    const before = this.seed.recordings.length;
    const kept = this.seed.recordings.filter((r) => !r.id.startsWith('bulk-'));
    this.seed.recordings.length = 0;
    this.seed.recordings.push(...kept);
    return { removed: before - kept.length };
  }

  // Live streams stop and start asynchronously; the reply waits for them.
  async handleLive(route, body) {
    if (typeof body.stream !== 'string') throw new Error('needs "stream"');
    const stream = this.live.stream(body.stream);
    if (route === 'POST /live/stop') await stream.stop();
    else await stream.start();
    return stream.describe();
  }

  handle(method, path, params, body) {
    const { state } = this;
    const route = `${method} ${path}`;
    switch (route) {
      case 'GET /health': return { ok: true };
      case 'GET /requests': {
        const prefix = params.get('path');
        return prefix ? state.requests.filter((r) => r.path.startsWith(prefix)) : state.requests;
      }
      case 'DELETE /requests': state.requests.length = 0; return { ok: true };
      case 'POST /faults': {
        const kinds = ['html', 'envelope', 'status', 'delay', 'drop', 'trickle'];
        if (typeof body.path !== 'string' || !kinds.includes(body.kind)) {
          throw new Error(`a fault needs "path" and "kind" (one of ${kinds.join(', ')})`);
        }
        if (body.kind === 'status' && !Number.isInteger(body.status)) throw new Error('"status" must be a number');
        if (body.kind === 'delay' && !Number.isInteger(body.delayMs)) throw new Error('"delayMs" must be a number');
        if (body.kind === 'envelope' && (body.envelope === undefined)) throw new Error('"envelope" is required');
        state.faults.push({ ...body, remaining: Number.isInteger(body.times) ? body.times : 1 });
        return { ok: true, queued: state.faults.length };
      }
      case 'DELETE /faults': state.faults.length = 0; return { ok: true };
      case 'GET /codes': {
        if (params.get('email')) return { code: state.emailCodes.get(params.get('email')) || null };
        if (params.get('phone')) return { code: state.phoneCodes.get(params.get('phone')) || null };
        throw new Error('give "email" or "phone"');
      }
      case 'POST /oauth-codes': {
        const user = this.seed.users.find((u) => u.email === body.email);
        if (!user || typeof body.provider !== 'string') throw new Error('needs a known "email" and a "provider"');
        const code = `oc-${State.code(8)}`;
        state.oauthCodes.set(code, { userId: user.id, provider: body.provider });
        return { code };
      }
      case 'POST /tokens/expire': state.expireTokens(body.token); return { ok: true };
      case 'GET /views': return state.views;
      case 'GET /mails': return state.mails;
      case 'GET /chat-stats': return state.chatStats;
      case 'GET /realtime/clients': return this.realtime.clients();
      case 'GET /realtime/handshakes': return state.realtimeHandshakes;
      case 'POST /realtime/emit': {
        if (typeof body.event !== 'string' || !('payload' in body)) throw new Error('needs "event" and "payload"');
        return { sockets: this.realtime.emit(body.event, body.payload, body.cid) };
      }
      case 'POST /realtime/drop': return { sockets: this.realtime.dropAll() };
      case 'POST /realtime/stop': return { sockets: this.realtime.stop() };
      case 'POST /realtime/start': this.realtime.start(); return { ok: true };
      case 'GET /live': return this.live.describe();
      case 'GET /hub': return this.hub.describe();
      case 'GET /provider-grants': return state.providerGrants;
      case 'POST /seed/recordings': return this.seedRecordings(body);
      case 'DELETE /seed/recordings': return this.removeSeededRecordings();
      case 'GET /hub/messages': return this.hub.messages;
      case 'POST /hub/message': return this.hub.inject(body);
      case 'POST /hub/drop': return { dropped: this.hub.drop(typeof body.userId === 'string' ? body.userId : undefined) };
      case 'POST /hub/refuse-logins': return this.hub.refuseLogins(body.times);
      case 'GET /voice': return this.voiceHub.describe();
      case 'POST /voice/network': return this.voiceHub.setNetwork(body);
      case 'POST /voice/error': return this.voiceHub.raiseError(body);
      case 'POST /voice/refuse-joins': return this.voiceHub.refuseJoins(body.times);
      default: return undefined;
    }
  }
}

module.exports = { Inspection };

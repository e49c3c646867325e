'use strict';
// The HTTPS side of the deployment: one listener per designed host:port, all
// serving the same service, so the request log tells which host a program used.
const fs = require('fs');
const https = require('https');
const path = require('path');
const { failure, ServiceError } = require('./envelope');

const MAX_BODY = 1024 * 1024;

const CONTENT_TYPES = {
  '.ts': 'video/mp2t', '.mp4': 'video/mp4', '.jpg': 'image/jpeg', '.png': 'image/png',
};

// Query items in order, decoded the way web services read them ("+" is a space).
class Query {
  constructor(search) {
    this.items = [...new URLSearchParams(search)];
  }
  get(key) {
    const item = this.items.find(([k]) => k === key);
    return item ? item[1] : undefined;
  }
}

function sendJson(res, status, value) {
  const body = Buffer.from(JSON.stringify(value));
  res.writeHead(status, { 'Content-Type': 'application/json; charset=utf-8', 'Content-Length': body.length });
  res.end(body);
}

// Serves a file, honouring a single byte range ("bytes=a-b", "a-" or "-n").
function sendFile(req, res, file) {
  let stat;
  try {
    stat = fs.statSync(file);
  } catch {
    sendJson(res, 404, failure('Not found', [`No media at ${req.url.split('?')[0]}`]));
    return;
  }
  const type = CONTENT_TYPES[path.extname(file)] || 'application/octet-stream';
  const headers = { 'Content-Type': type, 'Accept-Ranges': 'bytes' };
  const range = req.headers.range;
  let start = 0;
  let end = stat.size - 1;
  let status = 200;
  if (range) {
    const match = /^bytes=(\d*)-(\d*)$/.exec(range.trim());
    if (match && (match[1] !== '' || match[2] !== '')) {
      if (match[1] === '') {
        start = Math.max(0, stat.size - Number(match[2]));
      } else {
        start = Number(match[1]);
        if (match[2] !== '') end = Math.min(end, Number(match[2]));
      }
    } else {
      start = stat.size; // malformed: unsatisfiable
    }
    if (start > end || start >= stat.size) {
      res.writeHead(416, { 'Content-Range': `bytes */${stat.size}` });
      res.end();
      return;
    }
    status = 206;
    headers['Content-Range'] = `bytes ${start}-${end}/${stat.size}`;
  }
  headers['Content-Length'] = end - start + 1;
  res.writeHead(status, headers);
  if (req.method === 'HEAD') {
    res.end();
    return;
  }
  fs.createReadStream(file, { start, end }).pipe(res);
}

class ServiceServer {
  constructor({ tls, tlsFor = () => undefined, pages, api, state, media, log }) {
    this.tls = tls;
    this.tlsFor = tlsFor; // a certificate of its own for an endpoint, or undefined
    this.pages = pages;   // the OAuth providers' pages and the web landing page
    this.api = api;
    this.state = state;
    this.media = media; // { recordings: id -> clip files, images: id -> file }
    this.log = log;
    this.servers = [];
    this.byEndpoint = new Map();
  }

  // Starts one listener per endpoint; returns { "host:port": "127.0.0.1:port" }.
  async listen(endpoints, portFor = () => 0) {
    const routes = {};
    for (const endpoint of endpoints) {
      const own = this.tlsFor(endpoint);
      const server = https.createServer({ key: (own || this.tls).key, cert: (own || this.tls).cert },
        (req, res) => this.serve(endpoint, req, res));
      server.keepAliveTimeout = 5000;
      await new Promise((resolve, reject) => {
        server.once('error', reject);
        server.listen(portFor(endpoint), '127.0.0.1', resolve);
      });
      this.servers.push(server);
      this.byEndpoint.set(endpoint, server);
      routes[endpoint] = `127.0.0.1:${server.address().port}`;
    }
    return routes;
  }

  async close() {
    await Promise.all(this.servers.map((server) => new Promise((resolve) => {
      server.close(resolve);
      server.closeAllConnections();
    })));
    this.servers = [];
  }

  serve(endpoint, req, res) {
    const chunks = [];
    let size = 0;
    let tooLarge = false;
    req.on('data', (chunk) => {
      size += chunk.length;
      if (size > MAX_BODY) tooLarge = true;
      else chunks.push(chunk);
    });
    req.on('end', () => {
      this.respond(endpoint, req, res, Buffer.concat(chunks), tooLarge).catch((error) => {
        this.log(`internal error on ${req.method} ${req.url}: ${error.stack || error}`);
        if (!res.headersSent) sendJson(res, 500, failure('Internal error', [String(error.message || error)]));
        else res.destroy();
      });
    });
  }

  async respond(endpoint, req, res, rawBody, tooLarge) {
    const url = new URL(req.url, 'https://sandbox.invalid');
    const pathname = decodeURIComponent(url.pathname);
    const query = new Query(url.search);
    const text = rawBody.toString('utf8');
    this.state.requests.push({
      host: endpoint, method: req.method, path: pathname, target: req.url,
      query: query.items, body: text, contentType: req.headers['content-type'] || '',
      at: new Date().toISOString(),
    });

    const fault = this.state.takeFault(pathname, req.method);
    if (fault) {
      if (fault.kind === 'delay') {
        await new Promise((resolve) => setTimeout(resolve, fault.delayMs));
      } else if (fault.kind === 'html') {
        const body = Buffer.from(fault.body || '<!DOCTYPE html><html><body><h1>502 Bad Gateway</h1></body></html>');
        res.writeHead(fault.status || 200, { 'Content-Type': 'text/html', 'Content-Length': body.length });
        res.end(body);
        return;
      } else if (fault.kind === 'envelope') {
        sendJson(res, fault.status || 200, fault.envelope);
        return;
      } else if (fault.kind === 'status') {
        sendJson(res, fault.status, failure(fault.message || `Injected status ${fault.status}`));
        return;
      } else if (fault.kind === 'drop') {
        req.socket.destroy();
        return;
      } else if (fault.kind === 'trickle') {
        // A reply that is never silent for long and never ends in time: one blank
        // every interval, the envelope after a minute.
        res.writeHead(200, { 'Content-Type': 'application/json' });
        const timer = setInterval(() => res.write(' '), fault.intervalMs || 500);
        const end = setTimeout(() => {
          clearInterval(timer);
          res.end(JSON.stringify({ meta: { status: 'ok' }, response: [] }));
        }, fault.durationMs || 60000);
        res.on('close', () => { clearInterval(timer); clearTimeout(end); });
        return;
      }
    }

    const page = this.pages && this.pages.handle({ endpoint, method: req.method, pathname, search: url.search, body: text });
    if (page) {
      const body = Buffer.from(page.body || '');
      res.writeHead(page.status, { 'Content-Type': 'text/html; charset=utf-8', 'Content-Length': body.length,
        'Cache-Control': 'no-store', ...(page.headers || {}) });
      res.end(body);
      return;
    }

    if (pathname.startsWith('/media/')) {
      this.serveMedia(req, res, pathname);
      return;
    }
    const image = /^\/api\/v1\.1\/images\/([^/]+)$/.exec(pathname);
    if (image && (req.method === 'GET' || req.method === 'HEAD')) {
      const file = this.media.images[image[1]];
      if (file) sendFile(req, res, file);
      else sendJson(res, 404, failure('Not found', [`No image "${image[1]}"`]));
      return;
    }

    if (tooLarge) {
      sendJson(res, 413, failure('Request body too large'));
      return;
    }
    let body = {};
    if (['POST', 'PUT', 'PATCH'].includes(req.method) && text.trim() !== '') {
      try {
        body = JSON.parse(text);
      } catch (error) {
        sendJson(res, 400, failure('Request body is not valid JSON', [error.message]));
        return;
      }
      if (body === null || typeof body !== 'object' || Array.isArray(body)) {
        sendJson(res, 400, failure('Request body must be a JSON object'));
        return;
      }
    }

    try {
      const result = this.api.handle({ method: req.method, path: pathname, query, body });
      if (!result) {
        sendJson(res, 404, failure('Not found', [`No such endpoint: ${req.method} ${pathname}`]));
        return;
      }
      sendJson(res, result.status, result.envelope);
    } catch (error) {
      if (!(error instanceof ServiceError)) throw error;
      sendJson(res, error.status, error.envelope);
    }
  }

  serveMedia(req, res, pathname) {
    const match = /^\/media\/records\/([^/]+)\/(video\.ts|video\.mp4|preview\.jpg|extended\.jpg|audio\.png)$/.exec(pathname);
    const files = match && this.media.recordings[match[1]];
    if (!files || !['GET', 'HEAD'].includes(req.method)) {
      sendJson(res, 404, failure('Not found', [`No media at ${pathname}`]));
      return;
    }
    const pick = { 'video.ts': files.ts, 'video.mp4': files.mp4, 'preview.jpg': files.preview,
      'extended.jpg': files.strip, 'audio.png': files.audio };
    sendFile(req, res, pick[match[2]]);
  }
}

module.exports = { ServiceServer, Query, sendJson };

'use strict';
// Talking to a running deployment from tests: its routes, CA and inspection key
// come from the deployment file named by ORVANE_DEPLOYMENT.
const fs = require('fs');
const https = require('https');
const http = require('http');

function deployment() {
  const file = process.env.ORVANE_DEPLOYMENT;
  if (!file) throw new Error('ORVANE_DEPLOYMENT is not set');
  return JSON.parse(fs.readFileSync(file, 'utf8'));
}

// A request to a designed address ("id.orvane.tv:443"), verified against that name.
function request(designed, { method = 'GET', path = '/', headers = {}, body } = {}) {
  const d = deployment();
  const [host, port] = d.routes[designed].split(':');
  const ca = d.caCertificates.map((f) => fs.readFileSync(f));
  return new Promise((resolve, reject) => {
    const req = https.request({
      host, port: Number(port), method, path, headers, ca, servername: designed.split(':')[0],
    }, (res) => {
      const chunks = [];
      res.on('data', (c) => chunks.push(c));
      res.on('end', () => {
        const buffer = Buffer.concat(chunks);
        let json;
        try { json = JSON.parse(buffer.toString('utf8')); } catch { json = undefined; }
        resolve({ status: res.statusCode, headers: res.headers, body: buffer, json });
      });
    });
    req.on('error', reject);
    if (body !== undefined) req.write(body);
    req.end();
  });
}

function inspect(path, { method = 'GET', body, key } = {}) {
  const d = deployment();
  const url = new URL(path, d.inspection.url);
  return new Promise((resolve, reject) => {
    const req = http.request(url, {
      method, headers: { 'X-Inspection-Key': key === undefined ? d.inspection.key : key, 'Content-Type': 'application/json' },
    }, (res) => {
      const chunks = [];
      res.on('data', (c) => chunks.push(c));
      res.on('end', () => resolve({ status: res.statusCode, json: JSON.parse(Buffer.concat(chunks).toString() || 'null') }));
    });
    req.on('error', reject);
    if (body !== undefined) req.write(JSON.stringify(body));
    req.end();
  });
}

async function signIn(email = 'ann@orvane.test', password = 'orvane-demo-1') {
  const res = await request('id.orvane.tv:443', {
    path: `/api/v1.1/auth/login?email=${encodeURIComponent(email)}&password=${encodeURIComponent(password)}`,
  });
  return res.json.response.auth_token;
}

module.exports = { deployment, request, inspect, signIn };

'use strict';
// Starting and stopping the deployment: what it prints, the deployment file it
// writes, and a clean stop on a signal.
const test = require('node:test');
const assert = require('node:assert');
const fs = require('fs');
const os = require('os');
const path = require('path');
const { spawn } = require('child_process');
const { designedEndpoints } = require('../lib/hosts');

const script = path.join(__dirname, '..', 'bin', 'sandbox.js');

function waitFor(predicate, timeoutMs) {
  return new Promise((resolve, reject) => {
    const started = Date.now();
    const timer = setInterval(() => {
      if (predicate()) {
        clearInterval(timer);
        resolve();
      } else if (Date.now() - started > timeoutMs) {
        clearInterval(timer);
        reject(new Error('timed out'));
      }
    }, 100);
  });
}

test('starts, writes a private deployment file and stops on SIGTERM', async () => {
  const stateDir = process.env.ORVANE_SANDBOX_STATE || fs.mkdtempSync(path.join(os.tmpdir(), 'sandbox-state-'));
  const runDir = fs.mkdtempSync(path.join(os.tmpdir(), 'sandbox-run-'));
  const deploymentFile = path.join(runDir, 'deployment.json');
  const child = spawn(process.execPath, [script, '--state-dir', stateDir, '--deployment-file', deploymentFile]);
  let output = '';
  child.stdout.on('data', (d) => { output += d; });
  child.stderr.on('data', (d) => { output += d; });
  const exited = new Promise((resolve) => child.on('exit', (code, signal) => resolve({ code, signal })));

  await waitFor(() => fs.existsSync(deploymentFile) && output.includes('ORVANE_DEPLOYMENT'), 600000);
  const mode = fs.statSync(deploymentFile).mode & 0o777;
  assert.strictEqual(mode, 0o600);
  const deployment = JSON.parse(fs.readFileSync(deploymentFile, 'utf8'));
  assert.deepStrictEqual(Object.keys(deployment.routes).sort(), designedEndpoints().sort());
  for (const target of Object.values(deployment.routes)) assert.match(target, /^127\.0\.0\.1:\d+$/);
  assert.ok(fs.readFileSync(deployment.caCertificates[0], 'utf8').includes('BEGIN CERTIFICATE'));
  assert.match(output, /https:\/\/id\.orvane\.tv:443 {2}-> {2}127\.0\.0\.1:\d+/);
  assert.match(output, new RegExp(`export ORVANE_DEPLOYMENT=${deploymentFile.replace(/[.*+?^${}()|[\]\\]/g, '\\$&')}`));

  child.kill('SIGTERM');
  const { code } = await exited;
  assert.strictEqual(code, 0);
  assert.ok(!fs.existsSync(deploymentFile), 'the deployment file is removed on stop');
  assert.match(output, /stopped/);
});

test('refuses unknown options with the usage text', async () => {
  const child = spawn(process.execPath, [script, '--port-base', 'many']);
  let output = '';
  child.stderr.on('data', (d) => { output += d; });
  const code = await new Promise((resolve) => child.on('exit', resolve));
  assert.strictEqual(code, 1);
  assert.match(output, /--port-base needs a whole number/);
});

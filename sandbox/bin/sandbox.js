#!/usr/bin/env node
'use strict';
// Starts the local deployment of the service on loopback, writes the deployment
// file the programs read through ORVANE_DEPLOYMENT, and runs until SIGINT/SIGTERM.
const crypto = require('crypto');
const dgram = require('dgram');
const fs = require('fs');
const net = require('net');
const path = require('path');

const { ensureCertificates, ensureUntrustedCertificate } = require('../lib/certs');
const { ProviderPages } = require('../lib/providers');
const { ensureMedia, ensureImages, ensureSnapshots } = require('../lib/media');
const { hostNames, designedEndpoints } = require('../lib/hosts');
const { buildSeed } = require('../lib/seed');
const { State } = require('../lib/state');
const { Api } = require('../lib/api');
const { ServiceServer } = require('../lib/server');
const { Inspection } = require('../lib/inspection');
const { Realtime, realtimeEndpoints } = require('../lib/realtime');
const { Hub, hubEndpoints } = require('../lib/hub');
const { VoiceHub } = require('../lib/voicehub');
const { LiveEncoders } = require('../lib/live');
const { cameras: seededCameras } = require('../lib/seed');

const USAGE = `Usage: sandbox.js [options]
  --state-dir DIR          generated certificates and media (default: sandbox/.state)
  --deployment-file FILE   where to write the deployment file (default: STATE_DIR/deployment.json)
  --port-base N            listen on N, N+1, ... instead of free ports chosen at start
  --inspection-port N      port of the inspection interface (default: a free port)
  --token-ttl SECONDS      lifetime of auth tokens (default: 28800)
  --preview-interval MS    how often previews are pushed over socket.io (default: 3000)
  --help                   this text`;

function parseArguments(argv) {
  const options = {
    stateDir: path.join(__dirname, '..', '.state'), deploymentFile: undefined,
    portBase: 0, inspectionPort: 0, tokenTtl: 8 * 3600, previewInterval: 3000,
  };
  const numeric = (name, value) => {
    if (!/^\d+$/.test(value || '')) throw new Error(`${name} needs a whole number`);
    return Number(value);
  };
  for (let i = 0; i < argv.length; i += 1) {
    const arg = argv[i];
    const value = () => {
      if (i + 1 >= argv.length) throw new Error(`${arg} needs a value`);
      i += 1;
      return argv[i];
    };
    switch (arg) {
      case '--state-dir': options.stateDir = path.resolve(value()); break;
      case '--deployment-file': options.deploymentFile = path.resolve(value()); break;
      case '--port-base': options.portBase = numeric(arg, value()); break;
      case '--inspection-port': options.inspectionPort = numeric(arg, value()); break;
      case '--token-ttl': options.tokenTtl = numeric(arg, value()); break;
      case '--preview-interval': options.previewInterval = Math.max(100, numeric(arg, value())); break;
      case '--help': console.log(USAGE); process.exit(0); break;
      default: throw new Error(`unknown option ${arg}\n${USAGE}`);
    }
  }
  options.deploymentFile = options.deploymentFile || path.join(options.stateDir, 'deployment.json');
  return options;
}

function log(message) {
  process.stderr.write(`[sandbox] ${message}\n`);
}

function freePort(kind) {
  return new Promise((resolve, reject) => {
    if (kind === 'udp') {
      const socket = dgram.createSocket('udp4');
      socket.once('error', reject);
      socket.bind(0, '127.0.0.1', () => {
        const { port } = socket.address();
        socket.close(() => resolve(port));
      });
    } else {
      const server = net.createServer();
      server.once('error', reject);
      server.listen(0, '127.0.0.1', () => {
        const { port } = server.address();
        server.close(() => resolve(port));
      });
    }
  });
}

function writePrivateFile(file, text) {
  fs.mkdirSync(path.dirname(file), { recursive: true });
  const temporary = `${file}.${process.pid}.tmp`;
  fs.writeFileSync(temporary, text, { mode: 0o600 });
  fs.renameSync(temporary, file);
}

async function main() {
  const options = parseArguments(process.argv.slice(2));
  fs.mkdirSync(options.stateDir, { recursive: true });

  const hosts = hostNames();
  const endpoints = designedEndpoints();
  const untrustedEndpoint = `${hosts.untrustedTest}:443`;
  const tls = await ensureCertificates(options.stateDir,
    endpoints.filter((e) => e !== untrustedEndpoint).map((e) => e.split(':')[0]));
  const untrustedTls = await ensureUntrustedCertificate(options.stateDir, hosts.untrustedTest);
  const clips = await ensureMedia(options.stateDir, log);

  // Every seeded live stream gets an encoder. Running ones listen on a port of
  // their own choosing before any other server starts, so no two can meet on one;
  // offline ones get a port nobody answers on. SRT ports are reserved for the relays.
  const liveSources = {};
  const liveNames = {};
  const offline = new Set();
  for (const camera of seededCameras.filter((c) => c.stream)) {
    const id = camera.stream.id || camera.stream.sid;
    liveSources[id] = {
      host: '127.0.0.1', tcpPort: 0, srtPort: await freePort('udp'),
      secured: camera.stream.secured, passphrase: `orvane-${id}-passphrase`,
    };
    liveNames[id] = camera.name;
    if (camera.stream.status === 'offline') offline.add(id);
  }
  const live = await LiveEncoders.create({ stateDir: options.stateDir, liveSources, names: liveNames, log });
  await Promise.all([...live.streams.values()].filter((s) => !offline.has(s.id)).map((s) => s.start()));
  for (const id of offline) liveSources[id].tcpPort = await freePort('tcp');

  const seed = buildSeed({ mediaBase: `https://${hosts.recordingsMedia}:443/media`, clips, liveSources });
  const imageIds = [...new Set([...seed.companies.map((c) => c.image), ...seed.users.map((u) => u.image)].filter(Boolean))];
  const images = await ensureImages(options.stateDir, imageIds);
  const snapshots = await ensureSnapshots(options.stateDir, seed.cameras);
  const recordingFiles = Object.fromEntries(seed.recordings.map((r) => [r.id, clips.find((c) => c.id === r.clip).files]));

  const state = new State({ tokenTtlSeconds: options.tokenTtl });
  const api = new Api({ seed, state });
  const pages = new ProviderPages({ seed, state, hosts });
  const server = new ServiceServer({
    tls, tlsFor: (endpoint) => (endpoint === untrustedEndpoint ? untrustedTls : undefined),
    pages, api, state, media: { recordings: recordingFiles, images }, log,
  });
  const routes = await server.listen(endpoints,
    (endpoint) => (options.portBase ? options.portBase + endpoints.indexOf(endpoint) : 0));

  const realtime = new Realtime({ seed, state, api, snapshots, previewIntervalMs: options.previewInterval, log });
  realtime.attach(realtimeEndpoints(hosts).map((endpoint) => [endpoint, server.byEndpoint.get(endpoint)]));

  const voiceHub = new VoiceHub({ state, log });
  await voiceHub.listen();
  const hub = new Hub({ state, log });
  hub.attach(hubEndpoints(hosts).map((endpoint) => [endpoint, server.byEndpoint.get(endpoint)]), voiceHub);

  const inspection = new Inspection({ state, seed, realtime, hub, voiceHub, live, key: crypto.randomBytes(18).toString('hex') });
  const inspectionUrl = await inspection.listen(options.inspectionPort);

  const deployment = {
    version: 1,
    routes,
    caCertificates: [tls.caFile],
    inspection: { url: inspectionUrl, key: inspection.key },
    accounts: seed.users.map((u) => ({ email: u.email, password: u.password, phone: u.phone })),
    liveSources,
  };
  writePrivateFile(options.deploymentFile, `${JSON.stringify(deployment, null, 2)}\n`);

  console.log('Orvane sandbox is running.');
  for (const [designed, actual] of Object.entries(routes)) console.log(`  https://${designed}  ->  ${actual}`);
  console.log(`  inspection: ${inspectionUrl} (key in the deployment file)`);
  console.log(`  sign in as ${seed.users[0].email} / ${seed.users[0].password}`);
  console.log(`  export ORVANE_DEPLOYMENT=${options.deploymentFile}`);

  let stopping = false;
  const stop = async (signal) => {
    if (stopping) return;
    stopping = true;
    log(`${signal}: stopping`);
    await realtime.close();
    await hub.close();
    await voiceHub.close();
    await live.stopAll();
    await Promise.all([server.close(), inspection.close()]);
    fs.rmSync(options.deploymentFile, { force: true });
    log('stopped');
    process.exit(0);
  };
  process.on('SIGINT', () => stop('SIGINT'));
  process.on('SIGTERM', () => stop('SIGTERM'));
}

main().catch((error) => {
  log(`failed to start: ${error.message}`);
  process.exit(1);
});

'use strict';
// Live encoders: every live stream of the seeded data is a real MPEG-TS stream.
//
// Each stream loops a 1080p30 clip made at first start (test pattern, the stream's
// name, a running time code and a tone; one key frame a second) in real time and
// without re-encoding, so four viewers cost the machine decoding, not encoding.
// The bytes go to a TCP fan-out (any number of viewers; a new viewer starts at the
// last key frame, so the picture appears at once) and through an SRT relay with
// the stream's passphrase. Streams can be stopped and started again for tests: a
// stop resets every viewer's connection and refuses new ones.
const crypto = require('crypto');
const fs = require('fs');
const net = require('net');
const path = require('path');
const { spawn } = require('child_process');
const { run } = require('./run');

const FONT = '/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf';
const LIVE_SIZE = '1920x1080';
const LIVE_RATE = 30;
const LOOP_SECONDS = 10;
const TS_PACKET = 188;
const VIDEO_PID = 0x100; // the encoder maps video first, from the muxer's first PID
const MAX_BACKLOG = 8 * 1024 * 1024; // a viewer this far behind is dropped

async function ensureLiveClip(dir, id, name, index) {
  const file = path.join(dir, `${id}.ts`);
  if (fs.existsSync(`${file}.done`)) return file;
  const patterns = ['testsrc2', 'smptehdbars', 'testsrc', 'rgbtestsrc'];
  const label = name.replace(/['\\:]/g, '');
  await run('ffmpeg', ['-hide_banner', '-loglevel', 'error', '-y',
    '-f', 'lavfi', '-i', `${patterns[index % patterns.length]}=size=${LIVE_SIZE}:rate=${LIVE_RATE}:duration=${LOOP_SECONDS}`,
    '-f', 'lavfi', '-i', `sine=frequency=${440 + 110 * index}:sample_rate=48000:duration=${LOOP_SECONDS}`,
    '-vf', `drawtext=fontfile=${FONT}:text='${label}  %{pts\\:hms}':fontsize=64:fontcolor=white:`
      + 'box=1:boxcolor=black@0.6:boxborderw=12:x=40:y=40',
    '-c:v', 'libx264', '-preset', 'veryfast', '-tune', 'zerolatency', '-crf', '26', '-pix_fmt', 'yuv420p',
    '-g', String(LIVE_RATE), '-keyint_min', String(LIVE_RATE), '-sc_threshold', '0',
    '-c:a', 'aac', '-b:a', '96k', '-ac', '2', '-f', 'mpegts', file]);
  fs.writeFileSync(`${file}.done`, new Date().toISOString());
  return file;
}

// The relay is a small C program built here at first start, keyed on its source.
async function ensureRelay(stateDir, log) {
  const source = path.join(__dirname, '..', 'srtrelay', 'srtrelay.c');
  const digest = crypto.createHash('sha256').update(fs.readFileSync(source)).digest('hex').slice(0, 12);
  const binary = path.join(stateDir, `srtrelay-${digest}`);
  if (fs.existsSync(binary)) return binary;
  try {
    const flags = (await run('pkg-config', ['--cflags', '--libs', 'srt'])).toString().trim().split(/\s+/);
    await run('cc', ['-O2', '-Wall', '-o', `${binary}.tmp`, source, ...flags, '-lpthread']);
    fs.renameSync(`${binary}.tmp`, binary);
    return binary;
  } catch (error) {
    log(`SRT sources are not served: ${error.message}`);
    return undefined;
  }
}

class LiveStream {
  constructor({ id, source, clip, relay, log }) {
    Object.assign(this, { id, source, clip, relay, log });
    this.viewers = new Set();
    this.running = false;
    this.server = undefined;
    this.encoder = undefined;
    this.relayProcess = undefined;
    this.pending = Buffer.alloc(0);
    this.pat = undefined;
    this.pmt = undefined;
    this.gop = [];
    this.gopBytes = 0;
  }

  async start() {
    if (this.running) return;
    this.running = true;
    this.server = net.createServer((socket) => this.addViewer(socket));
    await new Promise((resolve, reject) => {
      this.server.once('error', reject);
      this.server.listen(this.source.tcpPort || 0, this.source.host, resolve);
    });
    // A first start picks the port; later starts keep it.
    this.source.tcpPort = this.server.address().port;
    this.startEncoder();
    if (this.relay) this.startRelay();
  }

  startEncoder() {
    this.encoder = spawn('ffmpeg', ['-hide_banner', '-loglevel', 'error', '-re', '-stream_loop', '-1',
      '-i', this.clip, '-map', '0:v', '-map', '0:a', '-c', 'copy',
      '-f', 'mpegts', '-mpegts_start_pid', String(VIDEO_PID), 'pipe:1'], { stdio: ['ignore', 'pipe', 'pipe'] });
    const encoder = this.encoder;
    encoder.stdout.on('data', (data) => this.feed(data));
    encoder.stderr.on('data', (data) => this.log(`${this.id} encoder: ${data.toString().trim()}`));
    encoder.on('exit', () => {
      if (this.encoder !== encoder || !this.running) return;
      this.log(`${this.id} encoder ended; starting it again`);
      setTimeout(() => { if (this.running && this.encoder === encoder) this.startEncoder(); }, 500);
    });
  }

  startRelay() {
    const args = ['--source', `${this.source.host}:${this.source.tcpPort}`,
      '--listen', `${this.source.host}:${this.source.srtPort}`];
    if (this.source.secured) args.push('--passphrase', this.source.passphrase, '--keylen', '16');
    const relay = spawn(this.relay, args, { stdio: ['ignore', 'ignore', 'pipe'] });
    this.relayProcess = relay;
    relay.stderr.on('data', (data) => this.log(`${this.id} relay: ${data.toString().trim()}`));
    relay.on('exit', () => {
      if (this.relayProcess !== relay || !this.running) return;
      setTimeout(() => { if (this.running && this.relayProcess === relay) this.startRelay(); }, 500);
    });
  }

  // Splits the encoder's output into transport packets, passes them on, and
  // remembers the tables and the packets since the last video key frame (as
  // views of the one copy made of each batch).
  feed(data) {
    const buffer = this.pending.length ? Buffer.concat([this.pending, data]) : data;
    let offset = 0;
    const packets = [];
    while (buffer.length - offset >= TS_PACKET) {
      if (buffer[offset] !== 0x47) { offset += 1; continue; } // resynchronise
      packets.push(buffer.subarray(offset, offset + TS_PACKET));
      offset += TS_PACKET;
    }
    this.pending = Buffer.from(buffer.subarray(offset));
    if (!packets.length) return;
    const chunk = Buffer.concat(packets);
    for (let start = 0; start < chunk.length; start += TS_PACKET) {
      const packet = chunk.subarray(start, start + TS_PACKET);
      const pid = ((packet[1] & 0x1f) << 8) | packet[2];
      const hasAdaptation = (packet[3] & 0x20) !== 0;
      const keyFrame = pid === VIDEO_PID && hasAdaptation && packet[4] > 0 && (packet[5] & 0x40) !== 0;
      if (pid === 0) this.pat = packet;
      else if (pid === 0x1000) this.pmt = packet; // the muxer's programme table
      if (keyFrame) { this.gop = []; this.gopBytes = 0; }
      if (this.gopBytes < MAX_BACKLOG) { this.gop.push(packet); this.gopBytes += TS_PACKET; }
    }
    for (const socket of this.viewers) this.send(socket, chunk);
  }

  send(socket, chunk) {
    if (socket.writableLength > MAX_BACKLOG) {
      socket.destroy();
      return;
    }
    socket.write(chunk);
  }

  addViewer(socket) {
    if (!this.running) { socket.destroy(); return; }
    socket.setNoDelay(true);
    socket.on('error', () => {});
    socket.on('close', () => this.viewers.delete(socket));
    socket.on('data', () => {}); // viewers send nothing; keep the stream flowing
    const start = [this.pat, this.pmt, ...this.gop].filter(Boolean);
    if (start.length) socket.write(Buffer.concat(start));
    this.viewers.add(socket);
  }

  async stop() {
    if (!this.running) return;
    this.running = false;
    if (this.encoder) this.encoder.kill('SIGKILL');
    if (this.relayProcess) this.relayProcess.kill('SIGKILL');
    this.encoder = undefined;
    this.relayProcess = undefined;
    for (const socket of this.viewers) socket.resetAndDestroy();
    this.viewers.clear();
    this.gop = [];
    this.gopBytes = 0;
    this.pending = Buffer.alloc(0);
    await new Promise((resolve) => this.server.close(resolve));
  }

  describe() {
    return {
      id: this.id, running: this.running, viewers: this.viewers.size,
      tcp: `tcp://${this.source.host}:${this.source.tcpPort}`,
      srt: this.relay ? `srt://${this.source.host}:${this.source.srtPort}` : null,
    };
  }
}

class LiveEncoders {
  constructor(streams) {
    this.streams = streams;
  }

  static async create({ stateDir, liveSources, names, log }) {
    const dir = path.join(stateDir, 'live');
    fs.mkdirSync(dir, { recursive: true });
    const relay = await ensureRelay(stateDir, log);
    const streams = new Map();
    for (const [index, [id, source]] of Object.entries(liveSources).entries()) {
      if (!fs.existsSync(path.join(dir, `${id}.ts.done`))) log(`generating the live loop of ${id}`);
      const clip = await ensureLiveClip(dir, id, names[id] || id, index);
      streams.set(id, new LiveStream({ id, source, clip, relay, log }));
    }
    return new LiveEncoders(streams);
  }

  stream(id) {
    const stream = this.streams.get(id);
    if (!stream) throw new Error(`no live stream ${id}`);
    return stream;
  }

  async startAll() { await Promise.all([...this.streams.values()].map((s) => s.start())); }
  async stopAll() { await Promise.all([...this.streams.values()].map((s) => s.stop())); }
  describe() { return [...this.streams.values()].map((s) => s.describe()); }
}

module.exports = { LiveEncoders, LIVE_SIZE, LIVE_RATE };

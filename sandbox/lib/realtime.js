'use strict';
// The realtime preview channel: a Socket.IO server on the designed socket.io
// endpoints. A connection must carry a valid "auth_token" and a "cid" (company
// slug) that the token may see; it then receives "device:<encoderSid>:preview"
// with a JPEG data URL for every camera of that company, every few seconds.
const { Server } = require('socket.io');

class Realtime {
  constructor({ seed, state, api, snapshots, previewIntervalMs, log }) {
    this.seed = seed;
    this.state = state;
    this.api = api;
    this.snapshots = snapshots;
    this.previewIntervalMs = previewIntervalMs;
    this.log = log;
    this.servers = [];
    this.stopped = false;
    this.tick = 0;
    this.timer = undefined;
  }

  attach(httpServers) {
    for (const [endpoint, httpServer] of httpServers) {
      const io = new Server(httpServer, {
        transports: ['websocket'],
        serveClient: false,
        // While "stopped" the server turns every connection away, like one that is down.
        allowRequest: (req, callback) => callback(this.stopped ? 'stopped' : null, !this.stopped),
      });
      io.use((socket, next) => {
        const { auth_token: token, cid } = socket.handshake.query;
        this.state.realtimeHandshakes.push({ endpoint, query: socket.handshake.query, at: new Date().toISOString() });
        const userId = this.state.userIdForToken(typeof token === 'string' ? token : '');
        let allowed = false;
        if (userId && typeof cid === 'string') {
          try {
            this.api.companyOf(userId, cid);
            allowed = true;
          } catch {
            allowed = false;
          }
        }
        if (!allowed) {
          next(new Error('Not authorized'));
          return;
        }
        socket.data.cid = cid;
        socket.data.endpoint = endpoint;
        next();
      });
      io.on('connection', (socket) => this.pushPreviews(socket));
      this.servers.push(io);
    }
    this.timer = setInterval(() => {
      this.tick += 1;
      for (const socket of this.sockets()) this.pushPreviews(socket);
    }, this.previewIntervalMs);
  }

  sockets(cid) {
    return this.servers.flatMap((io) => [...io.sockets.sockets.values()])
      .filter((socket) => !cid || socket.data.cid === cid);
  }

  camerasOf(companySlug) {
    const ids = new Set(this.seed.workspaces.filter((w) => w.company === companySlug).flatMap((w) => w.cameras));
    return [...ids].map((id) => this.seed.cameraById.get(id));
  }

  pushPreviews(socket) {
    for (const camera of this.camerasOf(socket.data.cid)) {
      const frames = this.snapshots[camera.id];
      if (!frames || !frames.length) continue;
      const picture = frames[this.tick % frames.length];
      socket.emit(`device:${camera.encoderSid}:preview`, { img: `data:image/jpeg;base64,${picture.toString('base64')}` });
    }
  }

  // Inspection hooks.
  clients() {
    return this.sockets().map((socket) => ({
      id: socket.id, cid: socket.data.cid, endpoint: socket.data.endpoint, query: socket.handshake.query,
    }));
  }

  emit(event, payload, cid) {
    const targets = this.sockets(cid);
    for (const socket of targets) socket.emit(event, payload);
    return targets.length;
  }

  dropAll() {
    const targets = this.sockets();
    for (const socket of targets) socket.conn.close();
    return targets.length;
  }

  stop() {
    this.stopped = true;
    return this.dropAll();
  }

  start() {
    this.stopped = false;
  }

  async close() {
    clearInterval(this.timer);
    this.dropAll();
    await Promise.all(this.servers.map((io) => new Promise((resolve) => io.close(() => resolve()))));
    this.servers = [];
  }
}

// The designed socket.io endpoints (the viewer's socket.io address rule).
function realtimeEndpoints(hosts) {
  return [`${hosts.productionRealtime}:443`, `${hosts.stagingCore}:443`,
    `${hosts.productStaging}:9443`, `${hosts.developmentCore}:9443`];
}

module.exports = { Realtime, realtimeEndpoints };

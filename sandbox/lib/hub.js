'use strict';
// The real-time hub that the chat program's messaging layer talks to: one
// WebSocket per client on the hub's designed endpoint, JSON text frames both ways.
//
// We use the npm "ws" package rather than socket.io: the messaging layer speaks a
// small protocol of its own over a plain WebSocket (as the vendor's SDK does over
// its own transport), and "ws" is the WebSocket server socket.io itself is built on,
// so the hub adds no framing that the client would have to mirror.
//
// Client -> hub, each with "op":
//   login {userId, token, appId}        -> loginResult {code}
//   join {channel} / leave {channel}     -> joinResult {channel, code} / leaveResult
//   channelMessage {channel, text, messageId} -> channelMessageResult {messageId, code}
//   peerMessage {to, text, messageId}    -> peerMessageResult {messageId, code}
//   setAttributes {requestId, attributes, clear} -> setAttributesResult {requestId, code}
//   getAttributes {requestId, userId}    -> attributesResult {requestId, userId, attributes, code}
//   getMembers {channel}                 -> membersResult {channel, members, code}
//   getMemberCount {requestId, channels} -> memberCountResult {requestId, counts, code}
// Hub -> client, unasked: channelMessage {channel, from, text, serverTs},
//   peerMessage {from, text, serverTs}, memberJoined / memberLeft {channel, userId},
//   memberCount {channel, count}, kicked {reason}.
//
// A login is accepted only with an rtm token the deployment's chat endpoint issued
// for that user id, and a channel only with the channel that token was issued for.
const { WebSocketServer } = require('ws');

// The vendor's result codes that the client relies on.
const CODES = {
  ok: 0,
  rejected: 2,         // login refused (fault hook)
  invalidArgument: 3,
  invalidAppId: 4,
  invalidToken: 5,
  notLoggedIn: 101,
  peerUnreachable: 3,
};

const MAX_TEXT = 32 * 1024;

// A client's text frame as an object with an "op", or undefined for anything
// else: a broken frame is dropped and the connection stays.
function readFrame(data, isBinary) {
  if (isBinary) return undefined;
  let frame;
  try {
    frame = JSON.parse(data.toString('utf8'));
  } catch {
    return undefined;
  }
  return frame !== null && typeof frame === 'object' && typeof frame.op === 'string' ? frame : undefined;
}

class Hub {
  constructor({ state, log }) {
    this.state = state;
    this.log = log;
    this.servers = [];
    this.clients = new Set();        // { socket, userId, token, channels:Set, attributes:Map }
    this.channels = new Map();       // channel id -> Set of clients
    this.messages = [];              // every message the hub delivered, for tests
    this.refusals = 0;               // logins still to refuse
  }

  // The messaging protocol on /rtm/v1; the voice hub, when given, on /rtc/v1.
  attach(httpServers, voiceHub) {
    for (const [endpoint, httpServer] of httpServers) {
      const wss = new WebSocketServer({ noServer: true, maxPayload: 64 * 1024 });
      wss.on('connection', (socket) => this.accept(endpoint, socket));
      this.servers.push(wss);
      httpServer.on('upgrade', (request, socket, head) => {
        const path = new URL(request.url, 'https://hub').pathname;
        if (path === '/rtm/v1') wss.handleUpgrade(request, socket, head, (ws) => wss.emit('connection', ws, request));
        else if (path === '/rtc/v1' && voiceHub) voiceHub.handleUpgrade(request, socket, head);
        else socket.destroy();
      });
    }
  }

  accept(endpoint, socket) {
    const client = { socket, endpoint, userId: undefined, token: undefined, channels: new Set(), attributes: new Map() };
    this.clients.add(client);
    socket.on('message', (data, isBinary) => {
      const frame = readFrame(data, isBinary);
      if (!frame) return;
      try {
        this.handle(client, frame);
      } catch (error) {
        this.log(`hub: ${frame.op} failed: ${error.message}`);
      }
    });
    socket.on('close', () => this.forget(client));
    socket.on('error', () => this.forget(client));
  }

  send(client, frame) {
    if (client.socket.readyState === client.socket.OPEN) client.socket.send(JSON.stringify(frame));
  }

  handle(client, frame) {
    if (frame.op === 'login') {
      this.login(client, frame);
      return;
    }
    if (!client.userId) {
      this.send(client, { op: `${frame.op}Result`, code: CODES.notLoggedIn, requestId: frame.requestId, messageId: frame.messageId, channel: frame.channel });
      return;
    }
    switch (frame.op) {
      case 'join': this.join(client, String(frame.channel || '')); break;
      case 'leave': this.leave(client, String(frame.channel || ''), true); break;
      case 'channelMessage': this.channelMessage(client, frame); break;
      case 'peerMessage': this.peerMessage(client, frame); break;
      case 'setAttributes': {
        if (frame.clear) client.attributes.clear();
        const attributes = Array.isArray(frame.attributes) ? frame.attributes : [];
        for (const pair of attributes) {
          if (pair && typeof pair.key === 'string' && typeof pair.value === 'string') client.attributes.set(pair.key, pair.value);
        }
        this.send(client, { op: 'setAttributesResult', requestId: frame.requestId, clear: Boolean(frame.clear), code: CODES.ok });
        break;
      }
      case 'getAttributes': {
        const other = this.clientOf(String(frame.userId || ''));
        this.send(client, {
          op: 'attributesResult', requestId: frame.requestId, userId: frame.userId,
          attributes: other ? [...other.attributes].map(([key, value]) => ({ key, value })) : [],
          code: other ? CODES.ok : CODES.peerUnreachable,
        });
        break;
      }
      case 'getMembers': {
        const channel = String(frame.channel || '');
        const members = [...(this.channels.get(channel) || [])].map((c) => c.userId);
        this.send(client, { op: 'membersResult', channel, members, code: client.channels.has(channel) ? CODES.ok : CODES.rejected });
        break;
      }
      case 'getMemberCount': {
        const channels = Array.isArray(frame.channels) ? frame.channels.map(String) : [];
        this.send(client, {
          op: 'memberCountResult', requestId: frame.requestId, code: CODES.ok,
          counts: channels.map((channel) => ({ channel, count: (this.channels.get(channel) || new Set()).size })),
        });
        break;
      }
      default: break;
    }
  }

  login(client, { userId, token, appId }) {
    let code = CODES.ok;
    if (typeof appId !== 'string' || !/^[0-9a-f]{32}$/i.test(appId)) code = CODES.invalidAppId;
    else if (typeof userId !== 'string' || userId === '' || typeof token !== 'string') code = CODES.invalidArgument;
    else if (!this.state.chatTokens.some((t) => t.rtmToken === token && t.userId === userId)) code = CODES.invalidToken;
    else if (this.refusals > 0) {
      this.refusals -= 1;
      code = CODES.rejected;
    }
    if (code === CODES.ok) {
      // One session per user id: a second login ends the first, as the vendor does.
      const earlier = this.clientOf(userId);
      if (earlier && earlier !== client) {
        this.send(earlier, { op: 'kicked', reason: 'remoteLogin' });
        this.forget(earlier);
        earlier.socket.close();
      }
      client.userId = userId;
      client.token = token;
    }
    this.state.hubLogins.push({ userId, code, at: new Date().toISOString() });
    this.send(client, { op: 'loginResult', code });
  }

  join(client, channel) {
    const issued = this.state.chatTokens.find((t) => t.rtmToken === client.token && t.userId === client.userId);
    if (!issued || issued.channelId !== channel) {
      this.send(client, { op: 'joinResult', channel, code: CODES.rejected });
      return;
    }
    let members = this.channels.get(channel);
    if (!members) this.channels.set(channel, (members = new Set()));
    const fresh = !members.has(client);
    members.add(client);
    client.channels.add(channel);
    this.send(client, { op: 'joinResult', channel, code: CODES.ok });
    if (fresh) {
      for (const other of members) if (other !== client) this.send(other, { op: 'memberJoined', channel, userId: client.userId });
      this.broadcastCount(channel);
    }
  }

  leave(client, channel, answer) {
    const members = this.channels.get(channel);
    client.channels.delete(channel);
    if (answer) this.send(client, { op: 'leaveResult', channel, code: CODES.ok });
    if (!members || !members.delete(client)) return;
    for (const other of members) this.send(other, { op: 'memberLeft', channel, userId: client.userId });
    if (members.size === 0) this.channels.delete(channel);
    else this.broadcastCount(channel);
  }

  broadcastCount(channel) {
    const members = this.channels.get(channel) || new Set();
    for (const member of members) this.send(member, { op: 'memberCount', channel, count: members.size });
  }

  channelMessage(client, { channel, text, messageId }) {
    channel = String(channel || '');
    if (!client.channels.has(channel) || typeof text !== 'string' || Buffer.byteLength(text) > MAX_TEXT) {
      this.send(client, { op: 'channelMessageResult', messageId, code: CODES.rejected });
      return;
    }
    this.deliverToChannel(channel, client.userId, text, client);
    this.send(client, { op: 'channelMessageResult', messageId, code: CODES.ok });
  }

  deliverToChannel(channel, from, text, except) {
    const serverTs = Date.now();
    this.messages.push({ kind: 'channel', channel, from, text, serverTs });
    let delivered = 0;
    for (const member of this.channels.get(channel) || []) {
      if (member === except) continue;
      this.send(member, { op: 'channelMessage', channel, from, text, serverTs });
      delivered += 1;
    }
    return delivered;
  }

  peerMessage(client, { to, text, messageId }) {
    const peer = this.clientOf(String(to || ''));
    if (!peer || typeof text !== 'string' || Buffer.byteLength(text) > MAX_TEXT) {
      this.send(client, { op: 'peerMessageResult', messageId, code: CODES.peerUnreachable });
      return;
    }
    this.deliverToPeer(peer, client.userId, text);
    this.send(client, { op: 'peerMessageResult', messageId, code: CODES.ok });
  }

  deliverToPeer(peer, from, text) {
    const serverTs = Date.now();
    this.messages.push({ kind: 'peer', to: peer.userId, from, text, serverTs });
    this.send(peer, { op: 'peerMessage', from, text, serverTs });
  }

  clientOf(userId) {
    for (const client of this.clients) if (client.userId === userId) return client;
    return undefined;
  }

  forget(client) {
    if (!this.clients.delete(client)) return;
    for (const channel of [...client.channels]) this.leave(client, channel, false);
  }

  // Inspection ---------------------------------------------------------------

  describe() {
    return {
      clients: [...this.clients].filter((c) => c.userId).map((c) => ({
        userId: c.userId, channels: [...c.channels], attributes: Object.fromEntries(c.attributes),
      })),
      channels: Object.fromEntries([...this.channels].map(([id, members]) => [id, [...members].map((m) => m.userId)])),
      logins: this.state.hubLogins,
    };
  }

  // A message written into a channel as if "from" had sent it (from need not be connected).
  inject({ channel, from, text, to }) {
    if (typeof from !== 'string' || typeof text !== 'string') throw new Error('needs "from" and "text"');
    if (typeof to === 'string') {
      const peer = this.clientOf(to);
      if (!peer) throw new Error(`no client "${to}"`);
      this.deliverToPeer(peer, from, text);
      return { delivered: 1 };
    }
    if (typeof channel !== 'string') throw new Error('needs "channel" or "to"');
    return { delivered: this.deliverToChannel(channel, from, text, undefined) };
  }

  // Ends the connections of one user id, or of everybody, as a network fault would.
  drop(userId) {
    let dropped = 0;
    for (const client of [...this.clients]) {
      if (userId !== undefined && client.userId !== userId) continue;
      client.socket.terminate();
      this.forget(client);
      dropped += 1;
    }
    return dropped;
  }

  refuseLogins(times) {
    this.refusals = Number.isInteger(times) && times > 0 ? times : 0;
    return { refusals: this.refusals };
  }

  async close() {
    for (const client of [...this.clients]) client.socket.terminate();
    this.clients.clear();
    this.channels.clear();
    await Promise.all(this.servers.map((wss) => new Promise((resolve) => wss.close(resolve))));
    this.servers = [];
  }
}

function hubEndpoints(hosts) {
  return [`${hosts.chatHub}:443`];
}

module.exports = { readFrame, Hub, hubEndpoints, CODES };

'use strict';
// The voice side of the real-time hub: signalling over a WebSocket of its own
// (path /rtc/v1 on the hub's endpoint, JSON text frames) and a UDP relay for the
// media. The relay forwards each participant's RTP packets to the others in the
// channel as they are; it does not mix and cannot read them (the clients encrypt
// their payloads end to end).
//
// Client -> hub, each with "op":
//   join {channel, token, uid, appId} -> joinResult {code, channel, uid, mediaPort, ticket, members}
//   leave {}                           -> leaveResult {code}
// Hub -> client, unasked: userJoined {uid}, userOffline {uid, reason}, error {code}.
//
// UDP: a client first sends "OVRH" + its 4-byte ticket (big-endian) from the
// socket it sends media from; the relay answers the same bytes back and from then
// on relays that address's RTP packets (version 2) to the other members. Packets
// from unknown addresses are dropped.
//
// A join is accepted only with an rtc token the chat endpoint issued for that
// channel, and with a uid nobody else in the channel uses; a join with uid 0 is
// given a free one, which the answer names.
const crypto = require('crypto');
const dgram = require('dgram');
const { WebSocketServer } = require('ws');
const { readFrame } = require('./hub');

const CODES = {
  ok: 0,
  invalidArgument: 2,
  rejected: 17, // the vendor's "join refused"; the client joins again on it
  invalidAppId: 101,
  invalidToken: 110,
};
const HELLO = Buffer.from('OVRH');

class VoiceHub {
  constructor({ state, log }) {
    this.state = state;
    this.log = log;
    this.wss = new WebSocketServer({ noServer: true, maxPayload: 16 * 1024 });
    this.wss.on('connection', (socket) => this.accept(socket));
    this.clients = new Set(); // { socket, channel, uid, ticket, address }
    this.udp = undefined;
    this.network = { loss: 0, jitterMs: 0 };
    this.relayed = 0;
    this.dropped = 0;
    this.refusals = 0; // joins still to refuse with "join refused"
  }

  async listen() {
    this.udp = dgram.createSocket('udp4');
    this.udp.on('message', (packet, from) => this.onPacket(packet, from));
    await new Promise((resolve) => this.udp.bind(0, '127.0.0.1', resolve));
    return this.udp.address().port;
  }

  handleUpgrade(request, socket, head) {
    this.wss.handleUpgrade(request, socket, head, (ws) => this.wss.emit('connection', ws, request));
  }

  accept(socket) {
    const client = { socket, channel: undefined, uid: undefined, ticket: undefined, address: undefined };
    this.clients.add(client);
    socket.on('message', (data, isBinary) => {
      const frame = readFrame(data, isBinary);
      if (!frame) return;
      if (frame.op === 'join') this.join(client, frame);
      else if (frame.op === 'leave') {
        this.leave(client, 'quit');
        this.send(client, { op: 'leaveResult', code: CODES.ok });
      }
    });
    socket.on('close', () => this.forget(client));
    socket.on('error', () => this.forget(client));
  }

  send(client, frame) {
    if (client.socket.readyState === client.socket.OPEN) client.socket.send(JSON.stringify(frame));
  }

  membersOf(channel) {
    return [...this.clients].filter((c) => c.channel === channel);
  }

  join(client, { channel, token, uid, appId }) {
    let code = CODES.ok;
    if (typeof appId !== 'string' || !/^[0-9a-f]{32}$/i.test(appId)) code = CODES.invalidAppId;
    else if (typeof channel !== 'string' || channel === '' || !Number.isInteger(uid) || uid < 0 || uid > 0xffffffff) {
      code = CODES.invalidArgument;
    } else if (!this.state.chatTokens.some((t) => t.rtcToken === token && t.channelId === channel)) {
      code = CODES.invalidToken;
    } else if (this.membersOf(channel).some((c) => c !== client && c.uid === uid)) code = CODES.rejected;
    else if (this.refusals > 0) {
      this.refusals -= 1;
      code = CODES.rejected;
    }
    if (code !== CODES.ok) {
      this.send(client, { op: 'joinResult', code, channel });
      return;
    }
    if (client.channel) this.leave(client, 'quit');
    // Uid 0 asks the hub for one, as the vendor's service does.
    if (uid === 0) {
      const taken = new Set(this.membersOf(channel).map((c) => c.uid));
      do uid = crypto.randomBytes(4).readUInt32BE(0); while (uid === 0 || taken.has(uid));
    }
    client.channel = channel;
    client.uid = uid;
    client.ticket = crypto.randomBytes(4).readUInt32BE(0);
    client.address = undefined;
    const others = this.membersOf(channel).filter((c) => c !== client);
    this.send(client, {
      op: 'joinResult', code, channel, uid, ticket: client.ticket,
      mediaPort: this.udp.address().port, members: others.map((c) => c.uid),
    });
    for (const other of others) this.send(other, { op: 'userJoined', uid });
    this.state.voiceJoins.push({ channel, uid, at: new Date().toISOString() });
  }

  leave(client, reason) {
    const { channel, uid } = client;
    if (!channel) return;
    client.channel = undefined;
    client.uid = undefined;
    client.address = undefined;
    for (const other of this.membersOf(channel)) this.send(other, { op: 'userOffline', uid, reason });
  }

  forget(client) {
    if (!this.clients.delete(client)) return;
    this.leave(client, 'dropped');
  }

  onPacket(packet, from) {
    const key = `${from.address}:${from.port}`;
    if (packet.length === 8 && packet.subarray(0, 4).equals(HELLO)) {
      const ticket = packet.readUInt32BE(4);
      const client = [...this.clients].find((c) => c.channel && c.ticket === ticket);
      if (!client) return;
      client.address = key;
      client.port = from.port;
      client.host = from.address;
      this.udp.send(packet, from.port, from.address);
      return;
    }
    // RTP version 2 only, from a bound address.
    if (packet.length < 12 || (packet[0] >> 6) !== 2) return;
    const sender = [...this.clients].find((c) => c.address === key);
    if (!sender) return;
    for (const other of this.membersOf(sender.channel)) {
      if (other === sender || !other.address) continue;
      if (this.network.loss > 0 && Math.random() < this.network.loss) {
        this.dropped += 1;
        continue;
      }
      this.relayed += 1;
      const delay = this.network.jitterMs > 0 ? Math.random() * this.network.jitterMs : 0;
      if (delay > 0) setTimeout(() => this.udp.send(packet, other.port, other.host), delay);
      else this.udp.send(packet, other.port, other.host);
    }
  }

  // Inspection and faults -----------------------------------------------------

  describe() {
    const channels = {};
    for (const client of this.clients) {
      if (!client.channel) continue;
      (channels[client.channel] = channels[client.channel] || []).push({ uid: client.uid, media: Boolean(client.address) });
    }
    return { channels, relayed: this.relayed, dropped: this.dropped, network: this.network, joins: this.state.voiceJoins };
  }

  // A share of packets lost (0 to 1) and a random delay of up to jitterMs on each.
  setNetwork({ loss, jitterMs }) {
    this.network = {
      loss: typeof loss === 'number' && loss >= 0 && loss <= 1 ? loss : 0,
      jitterMs: typeof jitterMs === 'number' && jitterMs >= 0 && jitterMs <= 2000 ? jitterMs : 0,
    };
    return this.network;
  }

  // The next joins are refused with "join refused", as a full or busy channel would.
  refuseJoins(times) {
    this.refusals = Number.isInteger(times) && times > 0 ? times : 0;
    return { refusals: this.refusals };
  }

  // Sends an engine error notification to the client with that uid.
  raiseError({ uid, code }) {
    const client = [...this.clients].find((c) => c.uid === uid);
    if (!client || !Number.isInteger(code)) throw new Error('needs the "uid" of a joined client and a "code"');
    this.send(client, { op: 'error', code });
    return { sent: 1 };
  }

  async close() {
    for (const client of [...this.clients]) client.socket.terminate();
    this.clients.clear();
    await new Promise((resolve) => this.wss.close(resolve));
    if (this.udp) await new Promise((resolve) => this.udp.close(resolve));
  }
}

module.exports = { VoiceHub, VOICE_CODES: CODES };

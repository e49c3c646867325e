'use strict';
// What the deployment remembers while it runs: sessions, one-time codes, reports,
// the requests it received and the faults queued by tests.
const crypto = require('crypto');

class State {
  constructor({ tokenTtlSeconds }) {
    this.tokenTtlMs = tokenTtlSeconds * 1000;
    this.tokens = new Map();      // token -> { userId, expires }
    this.emailCodes = new Map();  // e-mail -> code
    this.phoneCodes = new Map();  // phone -> code
    this.oauthCodes = new Map();  // code -> { userId, provider }
    this.profiles = new Map();    // user id -> { firstName, lastName } after an update
    this.views = [];
    this.mails = [];
    this.chatStats = [];
    this.chatTokens = [];
    this.voiceJoins = [];
    this.voiceSecrets = new Map(); // channel id -> the channel's encryption secret
    this.requests = [];
    this.realtimeHandshakes = [];
    this.hubLogins = [];
    this.providerGrants = [];
    this.faults = [];
  }

  voiceSecretFor(channel) {
    if (!this.voiceSecrets.has(channel)) this.voiceSecrets.set(channel, crypto.randomBytes(16).toString('hex'));
    return this.voiceSecrets.get(channel);
  }

  issueToken(userId) {
    const token = crypto.randomBytes(24).toString('hex');
    this.tokens.set(token, { userId, expires: Date.now() + this.tokenTtlMs });
    return token;
  }

  userIdForToken(token) {
    const session = token ? this.tokens.get(token) : undefined;
    if (!session) return undefined;
    if (session.expires <= Date.now()) {
      this.tokens.delete(token);
      return undefined;
    }
    return session.userId;
  }

  expireTokens(token) {
    for (const [key, session] of this.tokens) {
      if (!token || key === token) session.expires = 0;
    }
  }

  static code(digits = 6) {
    return String(crypto.randomInt(0, 10 ** digits)).padStart(digits, '0');
  }

  // The first queued fault for this path, used up by this request.
  takeFault(path, method) {
    const index = this.faults.findIndex((f) => f.path === path && (!f.method || f.method === method));
    if (index < 0) return undefined;
    const fault = this.faults[index];
    fault.remaining -= 1;
    if (fault.remaining <= 0) this.faults.splice(index, 1);
    return fault;
  }
}

module.exports = { State };

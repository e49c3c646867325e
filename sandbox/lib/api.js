'use strict';
// The identity ("/api/v1.1/") and core ("/api/v1.0/") endpoints: accounts, companies,
// shares, workspaces, streams, recordings, views and the chat program's paths.
const crypto = require('crypto');
const { ok, ServiceError } = require('./envelope');
const { State } = require('./state');

const IDENTITY = '/api/v1.1/';
const CORE = '/api/v1.0/';

function publicUser(user, profiles) {
  const profile = profiles.get(user.id) || {};
  const record = { id: user.id, email: user.email, phone: user.phone, isAdmin: user.isAdmin, image: user.image };
  const firstName = profile.firstName !== undefined ? profile.firstName : user.firstName;
  const lastName = profile.lastName !== undefined ? profile.lastName : user.lastName;
  if (firstName !== undefined) record.firstName = firstName;
  if (lastName !== undefined) record.lastName = lastName;
  return record;
}

function requireText(value, name) {
  if (typeof value !== 'string' || value === '') {
    throw new ServiceError('Validation failed', { causes: [`"${name}" is required`] });
  }
  return value;
}

function wholeNumber(text, name, fallback) {
  if (text === undefined || text === null || text === '') return fallback;
  if (!/^\d+$/.test(text)) throw new ServiceError('Validation failed', { causes: [`"${name}" must be a whole number`] });
  return Number(text);
}

function isoDay(text, name) {
  if (text === undefined) return undefined;
  if (!/^\d{4}-\d{2}-\d{2}$/.test(text) || Number.isNaN(Date.parse(`${text}T00:00:00Z`))) {
    throw new ServiceError('Validation failed', { causes: [`"${name}" must be a date (yyyy-MM-dd)`] });
  }
  return text;
}

class Api {
  constructor({ seed, state, webBase }) {
    this.seed = seed;
    this.state = state;
    this.webBase = webBase;
    this.routes = [];
    this.defineRoutes();
  }

  // --- helpers -------------------------------------------------------------------

  route(method, prefix, pattern, handler, { auth = false } = {}) {
    const regex = new RegExp(`^${pattern.replace(/:(\w+)/g, '(?<$1>[^/]*)')}$`);
    this.routes.push({ method, prefix, regex, handler, auth });
  }

  signIn(user) {
    const token = this.state.issueToken(user.id);
    return ok({ auth_token: token, user: publicUser(user, this.state.profiles) });
  }

  userByEmail(email) {
    return this.seed.users.find((u) => u.email.toLowerCase() === String(email).toLowerCase());
  }

  sharesOf(userId) {
    return this.seed.shares.filter((s) => s.user === userId);
  }

  workspaceFor(userId, companySlug, workspaceId) {
    const company = this.seed.companyBySlug.get(companySlug);
    if (!company) throw new ServiceError('Company not found', { causes: [`No company "${companySlug}"`] });
    const share = this.sharesOf(userId).find((s) => s.workspace === workspaceId);
    const workspace = this.seed.workspaceById.get(workspaceId);
    if (!share || !workspace || workspace.company !== companySlug) {
      throw new ServiceError('Workspace is not shared with you', { causes: ['Workspace is not shared with you'] });
    }
    return workspace;
  }

  companyOf(userId, companySlug) {
    const company = this.seed.companyBySlug.get(companySlug);
    const visible = company && (company.members.includes(userId)
      || this.sharesOf(userId).some((s) => this.seed.workspaceById.get(s.workspace).company === companySlug));
    if (!visible) throw new ServiceError('Company not found', { causes: [`No company "${companySlug}"`] });
    return company;
  }

  companyById(userId, companyId) {
    const company = this.seed.companies.find((c) => c.id === companyId);
    if (!company) throw new ServiceError('Company not found', { causes: [`No company with id "${companyId}"`] });
    return this.companyOf(userId, company.slug);
  }

  filteredRecordings(cameraIds, query) {
    const sids = query.get('sids');
    const cameraFilter = query.get('cameraIds');
    const from = isoDay(query.get('dateFrom'), 'dateFrom');
    const to = isoDay(query.get('dateTo'), 'dateTo');
    let list = this.seed.recordings.filter((r) => cameraIds.includes(r.cameraId));
    if (sids !== undefined) {
      const wanted = sids.split(',').filter(Boolean);
      list = list.filter((r) => wanted.includes(r.json.encoderSid));
    } else if (cameraFilter !== undefined) {
      const wanted = cameraFilter.split(',').filter(Boolean);
      list = list.filter((r) => wanted.includes(r.cameraId));
    }
    if (from !== undefined) list = list.filter((r) => r.json.createdAt.slice(0, 10) >= from);
    if (to !== undefined) list = list.filter((r) => r.json.createdAt.slice(0, 10) <= to);
    return list;
  }

  static page(list, query, defaultCount = 20) {
    const count = wholeNumber(query.get('count'), 'count', defaultCount);
    const offset = wholeNumber(query.get('offset'), 'offset', 0);
    return { items: list.slice(offset, offset + count), paging: { count, offset, total: list.length } };
  }

  // --- routes ----------------------------------------------------------------------

  defineRoutes() {
    const { seed, state } = this;

    // Accounts
    this.route('GET', IDENTITY, 'auth/login', ({ query }) => {
      const user = this.userByEmail(query.get('email') || '');
      if (!user || user.password !== query.get('password')) {
        throw new ServiceError('Authentication failed', { causes: ['Wrong email or password'] });
      }
      return this.signIn(user);
    });
    this.route('GET', IDENTITY, 'auth/login/code/get', ({ query }) => {
      const email = requireText(query.get('email'), 'email');
      const user = this.userByEmail(email);
      if (!user) throw new ServiceError('User not found', { causes: [`No account for ${email}`] });
      state.emailCodes.set(user.email, State.code());
      return ok({ sent: true, email: user.email });
    });
    this.route('GET', IDENTITY, 'auth/login/code', ({ query }) => {
      const user = this.userByEmail(query.get('email') || '');
      const code = user && state.emailCodes.get(user.email);
      if (!code || code !== query.get('code')) {
        // The service answers a wrong or used e-mail code with "Wrong credentials",
        // which the programs offer to resend.
        throw new ServiceError('Authentication failed', { causes: ['Wrong credentials: invalid or expired login code'] });
      }
      state.emailCodes.delete(user.email);
      return this.signIn(user);
    });
    this.route('POST', IDENTITY, 'auth/send-sms-code', ({ body }) => {
      const phone = requireText(body.phone, 'phone');
      const user = seed.users.find((u) => u.phone === phone);
      if (!user) throw new ServiceError('User not found', { causes: [`No account for ${phone}`] });
      state.phoneCodes.set(phone, State.code(4));
      return ok({ sent: true });
    });
    this.route('POST', IDENTITY, 'auth/login-by-phone', ({ body }) => {
      const phone = requireText(body.phone, 'phone');
      const code = state.phoneCodes.get(phone);
      const user = seed.users.find((u) => u.phone === phone);
      if (!user || !code || code !== body.code) {
        throw new ServiceError('Authentication failed', { causes: ['Invalid or expired login code'] });
      }
      state.phoneCodes.delete(phone);
      return this.signIn(user);
    });
    this.route('GET', IDENTITY, 'auth/oauth-login', ({ query }) => {
      const grant = state.oauthCodes.get(query.get('code') || '');
      if (!grant || grant.provider !== query.get('provider')) {
        throw new ServiceError('Authentication failed', { causes: ['Invalid authorization code'] });
      }
      state.oauthCodes.delete(query.get('code'));
      return this.signIn(seed.userById.get(grant.userId));
    });
    this.route('GET', IDENTITY, 'auth/reset-password', ({ query }) => {
      const email = requireText(query.get('email'), 'email');
      const user = this.userByEmail(email);
      // The reply never tells whether an account exists.
      if (user) state.mails.push({ to: user.email, kind: 'reset-password', link: query.get('redirect_url') || '' });
      return ok({ sent: true });
    });
    this.route('GET', IDENTITY, 'auth/me', ({ user }) => ok(publicUser(user, state.profiles)), { auth: true });
    this.route('GET', IDENTITY, 'me', ({ user }) => ok(publicUser(user, state.profiles)), { auth: true });
    this.route('PUT', IDENTITY, 'me', ({ user, body }) => {
      for (const key of ['firstName', 'lastName']) {
        if (body[key] !== undefined && typeof body[key] !== 'string') {
          throw new ServiceError('Validation failed', { causes: [`"${key}" must be text`] });
        }
      }
      const profile = state.profiles.get(user.id) || {};
      if (body.firstName !== undefined) profile.firstName = body.firstName;
      if (body.lastName !== undefined) profile.lastName = body.lastName;
      state.profiles.set(user.id, profile);
      return ok(publicUser(user, state.profiles));
    }, { auth: true });

    // Companies and shares
    this.route('GET', IDENTITY, 'me/companies', ({ user, query }) => {
      const detailed = query.get('detailed') === 'true';
      const visible = seed.companies.filter((c) => c.members.includes(user.id)
        || this.sharesOf(user.id).some((s) => seed.workspaceById.get(s.workspace).company === c.slug));
      return ok(visible.map((c) => {
        const json = { id: c.id, name: c.name, slug: c.slug, image: c.image };
        if (detailed) json.members = c.members.length;
        return json;
      }));
    }, { auth: true });
    this.route('GET', IDENTITY, 'me/companies/:companyId', ({ user, params }) => {
      const c = this.companyById(user.id, params.companyId);
      return ok({ id: c.id, name: c.name, slug: c.slug, image: c.image });
    }, { auth: true });
    this.route('GET', IDENTITY, 'me/companies/:companyId/users', ({ user, params }) => {
      const c = this.companyById(user.id, params.companyId);
      return ok(c.members.map((id) => publicUser(seed.userById.get(id), state.profiles)));
    }, { auth: true });
    this.route('GET', IDENTITY, 'me/companies/:companyId/shares/global_options', ({ user, params }) => {
      const c = this.companyById(user.id, params.companyId);
      return ok(seed.globalOptions[c.slug] || {});
    }, { auth: true });
    this.route('GET', IDENTITY, 'me/companyShares', ({ user }) => {
      const byCompany = {};
      for (const share of this.sharesOf(user.id)) {
        const slug = seed.workspaceById.get(share.workspace).company;
        (byCompany[slug] = byCompany[slug] || []).push(seed.shareJson(share));
      }
      return ok(byCompany);
    }, { auth: true });
    this.route('GET', IDENTITY, 'me/shares/get-users', ({ user, query }) => {
      const shareId = requireText(query.get('share_id'), 'share_id');
      if (!this.sharesOf(user.id).some((s) => s.workspace === shareId)) {
        throw new ServiceError('Workspace is not shared with you', { causes: ['Workspace is not shared with you'] });
      }
      const people = seed.shares.filter((s) => s.workspace === shareId).map((s) => seed.userById.get(s.user));
      return ok(people.map((p) => {
        const json = { id: p.id, email: p.email, image: p.image };
        if (p.firstName !== undefined) json.firstName = p.firstName;
        if (p.lastName !== undefined) json.lastName = p.lastName;
        return json;
      }));
    }, { auth: true });

    // Workspaces, streams and recordings
    this.route('GET', CORE, ':company/shared/workspaces', ({ user, params }) => {
      this.companyOf(user.id, params.company);
      const ids = new Set(this.sharesOf(user.id).map((s) => s.workspace));
      const list = seed.workspaces.filter((w) => w.company === params.company && ids.has(w.id));
      return ok(list.map((w) => seed.workspaceJson(w)));
    }, { auth: true });
    this.route('GET', CORE, ':company/shared/streams', ({ user, params }) => {
      this.companyOf(user.id, params.company);
      const ids = new Set(this.sharesOf(user.id).map((s) => s.workspace));
      const cameraIds = new Set(seed.workspaces.filter((w) => w.company === params.company && ids.has(w.id))
        .flatMap((w) => w.cameras));
      return ok([...cameraIds].map((id) => seed.cameraById.get(id)).filter((c) => c.stream).map(seed.streamJson));
    }, { auth: true });
    this.route('GET', CORE, ':company/shared/workspaces/:workspace/records', ({ user, params, query }) => {
      const workspace = this.workspaceFor(user.id, params.company, params.workspace);
      const { items, paging } = Api.page(this.filteredRecordings(workspace.cameras, query), query);
      return ok([{ records: items.map((r) => r.json) }], { paging });
    }, { auth: true });
    this.route('GET', CORE, ':owner/archive', ({ user, params, query }) => {
      this.companyOf(user.id, params.owner);
      const cameraIds = seed.workspaces.filter((w) => w.company === params.owner).flatMap((w) => w.cameras);
      const { items, paging } = Api.page(this.filteredRecordings(cameraIds, query), query);
      return ok(items.map((r) => r.json), { paging });
    }, { auth: true });
    this.route('POST', CORE, ':company/views/:id', ({ user, params, body }) => {
      this.companyOf(user.id, params.company);
      if (body.type !== 'stream' && body.type !== 'record') {
        throw new ServiceError('Validation failed', { causes: ['"type" must be "stream" or "record"'] });
      }
      for (const key of ['shareId', 'totalBytes']) {
        if (!Number.isInteger(body[key]) || body[key] < 0) {
          throw new ServiceError('Validation failed', { causes: [`"${key}" must be a whole number`] });
        }
      }
      requireText(body.viewId, 'viewId');
      const known = body.type === 'record'
        ? seed.recordings.some((r) => r.id === params.id)
        : seed.cameras.some((c) => c.stream && (c.stream.id || c.stream.sid) === params.id);
      if (!known) throw new ServiceError('View target not found', { causes: [`No ${body.type} "${params.id}"`] });
      state.views.push({ company: params.company, id: params.id, user: user.email, ...body, at: new Date().toISOString() });
      return ok({});
    }, { auth: true });

    // The chat program's paths
    this.route('GET', CORE, ':company/chats/workspaces/:workspace/agora-tokens', ({ user, params, query }) => {
      const workspace = this.workspaceFor(user.id, params.company, params.workspace);
      const voiceStreamId = wholeNumber(query.get('voiceStreamId'), 'voiceStreamId', 0);
      const credentials = {
        rtcToken: crypto.randomBytes(16).toString('hex'),
        rtmToken: crypto.randomBytes(16).toString('hex'),
        userId: query.get('userId') || user.id,
        channelId: `workspace-${workspace.id}`,
        voiceStreamId,
        priveledgeExpiresTs: Math.floor(Date.now() / 1000) + 3600,
        // One secret per channel: everybody in a voice channel must share it.
        encryptionMode: 'aes-128-xts',
        encryptionSecret: state.voiceSecretFor(`workspace-${workspace.id}`),
      };
      state.chatTokens.push({ user: user.id, ...credentials });
      return ok(credentials);
    }, { auth: true });
    this.route('POST', CORE, ':company/chats/workspaces/:workspace', ({ user, params, body }) => {
      this.workspaceFor(user.id, params.company, params.workspace);
      requireText(body.sessionId, 'sessionId');
      state.chatStats.push({ user: user.id, workspace: params.workspace, sessionId: body.sessionId });
      return ok({});
    }, { auth: true });
  }

  // Returns { status, envelope } for a request under the two API prefixes, or
  // undefined when no route matches.
  handle({ method, path, query, body }) {
    const prefix = path.startsWith(IDENTITY) ? IDENTITY : path.startsWith(CORE) ? CORE : undefined;
    if (!prefix) return undefined;
    const relative = path.slice(prefix.length);
    for (const route of this.routes) {
      if (route.prefix !== prefix || route.method !== method) continue;
      const match = route.regex.exec(relative);
      if (!match) continue;
      let user;
      if (route.auth) {
        const userId = this.state.userIdForToken(query.get('auth_token'));
        if (!userId) throw new ServiceError('Invalid auth token', { causes: ['Invalid or expired auth token'] });
        user = this.seed.userById.get(userId);
      }
      return { status: 200, envelope: route.handler({ user, params: match.groups || {}, query, body }) };
    }
    return undefined;
  }
}

module.exports = { Api, IDENTITY, CORE };

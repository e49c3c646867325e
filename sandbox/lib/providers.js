'use strict';
// The OAuth providers' sign-in pages for social sign-in, on the providers' own
// host names (the OAuth helper's browser is pointed at the deployment): a sign-in
// form for a seeded user, a consent step, and the way back to the service with a
// code that the identity endpoint's "auth/oauth-login" accepts. Google and
// Facebook send the browser to the OAuth callback host with "?code=";
// Apple posts a form to the identity endpoint's webhook, which sends the browser
// on to the callback host. "Cancel" and "Deny" are the error outcome.
const crypto = require('crypto');
const { oauthProviders } = require('./hosts');

function escape(text) {
  return String(text).replace(/[&<>"']/g, (c) => ({ '&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;', "'": '&#39;' }[c]));
}

function page(title, content) {
  return `<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>${escape(title)}</title>
<style>
body { font-family: sans-serif; background: #f4f5f7; margin: 0; }
main { max-width: 380px; margin: 80px auto; background: white; padding: 32px; border-radius: 8px; box-shadow: 0 2px 8px rgba(0,0,0,.15); }
h1 { font-size: 22px; margin: 0 0 8px; } p { color: #444; }
input { display: block; width: 100%; box-sizing: border-box; margin: 8px 0 16px; padding: 10px; font-size: 15px; }
button { padding: 10px 18px; font-size: 15px; margin-right: 8px; }
.error { color: #b00020; }
</style></head>
<body><main>${content}</main></body></html>`;
}

class ProviderPages {
  constructor({ seed, state, hosts }) {
    this.seed = seed;
    this.state = state;
    this.hosts = hosts;
    this.providers = oauthProviders();
    this.tickets = new Map(); // consent ticket -> { userId, provider }
    this.callback = `https://${hosts.oauthCallback}/auth`;
  }

  providerAt(endpoint, pathname) {
    const host = endpoint.split(':')[0];
    return Object.entries(this.providers).find(([, p]) => p.host === host && p.path === pathname);
  }

  // { status, headers, body } for a request these pages answer, else undefined.
  handle({ endpoint, method, pathname, search, body }) {
    const host = endpoint.split(':')[0];
    if (host === this.hosts.productionIdentity && method === 'POST' && pathname === '/api/v1.1/webhooks/apple') {
      return this.appleWebhook(new URLSearchParams(body));
    }
    // For tests: a page that moves on to another address after a few seconds, as a
    // provider does once the user has signed in.
    if (host === this.hosts.productionWeb && pathname === '/redirect') {
      const query = new URLSearchParams(search);
      const after = Math.max(0, Math.min(30, Number(query.get('after')) || 0));
      return { status: 200, body: page('Moving on', `<meta http-equiv="refresh" content="${after};url=${escape(query.get('to') || '/')}"><p>One moment…</p>`) };
    }
    if ([this.hosts.productionWeb, this.hosts.untrustedTest].includes(host) && pathname === '/') {
      return { status: 200, body: page('Orvane TV', '<h1>Orvane TV</h1><p>You are signed in. You can close this window.</p>') };
    }
    const found = this.providerAt(endpoint, pathname);
    if (!found) return undefined;
    const [name, provider] = found;
    if (method === 'GET') return this.signInPage(name, new URLSearchParams(search), '');
    if (method === 'POST') return this.answer(name, provider, new URLSearchParams(body));
    return { status: 405, body: page('Not allowed', '<h1>Not allowed</h1>') };
  }

  // A provider only sends codes to the redirect address registered for the client.
  checkRequest(name, query) {
    const designed = new URL(this.providers[name].url).searchParams;
    return query.get('client_id') === designed.get('client_id') && query.get('redirect_uri') === designed.get('redirect_uri');
  }

  signInPage(name, query, error) {
    if (!this.checkRequest(name, query)) {
      return { status: 400, body: page('Sign-in error', '<h1>Sign-in error</h1><p class="error">Unknown client or redirect address.</p>') };
    }
    const label = { google: 'Google', facebookForCore: 'Facebook', apple: 'Apple' }[name] || name;
    return {
      status: 200,
      body: page(`Sign in with ${label}`, `<h1>Sign in with ${escape(label)}</h1>
<p>to continue to Orvane TV</p>
${error ? `<p class="error" id="error">${escape(error)}</p>` : ''}
<form method="post" id="signin">
<input type="hidden" name="step" value="signin">
<input type="hidden" name="q" value="${escape(query.toString())}">
<input type="email" name="email" id="email" placeholder="Email" autofocus>
<input type="password" name="password" id="password" placeholder="Password">
<button type="submit" id="next">Next</button>
<button type="submit" name="cancel" value="1" id="cancel">Cancel</button>
</form>`),
    };
  }

  answer(name, provider, form) {
    const query = new URLSearchParams(form.get('q') || '');
    if (!this.checkRequest(name, query)) return this.signInPage(name, query, '');
    if (form.get('cancel')) return this.back(name, query, { error: 'access_denied' });
    if (form.get('step') === 'signin') {
      const user = this.seed.users.find((u) => u.email === (form.get('email') || '').trim().toLowerCase());
      if (!user || user.password !== form.get('password')) return this.signInPage(name, query, 'Wrong email or password.');
      const ticket = crypto.randomBytes(12).toString('hex');
      this.tickets.set(ticket, { userId: user.id, provider: name });
      return {
        status: 200,
        body: page('Allow access', `<h1>Orvane TV wants to know who you are</h1>
<p>Orvane TV will receive your name and e-mail address (${escape(user.email)}).</p>
<form method="post" id="consent">
<input type="hidden" name="step" value="consent">
<input type="hidden" name="q" value="${escape(query.toString())}">
<input type="hidden" name="ticket" value="${ticket}">
<button type="submit" name="decision" value="allow" id="allow" autofocus>Allow</button>
<button type="submit" name="decision" value="deny" id="deny">Deny</button>
</form>`),
      };
    }
    if (form.get('step') === 'consent') {
      const grant = this.tickets.get(form.get('ticket') || '');
      this.tickets.delete(form.get('ticket') || '');
      if (!grant || grant.provider !== name) return this.signInPage(name, query, 'The sign-in has expired. Please try again.');
      if (form.get('decision') !== 'allow') return this.back(name, query, { error: 'access_denied' });
      const code = `oc-${crypto.randomBytes(8).toString('hex')}`;
      this.state.oauthCodes.set(code, { userId: grant.userId, provider: name });
      this.state.providerGrants.push({ provider: name, userId: grant.userId, code, at: new Date().toISOString() });
      return this.back(name, query, { code });
    }
    return this.signInPage(name, query, '');
  }

  // Back to the service: a redirect with the result in the query, or for Apple
  // (response_mode=form_post) a form posted to the redirect address.
  back(name, query, result) {
    const redirect = query.get('redirect_uri');
    if (query.get('response_mode') === 'form_post') {
      const fields = { ...result, state: query.get('state') || '' };
      const inputs = Object.entries(fields)
        .map(([k, v]) => `<input type="hidden" name="${escape(k)}" value="${escape(v)}">`).join('');
      return {
        status: 200,
        body: page('Signing in', `<form method="post" action="${escape(redirect)}" id="post">${inputs}</form>
<p>Signing in…</p><script>document.getElementById('post').submit();</script>`),
      };
    }
    const target = new URL(redirect);
    for (const [k, v] of Object.entries(result)) target.searchParams.set(k, v);
    return { status: 302, headers: { Location: target.toString() }, body: '' };
  }

  // The service's end of Apple's form post: on to the callback host with the code.
  appleWebhook(form) {
    const target = new URL(this.callback);
    if (form.get('code') !== null) target.searchParams.set('code', form.get('code'));
    else target.searchParams.set('error', form.get('error') || 'unknown_error');
    this.state.providerGrants.push({ provider: 'apple-webhook', code: form.get('code'), at: new Date().toISOString() });
    return { status: 302, headers: { Location: target.toString() }, body: '' };
  }
}

module.exports = { ProviderPages };

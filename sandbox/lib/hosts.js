'use strict';
// The designed endpoints the desktop programs contact, built from the host names
// the client library is configured with (one file for both).
const fs = require('fs');
const path = require('path');

const hostsFile = path.join(__dirname, '..', '..', 'QtOVCoreAPIFramework', 'deploymenthosts.json');

const providersFile = path.join(__dirname, '..', '..', 'QtOrvaneTV', 'account', 'oauth.json');

function hostNames() {
  return JSON.parse(fs.readFileSync(hostsFile, 'utf8'));
}

// The OAuth providers of the viewer's provider table: name -> { host, path, url }.
function oauthProviders() {
  const table = JSON.parse(fs.readFileSync(providersFile, 'utf8'));
  return Object.fromEntries(Object.entries(table).map(([name, url]) => {
    const parsed = new URL(url);
    return [name, { host: parsed.host, path: parsed.pathname, url }];
  }));
}

// Every host:port a program may contact. The port sets follow the environments of
// the client library, the chat program's endpoints, the realtime channel and the chat hub.
function designedEndpoints() {
  const h = hostNames();
  const list = [
    [h.productionIdentity, 443], [h.productionIdentity, 8443],
    [h.stagingIdentity, 8443], [h.developmentIdentity, 8443],
    [h.productionCore, 443], [h.productionCore, 8443],
    [h.stagingCore, 8443], [h.stagingCore, 443],
    [h.developmentCore, 8443], [h.developmentCore, 9443],
    [h.productProduction, 8443],
    [h.productStaging, 8443], [h.productStaging, 9443],
    [h.productionRealtime, 443],
    [h.productionWeb, 443], [h.stagingWeb, 443], [h.developmentWeb, 443],
    [h.recordingsMedia, 443],
    [h.chatHub, 443],
    // The sign-in pages of the OAuth providers, and a host whose certificate
    // comes from an authority the programs must not trust.
    ...Object.values(oauthProviders()).map((p) => [p.host, 443]),
    [h.untrustedTest, 443],
  ];
  const seen = new Set();
  return list
    .map(([host, port]) => `${host}:${port}`)
    .filter((key) => (seen.has(key) ? false : seen.add(key)));
}

module.exports = { hostNames, designedEndpoints, oauthProviders };

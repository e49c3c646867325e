'use strict';
// A local certificate authority, made at first start, and a server certificate for
// every designed host name. The programs trust the authority only through the
// deployment file.
const fs = require('fs');
const path = require('path');
const { run } = require('./run');

async function ensureCertificates(stateDir, hostNames) {
  const dir = path.join(stateDir, 'tls');
  fs.mkdirSync(dir, { recursive: true, mode: 0o700 });
  const file = (name) => path.join(dir, name);

  if (!fs.existsSync(file('ca.pem')) || !fs.existsSync(file('ca.key'))) {
    await run('openssl', ['req', '-x509', '-newkey', 'rsa:2048', '-nodes', '-sha256',
      '-keyout', file('ca.key'), '-out', file('ca.pem'), '-days', '3650',
      '-subj', '/CN=Orvane Sandbox Local CA',
      '-addext', 'basicConstraints=critical,CA:TRUE',
      '-addext', 'keyUsage=critical,keyCertSign,cRLSign']);
    fs.rmSync(file('server.pem'), { force: true });
  }

  const names = [...new Set(hostNames)].sort();
  const wanted = names.join('\n');
  const current = fs.existsSync(file('server.names')) ? fs.readFileSync(file('server.names'), 'utf8') : '';
  if (!fs.existsSync(file('server.pem')) || current !== wanted) {
    const san = ['DNS:localhost', 'IP:127.0.0.1', 'IP:::1', ...names.map((n) => `DNS:${n}`)].join(',');
    fs.writeFileSync(file('server.ext'), [
      `subjectAltName=${san}`,
      'basicConstraints=CA:FALSE',
      'keyUsage=critical,digitalSignature,keyEncipherment',
      'extendedKeyUsage=serverAuth',
    ].join('\n') + '\n');
    await run('openssl', ['req', '-newkey', 'rsa:2048', '-nodes', '-sha256',
      '-keyout', file('server.key'), '-out', file('server.csr'), '-subj', '/CN=Orvane Sandbox']);
    await run('openssl', ['x509', '-req', '-sha256', '-in', file('server.csr'),
      '-CA', file('ca.pem'), '-CAkey', file('ca.key'), '-CAcreateserial',
      '-out', file('server.pem'), '-days', '825', '-extfile', file('server.ext')]);
    fs.writeFileSync(file('server.names'), wanted);
  }

  return {
    caFile: file('ca.pem'),
    key: fs.readFileSync(file('server.key')),
    cert: fs.readFileSync(file('server.pem')),
  };
}

// A certificate for one host from a second authority that the deployment file
// never names: what a program must refuse.
async function ensureUntrustedCertificate(stateDir, hostName) {
  const dir = path.join(stateDir, 'tls-untrusted');
  fs.mkdirSync(dir, { recursive: true, mode: 0o700 });
  const file = (name) => path.join(dir, name);
  if (!fs.existsSync(file('server.pem'))) {
    await run('openssl', ['req', '-x509', '-newkey', 'rsa:2048', '-nodes', '-sha256',
      '-keyout', file('ca.key'), '-out', file('ca.pem'), '-days', '3650',
      '-subj', '/CN=Not The Orvane Sandbox CA',
      '-addext', 'basicConstraints=critical,CA:TRUE', '-addext', 'keyUsage=critical,keyCertSign,cRLSign']);
    fs.writeFileSync(file('server.ext'), `subjectAltName=DNS:${hostName}\nextendedKeyUsage=serverAuth\n`);
    await run('openssl', ['req', '-newkey', 'rsa:2048', '-nodes', '-sha256',
      '-keyout', file('server.key'), '-out', file('server.csr'), '-subj', `/CN=${hostName}`]);
    await run('openssl', ['x509', '-req', '-sha256', '-in', file('server.csr'), '-CA', file('ca.pem'),
      '-CAkey', file('ca.key'), '-CAcreateserial', '-out', file('server.pem'), '-days', '365',
      '-extfile', file('server.ext')]);
  }
  return { key: fs.readFileSync(file('server.key')), cert: fs.readFileSync(file('server.pem')) };
}

module.exports = { ensureCertificates, ensureUntrustedCertificate };

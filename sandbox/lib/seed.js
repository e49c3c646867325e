'use strict';
// The seeded data of the local deployment. Fixed dates and ids keep tests
// repeatable; the live source ports and media addresses come from the running
// deployment.

const DAY_MS = 24 * 3600 * 1000;
const FIRST_DAY = Date.UTC(2026, 10, 30); // 2026-11-30

const users = [
  { id: '1001', email: 'ann@orvane.test', password: 'orvane-demo-1', phone: '+15550100',
    firstName: 'Ann', lastName: 'Lindqvist', isAdmin: false, image: 'img-ann' },
  { id: '1002', email: 'ben@orvane.test', password: 'orvane-demo-2', phone: '+15550101',
    firstName: '  user ', lastName: '', isAdmin: false, image: '' },
  { id: '1003', email: 'chloe@orvane.test', password: 'orvane-demo-3', phone: '+15550102',
    firstName: 'Chlo\u00e9', lastName: 'Martin', isAdmin: true, image: '' },
  // No names at all: the programs fall back to the e-mail address.
  { id: '1004', email: 'dana@orvane.test', password: 'orvane-demo-4', phone: '+15550103',
    isAdmin: false, image: '' },
  // Signed in, but nothing is shared with this account.
  { id: '1005', email: 'eve@orvane.test', password: 'orvane-demo-5', phone: '+15550104',
    firstName: 'Eve', lastName: 'Nobody', isAdmin: false, image: '' },
];

// Code-point order (Beacon, Zephyr, acme, Édition) differs from the
// case-insensitive order (acme, Beacon, Édition, Zephyr).
const companies = [
  { id: '101', name: 'acme Field Ops', slug: 'acme', image: 'img-acme', members: ['1001', '1002', '1003'] },
  { id: '102', name: 'Beacon Broadcast', slug: 'beacon', image: 'img-beacon', members: ['1001', '1003'] },
  { id: '103', name: 'Zephyr Media', slug: 'zephyr', image: '', members: ['1001'] },
  { id: '104', name: '\u00c9dition Nord', slug: 'edition-nord', image: 'img-nord', members: ['1001', '1004'] },
];

const globalOptions = {
  acme: { watermarks: { enabled: true, text: 'ACME FIELD OPS' }, allowDownloads: false },
  beacon: { watermarks: { enabled: false }, allowDownloads: true },
  zephyr: { allowDownloads: true },
  'edition-nord': {},
};

const allOptionsOn = {
  userNameOverlay: true, userPicOverlay: 'top-left', textChatEnabled: true, voiceChatEnabled: true,
  onlyListenAllowed: false, talkAndListenAllowed: true, onlyReadAllowed: false, readAndWriteAllowed: true,
};

// A workspace is opened through the share whose id it carries.
const workspaces = [
  { id: '41', company: 'acme', name: 'North Site', isDefault: true,
    settings: { hideOverlays: false, autoAddRecords: true, recordsAsSharing: false, chatEnabled: true, voiceChatEnabled: true, textChatEnabled: true },
    cameras: ['cam-1', 'cam-2', 'cam-3', 'cam-4'] },
  { id: '42', company: 'acme', name: 'Harbour Crane', isDefault: false,
    settings: { hideOverlays: true, autoAddRecords: false, recordsAsSharing: true, chatEnabled: true, voiceChatEnabled: false, textChatEnabled: true },
    cameras: ['cam-1', 'cam-5'] },
  { id: '43', company: 'beacon', name: 'Studio B', isDefault: true,
    settings: { hideOverlays: false, autoAddRecords: false, recordsAsSharing: false, chatEnabled: true, voiceChatEnabled: true, textChatEnabled: false },
    cameras: ['cam-6', 'cam-7'] },
  { id: '44', company: 'zephyr', name: 'Roof', isDefault: true, settings: null, cameras: ['cam-8'] },
  { id: '45', company: 'edition-nord', name: 'Newsroom', isDefault: true,
    settings: { chatEnabled: false }, cameras: [] },
];

const shares = [
  { id: '41', user: '1001', sharer: '1003', workspace: '41', options: allOptionsOn, expiresInDays: 365 },
  { id: '42', user: '1001', sharer: '1003', workspace: '42', expiresInDays: 90,
    options: { userNameOverlay: false, userPicOverlay: '', textChatEnabled: true, voiceChatEnabled: false,
      onlyListenAllowed: true, talkAndListenAllowed: false, onlyReadAllowed: true, readAndWriteAllowed: false } },
  { id: '43', user: '1001', sharer: '1003', workspace: '43', expiresInDays: 30,
    options: { userNameOverlay: true, userPicOverlay: 'bottom-right', textChatEnabled: false, voiceChatEnabled: true,
      onlyListenAllowed: true, talkAndListenAllowed: false, onlyReadAllowed: false, readAndWriteAllowed: false } },
  { id: '44', user: '1001', sharer: '1001', workspace: '44', expiresInDays: 10, options: {} },
  { id: '45', user: '1001', sharer: '1004', workspace: '45', expiresInDays: -5, options: { textChatEnabled: true } },
  { id: '51', user: '1002', sharer: '1001', workspace: '41', options: allOptionsOn, expiresInDays: 365 },
  { id: '52', user: '1003', sharer: '1001', workspace: '41', options: allOptionsOn, expiresInDays: 365 },
  { id: '53', user: '1003', sharer: '1001', workspace: '43', options: allOptionsOn, expiresInDays: 365 },
  { id: '54', user: '1004', sharer: '1001', workspace: '41', options: { textChatEnabled: true }, expiresInDays: 365 },
];

// stream: null means the camera has no stream at all.
const cameras = [
  { id: 'cam-1', name: 'North Gate', unit: 'Unit 7', encoderSid: 'enc-1', muted: false,
    stream: { id: 'str-1', name: 'North Gate live', status: 'online', secured: true } },
  { id: 'cam-2', name: 'Crane Cab', unit: 'Unit 3', encoderSid: 'enc-2', muted: true,
    stream: { id: 'str-2', name: 'Crane Cab live', status: 'online', secured: false } },
  { id: 'cam-3', name: 'Loading Bay', unit: 'Unit 9', encoderSid: 'enc-3', muted: false,
    stream: { id: 'str-3', name: 'Loading Bay live', status: 'offline', secured: false } },
  { id: 'cam-4', name: 'Spare Body', unit: 'Unit 0', encoderSid: 'enc-4', muted: false, stream: null },
  { id: 'cam-5', name: 'Harbour Mast', unit: 'Unit 5', encoderSid: 'enc-5', muted: false,
    stream: { id: 'str-5', name: 'Harbour Mast live', status: 'online', secured: true } },
  { id: 'cam-6', name: 'Studio Wide', unit: 'Unit 1', encoderSid: 'enc-6', muted: false,
    stream: { sid: 'str-6', name: 'Studio Wide live', status: 'online', secured: false } },
  { id: 'cam-7', name: 'Studio Close', unit: 'Unit 2', encoderSid: 'enc-7', muted: false,
    stream: { id: 'str-7', name: 'Studio Close live', status: 'online', secured: true } },
  { id: 'cam-8', name: 'Roof Cam', unit: 'Unit 4', encoderSid: 'enc-8', muted: false,
    stream: { id: 'str-8', name: 'Roof live', status: 'online', secured: false } },
];

// How many recordings each camera has; 44 in "North Site" for paging.
const recordingPlan = [['cam-1', 16], ['cam-2', 16], ['cam-3', 12], ['cam-5', 6], ['cam-6', 8], ['cam-8', 4]];

function iso(ms) {
  return new Date(ms).toISOString().replace(/\.\d{3}Z$/, 'Z');
}

function userRecord(user) {
  const record = { email: user.email, phone: user.phone, isAdmin: user.isAdmin };
  if (user.firstName !== undefined) record.firstName = user.firstName;
  if (user.lastName !== undefined) record.lastName = user.lastName;
  return record;
}

function buildSeed({ mediaBase, clips, liveSources }) {
  const cameraById = new Map(cameras.map((c) => [c.id, c]));
  const companyBySlug = new Map(companies.map((c) => [c.slug, c]));
  const userById = new Map(users.map((u) => [u.id, u]));
  const workspaceById = new Map(workspaces.map((w) => [w.id, w]));

  function streamJson(camera) {
    if (!camera.stream) return undefined;
    const source = liveSources[camera.stream.id || camera.stream.sid] || {};
    const sources = [];
    if (source.srtPort) {
      sources.push(camera.stream.secured
        ? { protocol: 'srt', host: source.host, port: source.srtPort, keylen: 16, passphrase: source.passphrase, token: '' }
        : { protocol: 'srt', host: source.host, port: source.srtPort, keylen: 0, passphrase: '', token: '' });
    }
    if (source.tcpPort) {
      // The service writes some ports as decimal strings.
      // The service names TCP MPEG-TS sources "mpeg-ts".
      sources.push({ protocol: 'mpeg-ts', host: source.host, port: String(source.tcpPort), keylen: 0, passphrase: '', token: '' });
    }
    const json = { ...camera.stream, slug: camera.stream.name.toLowerCase().replace(/\W+/g, '-'), type: 'live', streamSources: sources };
    return json;
  }

  function cameraJson(camera) {
    const json = {
      id: camera.id, serverId: `srv-${camera.id.slice(4)}`, encoderSid: camera.encoderSid,
      createdAt: iso(FIRST_DAY - 30 * DAY_MS), unit: camera.unit, name: camera.name, muted: camera.muted,
    };
    const stream = streamJson(camera);
    if (stream) json.stream = stream;
    return json;
  }

  const recordings = [];
  let serial = 0;
  for (const [cameraId, count] of recordingPlan) {
    const camera = cameraById.get(cameraId);
    for (let i = 0; i < count; i += 1) {
      serial += 1;
      const id = `rec-${String(serial).padStart(3, '0')}`;
      const day = serial % 6;
      const created = FIRST_DAY + day * DAY_MS + (6 + ((serial * 7) % 14)) * 3600e3 + ((serial * 13) % 60) * 60e3;
      const clip = serial === 7 ? clips.find((c) => c.id === 'clip-long') : clips[serial % (clips.length - 1)];
      const base = `${mediaBase}/records/${id}`;
      recordings.push({
        id, clip: clip.id, cameraId, createdMs: created,
        json: {
          id, name: `${camera.name} ${iso(created).slice(0, 16).replace('T', ' ')}`,
          externalId: `ext-${id}`, userEmail: 'ann@orvane.test', status: 'ready', createdAt: iso(created),
          type: 'video', encoderSid: camera.encoderSid, encoderName: `Encoder ${camera.unit}`,
          cameraId, cameraName: camera.name,
          previewUrl: `${base}/preview.jpg`, extendedPreviewUrl: `${base}/extended.jpg`,
          audioThumbnailPreviewUrl: `${base}/audio.png`,
          video: { ts: `${base}/video.ts`, mp4: `${base}/video.mp4` },
          duration: clip.seconds,
          info: {
            filesize: clip.tsBytes,
            video: { fps: String(clip.rate), resolution: clip.size },
            audio: { quality: clip.rate === 1 ? '24k' : '64k' },
            extendedPreview: { resolution: `${clip.strip.width}:${clip.strip.height}`, framesCount: clip.strip.frames },
          },
        },
      });
    }
  }
  recordings.sort((a, b) => b.createdMs - a.createdMs || a.id.localeCompare(b.id));

  function shareJson(share) {
    const workspace = workspaceById.get(share.workspace);
    const company = companyBySlug.get(workspace.company);
    return {
      id: share.id, shareId: share.workspace, shareType: 'workspace', shareName: workspace.name,
      createdAt: iso(FIRST_DAY - 60 * DAY_MS), updatedAt: iso(FIRST_DAY - 2 * DAY_MS),
      expirationDate: iso(FIRST_DAY + share.expiresInDays * DAY_MS),
      sharer: userRecord(userById.get(share.sharer)), user: userRecord(userById.get(share.user)),
      company: { id: company.id, slug: company.slug, name: company.name, image: company.image },
      options: share.options,
    };
  }

  function workspaceJson(workspace) {
    const cams = workspace.cameras.map((id) => cameraById.get(id));
    const json = {
      id: workspace.id, name: workspace.name, isDefault: workspace.isDefault,
      createdAt: iso(FIRST_DAY - 45 * DAY_MS),
      cameras: cams.map(cameraJson),
      streams: cams.filter((c) => c.stream).map(streamJson),
      // Every recording of the workspace, newest first, as the service lists them.
      records: recordings.filter((r) => workspace.cameras.includes(r.cameraId)).map((r) => r.json),
    };
    if (workspace.settings !== undefined) json.settings = workspace.settings;
    return json;
  }

  return {
    users, companies, shares, workspaces, cameras, recordings, globalOptions,
    userById, companyBySlug, workspaceById, cameraById,
    shareJson, workspaceJson, cameraJson, streamJson,
  };
}

module.exports = { buildSeed, users, cameras };

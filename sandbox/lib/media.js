'use strict';
// Recordings as real media, generated with ffmpeg at first start: a test pattern
// with a burnt-in clock and a tone, as MPEG-TS and MP4, with a preview picture, an
// extended-preview strip of 16:9 frames side by side, and an audio thumbnail.
const fs = require('fs');
const path = require('path');
const { run } = require('./run');

const FONT = '/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf';
const STRIP_FRAMES = 16;
const STRIP_WIDTH = 160;
const STRIP_HEIGHT = 90;

// Distinct clips; the recordings of the seeded data point at them in turn.
const CLIPS = [
  { id: 'clip-1', seconds: 12, size: '320x180', rate: 25, tone: 440, pattern: 'testsrc2' },
  { id: 'clip-2', seconds: 15, size: '320x180', rate: 25, tone: 523, pattern: 'smptebars' },
  { id: 'clip-3', seconds: 10, size: '320x180', rate: 25, tone: 659, pattern: 'testsrc' },
  { id: 'clip-4', seconds: 14, size: '320x180', rate: 30, tone: 784, pattern: 'rgbtestsrc' },
  { id: 'clip-5', seconds: 11, size: '320x180', rate: 25, tone: 880, pattern: 'smptehdbars' },
  // Over an hour, so hours show in the time format; one frame a second keeps it cheap.
  { id: 'clip-long', seconds: 3725, size: '160x90', rate: 1, tone: 330, pattern: 'testsrc2' },
];

function clipFiles(mediaDir, clip) {
  const base = path.join(mediaDir, clip.id);
  return {
    ts: `${base}.ts`, mp4: `${base}.mp4`, preview: `${base}-preview.jpg`,
    strip: `${base}-extended.jpg`, audio: `${base}-audio.png`, done: `${base}.done`,
  };
}

async function generateClip(mediaDir, clip) {
  const files = clipFiles(mediaDir, clip);
  const fontSize = clip.size.startsWith('160') ? 12 : 20;
  const clock = `drawtext=fontfile=${FONT}:text='%{pts\\:hms}':fontsize=${fontSize}:`
    + 'fontcolor=white:box=1:boxcolor=black@0.6:boxborderw=3:x=6:y=6';
  const label = `drawtext=fontfile=${FONT}:text='${clip.id}':fontsize=${fontSize}:`
    + 'fontcolor=yellow:box=1:boxcolor=black@0.6:boxborderw=3:x=6:y=h-th-8';
  await run('ffmpeg', ['-hide_banner', '-loglevel', 'error', '-y',
    '-f', 'lavfi', '-i', `${clip.pattern}=size=${clip.size}:rate=${clip.rate}:duration=${clip.seconds}`,
    '-f', 'lavfi', '-i', `sine=frequency=${clip.tone}:sample_rate=48000:duration=${clip.seconds}`,
    '-vf', `${clock},${label}`, '-c:v', 'libx264', '-preset', 'ultrafast', '-pix_fmt', 'yuv420p',
    '-g', String(clip.rate * 2), '-c:a', 'aac', '-b:a', clip.rate === 1 ? '24k' : '64k', '-ac', '1',
    '-movflags', '+faststart', files.mp4]);
  await run('ffmpeg', ['-hide_banner', '-loglevel', 'error', '-y', '-i', files.mp4,
    '-c', 'copy', '-f', 'mpegts', files.ts]);
  await run('ffmpeg', ['-hide_banner', '-loglevel', 'error', '-y', '-ss', '1', '-i', files.mp4,
    '-frames:v', '1', '-vf', 'scale=320:180', '-q:v', '4', files.preview]);
  const every = Math.max(clip.seconds / STRIP_FRAMES, 0.1);
  await run('ffmpeg', ['-hide_banner', '-loglevel', 'error', '-y', '-i', files.mp4,
    '-vf', `fps=1/${every.toFixed(3)},scale=${STRIP_WIDTH}:${STRIP_HEIGHT},tile=${STRIP_FRAMES}x1`,
    '-frames:v', '1', '-q:v', '5', files.strip]);
  await run('ffmpeg', ['-hide_banner', '-loglevel', 'error', '-y', '-i', files.mp4,
    '-filter_complex', 'showwavespic=s=320x60:colors=white', '-frames:v', '1', files.audio]);
  fs.writeFileSync(files.done, new Date().toISOString());
}

// Generates what is missing; returns the clips with their files and sizes.
async function ensureMedia(stateDir, log = () => {}) {
  const mediaDir = path.join(stateDir, 'media');
  fs.mkdirSync(mediaDir, { recursive: true });
  const clips = [];
  for (const clip of CLIPS) {
    const files = clipFiles(mediaDir, clip);
    if (!fs.existsSync(files.done)) {
      log(`generating ${clip.id} (${clip.seconds} s)`);
      await generateClip(mediaDir, clip);
    }
    clips.push({
      ...clip, files,
      resolution: clip.size.replace('x', 'x'),
      tsBytes: fs.statSync(files.ts).size,
      strip: { width: STRIP_WIDTH, height: STRIP_HEIGHT, frames: STRIP_FRAMES },
    });
  }
  return clips;
}

module.exports = { ensureMedia, CLIPS };

// Square pictures for the company and user image ids of the seeded data.
async function ensureImages(stateDir, ids) {
  const dir = path.join(stateDir, 'images');
  fs.mkdirSync(dir, { recursive: true });
  const colours = ['0x2f6fde', '0xde6f2f', '0x2fae6f', '0x8f3fbf', '0xbf3f5f'];
  const files = {};
  for (const [index, id] of ids.entries()) {
    const file = path.join(dir, `${id}.jpg`);
    if (!fs.existsSync(file)) {
      const letter = id.replace(/^img-/, '').charAt(0).toUpperCase();
      await run('ffmpeg', ['-hide_banner', '-loglevel', 'error', '-y', '-f', 'lavfi',
        '-i', `color=c=${colours[index % colours.length]}:size=128x128`,
        '-vf', `drawtext=fontfile=${FONT}:text='${letter}':fontsize=72:fontcolor=white:x=(w-tw)/2:y=(h-th)/2`,
        '-frames:v', '1', file]);
    }
    files[id] = file;
  }
  return files;
}

module.exports.ensureImages = ensureImages;

// A few pictures of every camera's test pattern, pushed in turn as its previews.
async function ensureSnapshots(stateDir, cameras, frames = 4) {
  const dir = path.join(stateDir, 'snapshots');
  fs.mkdirSync(dir, { recursive: true });
  const patterns = ['testsrc2', 'smptebars', 'testsrc', 'rgbtestsrc', 'smptehdbars'];
  const result = {};
  for (const [index, camera] of cameras.entries()) {
    const files = Array.from({ length: frames }, (_, i) => path.join(dir, `${camera.id}-${i + 1}.jpg`));
    if (!files.every((f) => fs.existsSync(f))) {
      const name = camera.name.replace(/'/g, '');
      await run('ffmpeg', ['-hide_banner', '-loglevel', 'error', '-y', '-f', 'lavfi',
        '-i', `${patterns[index % patterns.length]}=size=320x180:rate=1:duration=${frames}`,
        '-vf', `drawtext=fontfile=${FONT}:text='${name}  %{pts\\:hms}':fontsize=18:fontcolor=white:`
          + 'box=1:boxcolor=black@0.6:boxborderw=4:x=8:y=8',
        '-q:v', '5', path.join(dir, `${camera.id}-%d.jpg`)]);
    }
    result[camera.id] = files.map((f) => fs.readFileSync(f));
  }
  return result;
}

module.exports.ensureSnapshots = ensureSnapshots;

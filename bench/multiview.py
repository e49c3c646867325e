#!/usr/bin/env python3
"""Four live 1080p30 streams of the local deployment, played in one run by:

  orvane  the viewer's real multiview dashboard in four-up (one process)
  mpv     four mpv windows of the same size
  ffplay  four ffplay windows of the same size
  floor   four `ffmpeg -benchmark ... -f null -`: decoding alone, nothing shown

The virtual display has only a software OpenGL renderer, which mpv refuses
unless told (--gpu-sw); our layer and ffplay take it as they find it.

For each: CPU seconds per displayed frame, dropped frames, peak memory and the
time from start to the first frame. Machines are shared and noisy, so the
figures that matter are the ratios of one run. Prints one JSON line per figure.

  multiview.py --player BIN --deployment FILE [--seconds 20] [--warmup 5]
"""
import argparse
import json
import os
import re
import socket
import subprocess
import sys
import threading
import time

STREAMS = ['str-1', 'str-2', 'str-5', 'str-6']
TILE = (960, 540)
RATE = 30


def cpu_seconds(pid):
    """User plus system time of a live process, from /proc."""
    with open(f'/proc/{pid}/stat') as f:
        fields = f.read().rsplit(')', 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf('SC_CLK_TCK')


def peak_kib(pid):
    with open(f'/proc/{pid}/status') as f:
        for line in f:
            if line.startswith('VmHWM:'):
                return int(line.split()[1])
    return 0


def tile_position(index):
    return (index % 2) * TILE[0], (index // 2) * TILE[1]


def run_orvane(args, urls):
    out = subprocess.run([args.player, '--warmup', str(args.warmup), '--seconds', str(args.seconds), *urls],
                         capture_output=True, text=True, timeout=args.warmup + args.seconds + 60)
    lines = [line for line in out.stdout.splitlines() if line.startswith('{')]
    if not lines:
        raise RuntimeError(f'our player printed no result: {out.stderr[-2000:]}')
    result = json.loads(lines[-1])
    firsts = [ms for ms in result['first_frame_ms'] if ms >= 0]
    return {
        'cpu_seconds': result['cpu_seconds'], 'displayed_frames': result['displayed_frames'],
        'dropped_frames': result['dropped_frames'], 'peak_rss_kib': result['peak_rss_kib'],
        'first_frame_ms': max(firsts) if len(firsts) == len(urls) else None,
        'event_drain_seconds': result.get('event_drain_seconds', 0.0),
    }


class MpvIpc:
    """One mpv's JSON IPC: property reads, and the moment playback first ran."""

    def __init__(self, path, started):
        self.path = path
        self.started = started
        self.first_frame_ms = None
        self.sock = None
        self.replies = {}
        self.lock = threading.Condition()
        self.next_id = 1

    def connect(self, timeout=10):
        deadline = time.time() + timeout
        while time.time() < deadline:
            try:
                self.sock = socket.socket(socket.AF_UNIX)
                self.sock.connect(self.path)
                threading.Thread(target=self.read, daemon=True).start()
                return
            except OSError:
                time.sleep(0.02)
        raise RuntimeError(f'mpv IPC {self.path} did not appear')

    def read(self):
        buffer = b''
        while True:
            try:
                data = self.sock.recv(65536)
            except OSError:
                return
            if not data:
                return
            buffer += data
            while b'\n' in buffer:
                line, buffer = buffer.split(b'\n', 1)
                message = json.loads(line)
                if message.get('event') == 'playback-restart' and self.first_frame_ms is None:
                    self.first_frame_ms = (time.monotonic() - self.started) * 1000
                if 'request_id' in message:
                    with self.lock:
                        self.replies[message['request_id']] = message
                        self.lock.notify_all()

    def get(self, name):
        with self.lock:
            request = self.next_id
            self.next_id += 1
        self.sock.sendall(json.dumps({'command': ['get_property', name], 'request_id': request}).encode() + b'\n')
        with self.lock:
            self.lock.wait_for(lambda: request in self.replies, timeout=5)
            reply = self.replies.pop(request, {})
        return reply.get('data')


def run_mpv(args, urls):
    processes, ipcs = [], []
    for index, url in enumerate(urls):
        path = f'/tmp/orvane-bench-mpv-{os.getpid()}-{index}.sock'
        x, y = tile_position(index)
        started = time.monotonic()
        processes.append(subprocess.Popen(
            ['mpv', '--no-config', '--really-quiet', '--vo=gpu', '--gpu-sw', '--ao=null', '--hwdec=no', '--no-border',
             f'--geometry={TILE[0]}x{TILE[1]}+{x}+{y}', '--autofit-larger=100%x100%',
             f'--input-ipc-server={path}', url],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        ipc = MpvIpc(path, started)
        ipc.connect()
        ipcs.append(ipc)

    def frames_and_drops():
        result = []
        for ipc in ipcs:
            position = ipc.get('time-pos') or 0
            drops = (ipc.get('frame-drop-count') or 0) + (ipc.get('decoder-frame-drop-count') or 0)
            result.append((position, drops))
        return result

    time.sleep(args.warmup)
    cpu_start = sum(cpu_seconds(p.pid) for p in processes)
    start = frames_and_drops()
    time.sleep(args.seconds)
    cpu = sum(cpu_seconds(p.pid) for p in processes) - cpu_start
    end = frames_and_drops()
    peak = sum(peak_kib(p.pid) for p in processes)
    for p in processes:
        p.terminate()
    for p in processes:
        p.wait(timeout=10)
    # mpv has no count of shown frames: the time played times the rate, less drops.
    dropped = sum(e[1] - s[1] for s, e in zip(start, end))
    displayed = sum(round((e[0] - s[0]) * RATE) for s, e in zip(start, end)) - dropped
    firsts = [ipc.first_frame_ms for ipc in ipcs]
    return {
        'cpu_seconds': cpu, 'displayed_frames': displayed, 'dropped_frames': dropped, 'peak_rss_kib': peak,
        'first_frame_ms': max(firsts) if all(f is not None for f in firsts) else None,
    }


def run_ffplay(args, urls):
    processes, drops = [], []
    for index, url in enumerate(urls):
        x, y = tile_position(index)
        process = subprocess.Popen(
            ['ffplay', '-hide_banner', '-loglevel', 'error', '-stats', '-noborder', '-x', str(TILE[0]),
             '-y', str(TILE[1]), '-left', str(x), '-top', str(y), url],
            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env={**os.environ, 'SDL_AUDIODRIVER': 'dummy'})
        state = {'fd': 0}

        def follow(stream=process.stderr, state=state):
            # The status line is rewritten with carriage returns; "fd=" counts drops.
            for chunk in iter(lambda: stream.read1(4096), b''):
                found = re.findall(rb'fd=\s*(\d+)', chunk)
                if found:
                    state['fd'] = int(found[-1])
        threading.Thread(target=follow, daemon=True).start()
        processes.append(process)
        drops.append(state)
    time.sleep(args.warmup)
    cpu_start = sum(cpu_seconds(p.pid) for p in processes)
    drops_start = sum(d['fd'] for d in drops)
    time.sleep(args.seconds)
    cpu = sum(cpu_seconds(p.pid) for p in processes) - cpu_start
    dropped = sum(d['fd'] for d in drops) - drops_start
    peak = sum(peak_kib(p.pid) for p in processes)
    for p in processes:
        p.terminate()
    for p in processes:
        p.wait(timeout=10)
    # ffplay shows every frame it does not drop, at the stream's rate.
    return {
        'cpu_seconds': cpu, 'displayed_frames': round(args.seconds * RATE * len(urls)) - dropped,
        'dropped_frames': dropped, 'peak_rss_kib': peak, 'first_frame_ms': None,
    }


def run_floor(args, urls):
    processes = [subprocess.Popen(
        ['ffmpeg', '-hide_banner', '-nostdin', '-benchmark', '-i', url, '-t', str(args.warmup + args.seconds),
         '-f', 'null', '-'], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True) for url in urls]
    cpu, frames, peak = 0.0, 0, 0
    for p in processes:
        _, err = p.communicate(timeout=args.warmup + args.seconds + 60)
        times = re.search(r'bench: utime=([\d.]+)s stime=([\d.]+)s', err)
        rss = re.search(r'bench: maxrss=(\d+)', err)
        counted = re.findall(r'frame=\s*(\d+)', err)
        if not times or not counted:
            raise RuntimeError(f'ffmpeg gave no benchmark figures: {err[-1000:]}')
        cpu += float(times.group(1)) + float(times.group(2))
        frames += int(counted[-1])
        peak += int(rss.group(1)) if rss else 0
    return {'cpu_seconds': cpu, 'displayed_frames': frames, 'dropped_frames': 0, 'peak_rss_kib': peak,
            'first_frame_ms': None}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--player', required=True)
    parser.add_argument('--deployment', required=True)
    parser.add_argument('--seconds', type=float, default=20)
    parser.add_argument('--warmup', type=float, default=5)
    args = parser.parse_args()
    with open(args.deployment) as f:
        sources = json.load(f)['liveSources']
    urls = [f"tcp://{sources[s]['host']}:{sources[s]['tcpPort']}" for s in STREAMS]

    results = {}
    for name, runner in [('orvane', run_orvane), ('mpv', run_mpv), ('ffplay', run_ffplay), ('floor', run_floor)]:
        print(f'measuring {name} ...', file=sys.stderr, flush=True)
        try:
            results[name] = runner(args, urls)
        except Exception as error:  # one failing peer still leaves the others' figures
            print(f'{name} failed: {error}', file=sys.stderr, flush=True)
            print(json.dumps({'bench': 'multiview_4x1080p30', 'player': name, 'figure': 'failed', 'value': str(error)}))
        time.sleep(1)

    lines = []
    for name, r in results.items():
        per_frame = r['cpu_seconds'] * 1000 / r['displayed_frames'] if r['displayed_frames'] > 0 else None
        lines += [
            {'player': name, 'figure': 'cpu_ms_per_displayed_frame', 'value': per_frame},
            {'player': name, 'figure': 'displayed_frames', 'value': r['displayed_frames']},
            {'player': name, 'figure': 'dropped_frames', 'value': r['dropped_frames']},
            {'player': name, 'figure': 'peak_memory_mib', 'value': round(r['peak_rss_kib'] / 1024, 1)},
            {'player': name, 'figure': 'cpu_seconds', 'value': round(r['cpu_seconds'], 2)},
        ]
        if 'event_drain_seconds' in r:
            lines.append({'player': name, 'figure': 'gui_thread_event_drain_ms_per_second',
                          'value': round(r['event_drain_seconds'] * 1000 / args.seconds, 2)})
        if r['first_frame_ms'] is not None:
            lines.append({'player': name, 'figure': 'first_frame_ms_slowest_of_4', 'value': round(r['first_frame_ms'])})
        results[name]['per_frame'] = per_frame
    ours = results.get('orvane', {}).get('per_frame')
    for peer in ['mpv', 'ffplay', 'floor']:
        theirs = results.get(peer, {}).get('per_frame')
        if ours and theirs:
            lines.append({'player': 'orvane', 'figure': f'cpu_per_frame_ratio_to_{peer}', 'value': round(ours / theirs, 2)})
    for line in lines:
        print(json.dumps({'bench': 'multiview_4x1080p30', 'seconds': args.seconds, **line}))


if __name__ == '__main__':
    main()

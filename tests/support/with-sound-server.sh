#!/usr/bin/env bash
# Runs a command with a sound server of its own, for machines without a sound
# card: a user-level PulseAudio whose devices are null sinks. Each test client
# has a "microphone" (the monitor of a sink the suite plays into) and
# "speakers" (a sink the suite records from through its monitor):
#   voice_mic_a, voice_mic_b, voice_mic_c, voice_spare_mic    (use "<name>.monitor" as input)
#   voice_speakers_a, voice_speakers_b, voice_speakers_c, voice_spare_speakers
# Everything lives in a temporary folder that goes when the command ends.
#   with-sound-server.sh COMMAND [ARGS...]
set -euo pipefail

home=$(mktemp -d)
chmod 700 "$home"
mkdir -m 700 "$home/runtime"
server_pid=
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  rm -rf "$home"
}
trap cleanup EXIT

config="$home/sound.pa"
{
  echo "load-module module-native-protocol-unix auth-anonymous=1 socket=$home/runtime/native"
  for device in voice_mic_a voice_mic_b voice_mic_c voice_spare_mic \
                voice_speakers_a voice_speakers_b voice_speakers_c voice_spare_speakers; do
    echo "load-module module-null-sink sink_name=$device rate=48000 channels=1 sink_properties=device.description=$device"
  done
  echo "set-default-sink voice_speakers_a"
  echo "set-default-source voice_mic_a.monitor"
} > "$config"

HOME="$home" XDG_RUNTIME_DIR="$home/runtime" pulseaudio -n -F "$config" --daemonize=no \
  --exit-idle-time=-1 --log-target=stderr --log-level=error >"$home/server.log" 2>&1 &
server_pid=$!
export PULSE_SERVER="unix:$home/runtime/native"
for _ in $(seq 1 100); do
  if pactl info >/dev/null 2>&1; then break; fi
  sleep 0.1
done
if ! pactl info >/dev/null 2>&1; then
  echo "the sound server did not start:" >&2
  cat "$home/server.log" >&2
  exit 1
fi

"$@"

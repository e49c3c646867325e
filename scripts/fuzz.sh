#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while (not part of the
# test command). FUZZ_SECONDS sets how long each target runs (default 60).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${ORVANE_FUZZ_BUILD:-$root/build-fuzz}

"$root/scripts/install-deps.sh"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DORVANE_FUZZ=ON -DORVANE_BUILD_TESTS=OFF
# Only the targets and what they link (the viewer's widgets are not fuzzed).
targets=$(sed -n 's/^orvane_fuzz_target(\(fuzz_[a-z_]*\) .*/\1/p' "$root/tests/fuzz/CMakeLists.txt")
cmake --build "$build" -j2 --target $targets

for target in $(find "$build/tests/fuzz" -maxdepth 1 -type f -executable -name 'fuzz_*'); do
  corpus="$build/corpus/$(basename "$target")"
  mkdir -p "$corpus"
  echo "== $(basename "$target")"
  name=$(basename "$target")
  seeds=$root/tests/fuzz/seeds
  [ "$name" = fuzz_socketio_frames ] && seeds=$root/tests/fuzz/seeds-socketio
  [ "$name" = fuzz_player_inputs ] && seeds=$root/tests/fuzz/seeds-player
  [ "$name" = fuzz_local_messages ] && seeds=$root/tests/fuzz/seeds-local
  [ "$name" = fuzz_log_redaction ] && seeds=$root/tests/fuzz/seeds-redaction
  [ "$name" = fuzz_chat_messages ] && seeds=$root/tests/fuzz/seeds-chat
  [ "$name" = fuzz_settings_streams ] && seeds=$root/tests/fuzz/seeds-settings
  [ "$name" = fuzz_socketio_sequences ] && seeds=$root/tests/fuzz/seeds-socketio-sequences
  [ "$name" = fuzz_deployment_file ] && seeds=$root/tests/fuzz/seeds-deployment
  "$target" -max_total_time="${FUZZ_SECONDS:-60}" -max_len=4096 "$corpus" "$seeds"
done

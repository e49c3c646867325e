#!/usr/bin/env bash
# Installs every Debian package the project needs on a fresh machine. Idempotent:
# packages already present are left alone, and nothing is fetched when all are.
set -euo pipefail

# package            why
packages=(
  build-essential    # C++ compiler and make
  cmake              # the build
  qtbase5-dev        # Qt Core, Network, Gui, Test: the client library and its tests
  qtbase5-dev-tools  # moc and the other Qt build tools
  xvfb               # virtual X display the test suites run under
  xauth              # xvfb-run needs it to authorise the test clients
  libgl1-mesa-dri    # OpenGL in the virtual display, for the widget suites
  clang              # libFuzzer targets (scripts/fuzz.sh)
  libclang-rt-14-dev # the sanitizer and fuzzer runtimes clang links against
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then sudo=sudo; else sudo=; fi
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

#!/usr/bin/env bash
# Installs every Debian package the project needs on a fresh machine. Idempotent:
# packages already present are left alone, and nothing is fetched when all are.
set -euo pipefail

# package            why
packages=(
  build-essential    # C++ compiler and make
  cmake              # the build
  binutils           # addr2line, which names the frames of crash reports
  qtbase5-dev        # Qt Core, Network, Gui, Test: the client library and its tests
  qtbase5-dev-tools  # moc and the other Qt build tools
  libqt5websockets5-dev # the realtime channel's WebSocket transport
  libqt5svg5-dev     # renders the SVG sources of the viewer's images at build time
  qtkeychain-qt5-dev # the desktop's secret store, which keeps the session token
  libsecret-1-0      # the Secret Service client the key ring library loads at run time
  gnome-keyring      # a Secret Service for the suites that store the token
  qtmultimedia5-dev  # the voice engine's microphone and speakers (Qt Multimedia)
  libqt5multimedia5-plugins # Qt Multimedia's PulseAudio back end
  libopus-dev        # the voice engine's codec
  libssl-dev         # the voice engine's end-to-end encryption (OpenSSL's ciphers)
  pulseaudio         # a sound server with null sinks for the voice suites, on machines without a sound card
  pulseaudio-utils   # pactl, which the voice suites' sound server script waits with
  xvfb               # virtual X display the test suites run under
  xauth              # xvfb-run needs it to authorise the test clients
  libgl1-mesa-dri    # OpenGL in the virtual display, for the widget suites
  dbus               # a private session bus (dbus-run-session) for the display-keeper suite
  libmpv-dev         # the player layer: mpv's client and OpenGL render API
  ffmpeg             # the local deployment's recordings and live encoders
  libsrt-openssl-dev # the local deployment's SRT relay (compiled at its first start)
  pkg-config         # finds libmpv and libsrt
  openssl            # the local deployment's certificate authority
  fonts-dejavu-core  # the clock burnt into the local deployment's test pictures
  fonts-inter        # the OFL font that stands in for the viewer's "HK Grotesk" families
  ca-certificates    # the system's certificate authorities, beside the deployment's
  clang              # libFuzzer targets (scripts/fuzz.sh)
  libclang-rt-14-dev # the sanitizer and fuzzer runtimes clang links against
  xdotool            # types into a chat program running as its own process, in the chat suites
  qtwebengine5-dev   # the OAuth helper's browser (Qt WebEngine Widgets)
  qttools5-dev       # lupdate and lrelease (Qt5LinguistTools), for the translations
  qttools5-dev-tools # the translation tools themselves
  desktop-file-utils # checks the desktop entry in the package suite
  appstream          # checks the AppStream metainfo in the package suite
  lintian            # checks the Debian package in the package suite
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

# Node.js runs the local deployment. Machines that carry their own Node.js build
# (with npm inside it) keep it; elsewhere Debian's packages bring both.
if ! command -v node >/dev/null 2>&1; then
  missing+=(nodejs npm)
fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then sudo=sudo; else sudo=; fi
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# npm packages of the local deployment (socket.io), as the lock file pins them;
# installed again only when the lock file changed.
sandbox=$(cd "$(dirname "${BASH_SOURCE[0]}")/../sandbox" && pwd)
if ! cmp -s "$sandbox/package-lock.json" "$sandbox/node_modules/.orvane-installed-lock" 2>/dev/null; then
  (cd "$sandbox" && npm ci --no-audit --no-fund --loglevel=error)
  cp "$sandbox/package-lock.json" "$sandbox/node_modules/.orvane-installed-lock"
fi

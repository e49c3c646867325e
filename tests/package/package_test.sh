#!/usr/bin/env bash
# The product as a Debian package: builds a release tree and the package, checks
# it with lintian, validates its desktop entry and AppStream metainfo, installs it
# into a throw-away root (and checks with apt that a machine could install it),
# and starts the installed viewer on the display, in English and in German.
#   package_test.sh SOURCE_DIR WORK_DIR ARTIFACTS_DIR
set -euo pipefail
source_dir=$1
work=$2
artifacts=$3
build=$work/build
mkdir -p "$work" "$artifacts"

echo "== building the release tree and the package"
cmake -S "$source_dir" -B "$build" -DCMAKE_BUILD_TYPE=Release -DORVANE_BUILD_TESTS=OFF \
  -DORVANE_SANITIZE=OFF -DORVANE_FUZZ=OFF > "$work/configure.log"
cmake --build "$build" -j2 > "$work/build.log"
rm -f "$build"/orvane-tv_*.deb
(cd "$build" && cpack -G DEB > "$work/cpack.log")
deb=$(ls "$build"/orvane-tv_*.deb)
echo "package: $deb"

echo "== lintian"
# Errors fail the suite; warnings and notes are printed for the closing note.
lintian --tag-display-limit 0 "$deb" 2>&1 | grep -v 'root privileges' | tee "$work/lintian.txt" || true
if grep -q '^E:' "$work/lintian.txt"; then
  echo "lintian reports errors" >&2
  exit 1
fi

echo "== the package's contents"
root=$work/root
rm -rf "$root"
dpkg-deb -x "$deb" "$root"
for file in \
  usr/bin/orvane-tv \
  usr/lib/orvane-tv/QtOrvaneTV \
  usr/lib/orvane-tv/lib/libQtOVCoreAPIFramework.so.1 \
  usr/share/man/man1/orvane-tv.1.gz \
  "usr/lib/orvane-tv/OrvaneTV Chat/QtOrvaneTVChat" \
  "usr/lib/orvane-tv/Orvane TV Auth/qtorvanetvoauth" \
  usr/lib/orvane-tv/tools/orvane-crashreport \
  usr/share/applications/tv.orvane.OrvaneTV.desktop \
  usr/share/metainfo/tv.orvane.OrvaneTV.metainfo.xml \
  usr/share/icons/hicolor/48x48/apps/tv.orvane.OrvaneTV.png \
  usr/share/icons/hicolor/scalable/apps/tv.orvane.OrvaneTV.svg \
  usr/share/doc/orvane-tv/copyright; do
  [ -e "$root/$file" ] || { echo "missing from the package: $file" >&2; exit 1; }
done
[ "$(readlink "$root/usr/bin/orvane-tv")" = "../lib/orvane-tv/QtOrvaneTV" ] || { echo "orvane-tv is not a link to the viewer" >&2; exit 1; }
# The client library is found through the viewer's RPATH, not a wrapper.
readelf -d "$root/usr/lib/orvane-tv/QtOrvaneTV" | grep -q 'R.*PATH.*\$ORIGIN' || { echo "the viewer has no \$ORIGIN RPATH" >&2; exit 1; }
dpkg-deb -f "$deb" Depends | tee "$work/depends.txt"
grep -q 'libqt5webenginewidgets5' "$work/depends.txt" && grep -q 'libmpv' "$work/depends.txt" \
  || { echo "the package does not declare the libraries it links" >&2; exit 1; }

echo "== desktop entry and metainfo"
desktop-file-validate "$root/usr/share/applications/tv.orvane.OrvaneTV.desktop"
grep -q '^MimeType=x-scheme-handler/orvanetv;' "$root/usr/share/applications/tv.orvane.OrvaneTV.desktop"
appstreamcli validate --no-net --explain "$root/usr/share/metainfo/tv.orvane.OrvaneTV.metainfo.xml"

echo "== a machine could install it"
if [ "$(id -u)" -eq 0 ]; then
  apt-get install -s -y "$deb" > "$work/apt-simulate.txt"
  grep -q '^Inst orvane-tv' "$work/apt-simulate.txt" || { cat "$work/apt-simulate.txt"; exit 1; }
fi

echo "== the installed viewer starts on its sign-in screen"
start_viewer() {
  local language=$1 shot=$2
  local home=$work/home-$language
  rm -rf "$home"
  mkdir -p "$home/runtime"
  chmod 700 "$home/runtime"
  env -u ORVANE_DEPLOYMENT HOME="$home" XDG_RUNTIME_DIR="$home/runtime" XDG_CONFIG_HOME="$home/config" \
    XDG_DATA_HOME="$home/data" LANG="$language" LC_ALL="$language" \
    "$root/usr/bin/orvane-tv" > "$work/viewer-$language.log" 2>&1 &
  local pid=$!
  local window=
  for _ in $(seq 1 60); do
    window=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | tail -1 || true)
    [ -n "$window" ] && break
    sleep 0.5
  done
  [ -n "$window" ] || { echo "the installed viewer shows no window" >&2; cat "$work/viewer-$language.log"; kill "$pid" || true; exit 1; }
  sleep 3
  kill -0 "$pid" || { echo "the installed viewer ended" >&2; exit 1; }
  ffmpeg -loglevel error -y -f x11grab -video_size 1280x800 -i "$DISPLAY" -frames:v 1 "$artifacts/$shot.png"
  # Its log names the version: it came up, not a crash message.
  grep -rq "Version 1.0.1b42" "$home/data/Orvane TV" || { echo "the viewer's log does not show its start" >&2; exit 1; }
  kill "$pid"
  wait "$pid" || true
}
start_viewer C.UTF-8 package-viewer
start_viewer de_DE.UTF-8 package-viewer-de
echo "package suite passed"

#!/usr/bin/env bash
# Runs a command with a Secret Service of its own: a private session bus and a
# GNOME key ring whose login collection is unlocked, all kept in a temporary
# folder that goes when the command ends. The user's own bus and key ring are
# never touched.
#   with-secret-service.sh COMMAND [ARGS...]
set -euo pipefail

if [ -z "${ORVANE_SECRET_SERVICE_INNER:-}" ]; then
  # First pass: under a private session bus (dbus-run-session ends it with us).
  export ORVANE_SECRET_SERVICE_INNER=1
  exec dbus-run-session -- "$0" "$@"
fi
unset ORVANE_SECRET_SERVICE_INNER

home=$(mktemp -d)
chmod 700 "$home"
keyring_pid=
cleanup() {
  [ -n "$keyring_pid" ] && kill "$keyring_pid" 2>/dev/null || true
  rm -rf "$home"
}
trap cleanup EXIT

# The key ring's files and control socket live in the temporary folder; the
# login collection is created (or unlocked) with a password read from stdin.
mkdir -p -m 700 "$home/data" "$home/control"
XDG_DATA_HOME="$home/data" gnome-keyring-daemon --foreground --unlock --components=secrets \
  --control-directory="$home/control" <<<"test-keyring-password" >/dev/null &
keyring_pid=$!

# Ready once the service's name is on the bus.
for _ in $(seq 1 100); do
  if dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
      org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>/dev/null | grep -q "boolean true"; then
    break
  fi
  sleep 0.1
done

"$@"

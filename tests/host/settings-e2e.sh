#!/bin/sh
# Installs the build into a fresh prefix and drives the installed
# wingdrift-settings through the accessibility tree (settings_e2e.py) on a
# private Xvfb, inside a session bus of its own, with a home and settings of
# its own. Exits 77 (skipped) when a needed program is missing.
# Usage: settings-e2e.sh BUILD_DIR
set -eu
build=$1
here=$(cd "$(dirname "$0")" && pwd)
for p in Xvfb dbus-run-session convert /usr/bin/python3; do
  command -v "$p" >/dev/null 2>&1 || { echo "skipped: no $p"; exit 77; }
done
/usr/bin/python3 -c 'import dogtail' 2>/dev/null || { echo "skipped: no python3-dogtail"; exit 77; }

work=$(mktemp -d)
xvfb=""
cleanup() {
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null

Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.2
done
[ -s "$work/display" ] || { echo "Xvfb did not start"; exit 1; }

mkdir -p "$work/home" "$work/config"
env -u DBUS_SESSION_BUS_ADDRESS DISPLAY=":$(cat "$work/display")" HOME="$work/home" \
  XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/home/.local/share" \
  XDG_CACHE_HOME="$work/home/.cache" GSETTINGS_BACKEND=memory \
  dbus-run-session -- /usr/bin/python3 "$here/settings_e2e.py" "$work/prefix" "$work" 2>&1 |
  grep -v -e "Gtk-CRITICAL" -e "fd limit" -e "^$" || true
test -f "$work/passed"

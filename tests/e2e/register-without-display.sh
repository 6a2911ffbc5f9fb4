#!/usr/bin/env bash
# Registering and unregistering need no display and write no settings.
set -euo pipefail
program=$1
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
run() { env -u DISPLAY -u WAYLAND_DISPLAY XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" "$program" "$@"; }
run /Register
test -f "$home/data/applications/KVScaleCrafter.desktop"
test -f "$home/data/KARVO/PLUGINS/KVScaleCrafter.03.05.kvplugin"
run --unregister
test ! -e "$home/data/applications/KVScaleCrafter.desktop"
test ! -e "$home/config/KARVO Imaging/KARVO Scale Crafter.conf"
echo "1 passed, 0 failed"

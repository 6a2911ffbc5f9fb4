#!/usr/bin/env bash
# Registering and unregistering the installed program, as an installer or a user does: without a
# display, twice in a row, and leaving nothing behind.
set -euo pipefail
prefix=$(cd "$1" && pwd -P)
program=$prefix/bin/kvscalecrafter
id=$(sed -n 's/^set(KV_APP_ID \(.*\))$/\1/p' "$(dirname "$0")/../../CMakeLists.txt")
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
run() { env -u DISPLAY -u WAYLAND_DISPLAY HOME="$home" XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" \
          XDG_CACHE_HOME="$home/cache" "$program" "$@"; }
plugin=$home/data/KARVO/PLUGINS/KVScaleCrafter.03.05.kvplugin
entry=$home/data/applications/$id.desktop
fail() { echo "$*"; exit 1; }

run --register
[ -f "$plugin" ] && [ -f "$entry" ] || fail "register wrote no files"
grep -q "<general path=\"$program\" icon=\"$program,128\"" "$plugin" || fail "the description names another program: $(cat "$plugin")"
grep -qx "Exec=\"$program\" %F" "$entry" || fail "the menu entry starts another program: $(grep Exec "$entry")"
grep -qx "Icon=$id" "$entry" || fail "the menu entry has no icon"
if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$entry"; fi
before=$(cd "$home" && find . -type f -exec md5sum {} + | sort)
run /Register
after=$(cd "$home" && find . -type f -exec md5sum {} + | sort)
[ "$before" = "$after" ] || fail "registering again changed the files: $after"

run --unregister
run /Unregister
left=$(cd "$home" && find . -mindepth 1 ! -path ./data ! -path ./data/applications)
[ -z "$left" ] || fail "left behind: $left"
echo "1 passed, 0 failed"

#!/usr/bin/env bash
# Installs the build into a prefix of its own (the tree the journeys run against) and checks that
# every file a desktop and a shell look for is in its place, that the menu entry and the metainfo
# are valid, and that the shell completion answers.
set -euo pipefail
build=$1
prefix=$2
rm -rf "$prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null

id=$(sed -n 's/^set(KV_APP_ID \(.*\))$/\1/p' "$(dirname "$0")/../../CMakeLists.txt")
failed=0
expect() { [ -e "$prefix/$1" ] || { echo "missing: $1"; failed=1; }; }
for f in bin/kvscale bin/kvscalecrafter \
         share/kvscalecrafter/Res/resourses.ini share/kvscalecrafter/SAMPLES/sample.jpg \
         share/kvscalecrafter/help/index.html \
         "share/applications/$id.desktop" "share/metainfo/$id.metainfo.xml" \
         "share/icons/hicolor/scalable/apps/$id.svg" \
         share/man/man1/kvscale.1.gz share/man/man1/kvscalecrafter.1.gz \
         share/bash-completion/completions/kvscale \
         share/doc/kvscalecrafter/copyright share/doc/kvscalecrafter/changelog.gz; do
  expect "$f"
done
for size in 16 22 24 32 48 64 128 256; do
  expect "share/icons/hicolor/${size}x${size}/apps/$id.png"
  # A PNG's width and height stand at bytes 16 to 23, in its header chunk.
  sides=$(od -An -tu1 -j16 -N8 "$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png" |
          awk '{print $1*16777216+$2*65536+$3*256+$4 "x" $5*16777216+$6*65536+$7*256+$8}')
  [ "$sides" = "${size}x${size}" ] || { echo "icon $size is $sides"; failed=1; }
done
# Nothing of the build (tests, benchmarks, libraries) comes along.
extra=$(find "$prefix/bin" -type f ! -name kvscale ! -name kvscalecrafter)
[ -z "$extra" ] || { echo "unexpected: $extra"; failed=1; }

if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$prefix/share/applications/$id.desktop" || failed=1
else
  echo "desktop-file-validate missing: menu entry not validated"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net --explain "$prefix/share/metainfo/$id.metainfo.xml" >/dev/null ||
    { appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml"; failed=1; }
else
  echo "appstreamcli missing: metainfo not validated"
fi

# The installed kvscale names its version, and its completion offers commands and option values.
"$prefix/bin/kvscale" --version | grep -q '^kvscale [0-9]' || { echo "kvscale --version"; failed=1; }
# So does the window's program, without a display and without writing settings.
home=$(mktemp -d)
version=$(env -u DISPLAY -u WAYLAND_DISPLAY HOME="$home" XDG_CONFIG_HOME="$home/c" "$prefix/bin/kvscalecrafter" --version)
[ "$version" = "$("$prefix/bin/kvscale" --version | sed 's/^kvscale/kvscalecrafter/')" ] || { echo "kvscalecrafter --version: $version"; failed=1; }
env -u DISPLAY -u WAYLAND_DISPLAY HOME="$home" XDG_CONFIG_HOME="$home/c" "$prefix/bin/kvscalecrafter" --help | grep -q '^usage: kvscalecrafter' ||
  { echo "kvscalecrafter --help"; failed=1; }
[ -z "$(ls -A "$home")" ] || { echo "kvscalecrafter --help wrote files"; failed=1; }
rm -rf "$home"
completion=$(bash -c 'source "$1"
  COMP_WORDS=(kvscale re); COMP_CWORD=1; _kvscale; echo "${COMPREPLY[*]}"
  COMP_WORDS=(kvscale batch a.jpg --policy u); COMP_CWORD=4; _kvscale; echo "${COMPREPLY[*]}"
  COMP_WORDS=(kvscale resize a.jpg --alg); COMP_CWORD=3; _kvscale; echo "${COMPREPLY[*]}"' _ \
  "$prefix/share/bash-completion/completions/kvscale")
[ "$completion" = $'resize\nunique\n--algorithm' ] || { echo "completion answered: $completion"; failed=1; }

[ $failed -eq 0 ] && echo "installed into $prefix"
exit $failed

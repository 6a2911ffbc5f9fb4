#!/usr/bin/env bash
# Makes the program icon's PNG sizes of the desktop's icon theme from its drawing
# (src/ui/resources/icons/kvscalecrafter.svg). Needs rsvg-convert (Debian: librsvg2-bin); the PNGs
# are kept in the repository, so a build does not need it.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" "$here/../../src/ui/resources/icons/kvscalecrafter.svg" -o "$here/kvscalecrafter-$size.png"
done

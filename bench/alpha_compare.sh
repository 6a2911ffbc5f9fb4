#!/usr/bin/env bash
# Whole-process time of `kvscale resize` on a 12-megapixel photo with alpha against the same photo
# without it: big12mp.jpg of the corpus as an RGB PNG, and as an RGBA PNG whose alpha falls from
# opaque in the middle to transparent at the corners. See bench/README.md.
#
#   bench/alpha_compare.sh [--runs N] [--algorithm N] [--kvscale PATH] OUT:WxH...
#     OUT       the result's format by its extension (png, tif, jpg, gif, bmp) and its size,
#               e.g. png:1008x756
#   KV_BENCH_CORPUS      where the corpus is kept (default ~/.cache/kvscale-bench/corpus)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/.." && pwd)
corpus=${KV_BENCH_CORPUS:-${XDG_CACHE_HOME:-$HOME/.cache}/kvscale-bench/corpus}
runs=7
algorithm=4
kvscale=${KVSCALE:-}
jobs=()
while [ $# -gt 0 ]; do
  case $1 in
    --runs) runs=${2:?}; shift 2 ;;
    --algorithm) algorithm=${2:?}; shift 2 ;;
    --kvscale) kvscale=${2:?}; shift 2 ;;
    -h|--help) sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'; exit 2 ;;
    *) jobs+=("$1"); shift ;;
  esac
done
[ ${#jobs[@]} -gt 0 ] || { sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'; exit 2; }
if [ -z "$kvscale" ]; then
  for candidate in "$repo"/build*/src/cli/kvscale; do [ -x "$candidate" ] && { kvscale=$candidate; break; }; done
fi
[ -x "$kvscale" ] || { echo "no kvscale found: build it or pass --kvscale PATH" >&2; exit 1; }
[ -f "$corpus/big12mp.jpg" ] || "$repo/../shared/bench/make-corpus.sh" "$corpus" >&2

# ImageMagick (a package of the build) makes the two inputs once; the alpha is a radial gradient of
# the photo's own size. Another `convert` may come first on PATH.
C=/usr/bin/convert
if [ ! -f "$corpus/big12mp-rgb.png" ]; then
  $C "$corpus/big12mp.jpg" -strip "PNG24:$corpus/big12mp-rgb.png"
fi
if [ ! -f "$corpus/big12mp-rgba.png" ]; then
  size=$(/usr/bin/identify -format '%wx%h' "$corpus/big12mp.jpg")
  $C "$corpus/big12mp.jpg" -strip \( -size "$size" radial-gradient:white-black -level 0%,60% \) -alpha off \
     -compose CopyOpacity -composite "PNG32:$corpus/big12mp-rgba.png"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/kvalpha-XXXXXX")
trap 'rm -rf "$work"' EXIT
time_ms() {
  local start end
  start=$EPOCHREALTIME
  "$@" >/dev/null 2>"$work/stderr" || { echo "failed: $*" >&2; cat "$work/stderr" >&2; return 1; }
  end=$EPOCHREALTIME
  awk -v s="$start" -v e="$end" 'BEGIN { printf "%.1f\n", (e - s) * 1000 }'
}
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo "load average at start: $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) cores; algorithm $algorithm"
printf '%-16s %12s %12s %8s\n' job opaque rgba ratio
for job in "${jobs[@]}"; do
  ext=${job%%:*}
  size=${job#*:}
  opaque=("$kvscale" resize "$corpus/big12mp-rgb.png" -o "$work/o.$ext" --size "$size" --correction none --algorithm "$algorithm")
  rgba=("$kvscale" resize "$corpus/big12mp-rgba.png" -o "$work/a.$ext" --size "$size" --correction none --algorithm "$algorithm")
  time_ms "${opaque[@]}" >/dev/null
  time_ms "${rgba[@]}" >/dev/null
  o=() a=()
  for ((run = 0; run < runs; run++)); do
    if ((run % 2 == 0)); then o+=("$(time_ms "${opaque[@]}")"); a+=("$(time_ms "${rgba[@]}")")
    else a+=("$(time_ms "${rgba[@]}")"); o+=("$(time_ms "${opaque[@]}")"); fi
  done
  om=$(median "${o[@]}")
  am=$(median "${a[@]}")
  printf '%-16s %9s ms %9s ms %8s\n' "$job" "$om" "$am" "$(awk -v a="$am" -v b="$om" 'BEGIN { printf "%.2f", a / b }')"
done
echo "load average at end: $(cut -d' ' -f1-3 /proc/loadavg)"

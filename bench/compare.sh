#!/usr/bin/env bash
# Whole-process speed of `kvscale resize` against `vips resize` (lanczos3) and, optionally,
# ImageMagick, on the benchmark photos. See bench/README.md.
#
#   bench/compare.sh [options] IN:WxH...
#     IN        a photo of the corpus (small.jpg, big12mp.jpg, photos40/p01.jpg) or any path
#     --algorithm N      kvscale's algorithm, 0-9 (default 4)
#     --quality Q        JPEG quality of every result (default 90)
#     --runs N           timed runs of each program per job (default 7)
#     --kvscale PATH     the kvscale to time (default: $KVSCALE, else the first built one)
#     --no-kvscale       time only the other programs
#     --convert          time ImageMagick's convert as well
#     --no-rss           skip the peak-memory run
#   KV_BENCH_CORPUS      where the corpus is kept (default ~/.cache/kvscale-bench/corpus)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/.." && pwd)
corpus=${KV_BENCH_CORPUS:-${XDG_CACHE_HOME:-$HOME/.cache}/kvscale-bench/corpus}
make_corpus="$repo/../shared/bench/make-corpus.sh"

algorithm=4
quality=90
runs=7
kvscale=${KVSCALE:-}
use_kvscale=1
use_convert=0
measure_rss=1
jobs=()

usage() { sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//'; exit 2; }

while [ $# -gt 0 ]; do
  case $1 in
    --algorithm) algorithm=${2:?}; shift 2 ;;
    --quality) quality=${2:?}; shift 2 ;;
    --runs) runs=${2:?}; shift 2 ;;
    --kvscale) kvscale=${2:?}; shift 2 ;;
    --no-kvscale) use_kvscale=0; shift ;;
    --convert) use_convert=1; shift ;;
    --no-rss) measure_rss=0; shift ;;
    -h|--help) usage ;;
    -*) echo "unknown option $1" >&2; usage ;;
    *) jobs+=("$1"); shift ;;
  esac
done
[ ${#jobs[@]} -gt 0 ] || usage
[[ $runs =~ ^[1-9][0-9]*$ ]] || { echo "--runs needs a positive number" >&2; exit 2; }

command -v vips >/dev/null || { echo "vips is missing (apt-get install libvips-tools)" >&2; exit 1; }
convert_bin=/usr/bin/convert   # another `convert` may come first on PATH
if [ $use_convert = 1 ] && [ ! -x $convert_bin ]; then echo "$convert_bin is missing (imagemagick)" >&2; exit 1; fi

if [ $use_kvscale = 1 ] && [ -z "$kvscale" ]; then
  for candidate in "$repo"/build*/src/cli/kvscale; do
    if [ -x "$candidate" ]; then kvscale=$candidate; break; fi
  done
fi
if [ $use_kvscale = 1 ] && [ ! -x "$kvscale" ]; then
  echo "no kvscale found: build it, pass --kvscale PATH or --no-kvscale" >&2; exit 1
fi

if [ ! -f "$corpus/big12mp.jpg" ] || [ ! -f "$corpus/small.jpg" ]; then
  echo "building the benchmark photos in $corpus (once; takes a few minutes)" >&2
  "$make_corpus" "$corpus" >&2
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/kvbench-XXXXXX")
trap 'rm -rf "$work"' EXIT

# Runs a command, discarding its output, and prints its wall time in milliseconds.
time_ms() {
  local start end
  start=$EPOCHREALTIME
  "$@" >/dev/null 2>"$work/stderr" || { echo "failed: $*" >&2; cat "$work/stderr" >&2; return 1; }
  end=$EPOCHREALTIME
  awk -v s="$start" -v e="$end" 'BEGIN { printf "%.1f\n", (e - s) * 1000 }'
}

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

peak_kb() {
  /usr/bin/time -f '%M' -o "$work/rss" "$@" >/dev/null 2>&1 || { echo "-"; return; }
  tail -1 "$work/rss"
}

# Other work on the machine slows the many-threaded programs most: say how busy it was.
echo "load average at start: $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) cores"
printf '%-26s %-10s %10s %10s %8s' job size kvscale vips ratio
[ $use_convert = 1 ] && printf ' %10s' convert
[ $measure_rss = 1 ] && printf '  %s' 'peak RSS kvscale/vips MB'
printf '\n'

for job in "${jobs[@]}"; do
  in=${job%:*}
  size=${job##*:}
  [[ $size =~ ^([0-9]+)x([0-9]+)$ ]] || { echo "bad job '$job': want IN:WxH" >&2; exit 2; }
  w=${BASH_REMATCH[1]}
  h=${BASH_REMATCH[2]}
  [ -f "$in" ] || in="$corpus/$in"
  [ -f "$in" ] || { echo "no such photo: $in" >&2; exit 1; }
  sw=$(vipsheader -f width "$in")
  sh=$(vipsheader -f height "$in")
  hscale=$(awk -v a="$w" -v b="$sw" 'BEGIN { printf "%.10g", a / b }')
  vscale=$(awk -v a="$h" -v b="$sh" 'BEGIN { printf "%.10g", a / b }')

  kv_cmd=("$kvscale" resize "$in" -o "$work/kv.jpg" --size "${w}x$h" --algorithm "$algorithm" --quality "$quality")
  vips_cmd=(vips resize "$in" "$work/vips.jpg[Q=$quality]" "$hscale" --vscale "$vscale" --kernel lanczos3)
  im_cmd=("$convert_bin" "$in" -resize "${w}x$h!" -quality "$quality" "$work/im.jpg")

  # One untimed run each warms the page cache and checks that the job works.
  [ $use_kvscale = 1 ] && time_ms "${kv_cmd[@]}" >/dev/null
  time_ms "${vips_cmd[@]}" >/dev/null
  [ $use_convert = 1 ] && time_ms "${im_cmd[@]}" >/dev/null
  # Timing a result of the wrong size would compare different jobs.
  for out in $([ $use_kvscale = 1 ] && echo kv.jpg) vips.jpg; do
    got=$(vipsheader -f width "$work/$out")x$(vipsheader -f height "$work/$out")
    [ "$got" = "${w}x$h" ] || echo "warning: $out is $got, not ${w}x$h" >&2
  done

  kv=() vp=() im=()
  for ((run = 0; run < runs; run++)); do
    # Paired runs in alternating order, so drifts of the machine hit both sides alike.
    if ((run % 2 == 0)); then
      [ $use_kvscale = 1 ] && kv+=("$(time_ms "${kv_cmd[@]}")")
      vp+=("$(time_ms "${vips_cmd[@]}")")
    else
      vp+=("$(time_ms "${vips_cmd[@]}")")
      [ $use_kvscale = 1 ] && kv+=("$(time_ms "${kv_cmd[@]}")")
    fi
    [ $use_convert = 1 ] && im+=("$(time_ms "${im_cmd[@]}")")
  done

  vips_ms=$(median "${vp[@]}")
  kv_ms=-
  ratio=-
  if [ $use_kvscale = 1 ]; then
    kv_ms=$(median "${kv[@]}")
    ratio=$(awk -v a="$kv_ms" -v b="$vips_ms" 'BEGIN { printf "%.2f", a / b }')
  fi
  printf '%-26s %-10s %8s ms %7s ms %8s' "$(basename "$in")->a$algorithm" "${w}x$h" "$kv_ms" "$vips_ms" "$ratio"
  [ $use_convert = 1 ] && printf ' %7s ms' "$(median "${im[@]}")"
  if [ $measure_rss = 1 ]; then
    kv_rss=-
    [ $use_kvscale = 1 ] && kv_rss=$(peak_kb "${kv_cmd[@]}")
    vips_rss=$(peak_kb "${vips_cmd[@]}")
    printf '  %s / %s' "$(awk -v k="$kv_rss" 'BEGIN { if (k == "-") print "-"; else printf "%.0f", k / 1024 }')" \
      "$(awk -v k="$vips_rss" 'BEGIN { printf "%.0f", k / 1024 }')"
  fi
  printf '\n'
done

#!/usr/bin/env bash
# Whole-run speed of `kvscale batch` on the 40 photos of photos40/ (to 25%, algorithm 4, JPEG
# quality 90) against `mogrify` on the same files and `vips resize` run over them in a shell loop.
# See bench/README.md.
#
#   bench/batch_compare.sh [options]
#     --runs N           timed runs of each program (default 5)
#     --jobs N           kvscale's --jobs (default: its own, one per core)
#     --algorithm N      kvscale's algorithm, 0-9 (default 4)
#     --kvscale PATH     the kvscale to time (default: $KVSCALE, else the first built one)
#     --no-others        time kvscale alone
#   KV_BENCH_CORPUS      where the corpus is kept (default ~/.cache/kvscale-bench/corpus)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/.." && pwd)
corpus=${KV_BENCH_CORPUS:-${XDG_CACHE_HOME:-$HOME/.cache}/kvscale-bench/corpus}
make_corpus="$repo/../shared/bench/make-corpus.sh"

runs=5
jobs=
algorithm=4
kvscale=${KVSCALE:-}
others=1

usage() { sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'; exit 2; }

while [ $# -gt 0 ]; do
  case $1 in
    --runs) runs=${2:?}; shift 2 ;;
    --jobs) jobs=${2:?}; shift 2 ;;
    --algorithm) algorithm=${2:?}; shift 2 ;;
    --kvscale) kvscale=${2:?}; shift 2 ;;
    --no-others) others=0; shift ;;
    -h|--help) usage ;;
    *) echo "unknown option $1" >&2; usage ;;
  esac
done
[[ $runs =~ ^[1-9][0-9]*$ ]] || { echo "--runs needs a positive number" >&2; exit 2; }

if [ -z "$kvscale" ]; then
  for candidate in "$repo"/build*/src/cli/kvscale; do
    if [ -x "$candidate" ]; then kvscale=$candidate; break; fi
  done
fi
[ -x "$kvscale" ] || { echo "no kvscale found: build it or pass --kvscale PATH" >&2; exit 1; }
if [ $others = 1 ]; then
  command -v vips >/dev/null || { echo "vips is missing (apt-get install libvips-tools)" >&2; exit 1; }
  command -v mogrify >/dev/null || { echo "mogrify is missing (apt-get install imagemagick)" >&2; exit 1; }
fi

if [ ! -d "$corpus/photos40" ]; then
  echo "building the benchmark photos in $corpus (once; takes a few minutes)" >&2
  "$make_corpus" "$corpus" >&2
fi
photos=("$corpus"/photos40/*.jpg)
[ ${#photos[@]} -eq 40 ] || echo "warning: photos40 holds ${#photos[@]} photos, not 40" >&2

work=$(mktemp -d "${TMPDIR:-/tmp}/kvbatch-XXXXXX")
trap 'rm -rf "$work"' EXIT

jobs_option=()
[ -n "$jobs" ] && jobs_option=(--jobs "$jobs")

run_kvscale() { "$kvscale" batch "${photos[@]}" --out "$work/kv" --percent 25 --algorithm "$algorithm" --quality 90 "${jobs_option[@]}"; }
run_mogrify() { mogrify -path "$work/im" -resize 25% -quality 90 "${photos[@]}"; }
run_vips() { local f; for f in "${photos[@]}"; do vips resize "$f" "$work/vips/$(basename "$f")[Q=90]" 0.25; done; }

# Runs a job into a fresh folder and prints its wall time in milliseconds.
time_ms() {
  local name=$1 start end
  rm -rf "${work:?}/$name"
  mkdir -p "$work/$name"
  start=$EPOCHREALTIME
  "run_$2" >/dev/null 2>"$work/stderr" || { echo "failed: $2" >&2; cat "$work/stderr" >&2; return 1; }
  end=$EPOCHREALTIME
  awk -v s="$start" -v e="$end" 'BEGIN { printf "%.0f\n", (e - s) * 1000 }'
}

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Other work on the machine slows every program, the many-threaded ones most: say how busy it was.
echo "load average at start: $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) cores"

# One untimed run each warms the page cache and checks the results.
time_ms kv kvscale >/dev/null
first=$(basename "${photos[0]}")
[ "$(ls "$work/kv" | wc -l)" -eq ${#photos[@]} ] || echo "warning: kvscale wrote $(ls "$work/kv" | wc -l) files" >&2
if [ $others = 1 ]; then
  time_ms im mogrify >/dev/null
  time_ms vips vips >/dev/null
  if command -v vipsheader >/dev/null; then
    for dir in kv im vips; do
      echo "  $dir: $first is $(vipsheader -f width "$work/$dir/$first")x$(vipsheader -f height "$work/$dir/$first")"
    done
  fi
fi

kv=() im=() vp=()
for ((run = 0; run < runs; run++)); do
  kv+=("$(time_ms kv kvscale)")
  if [ $others = 1 ]; then
    im+=("$(time_ms im mogrify)")
    vp+=("$(time_ms vips vips)")
  fi
done

kv_ms=$(median "${kv[@]}")
printf 'kvscale batch %s    %6s ms   (runs: %s)\n' "${jobs_option[*]:-}" "$kv_ms" "${kv[*]}"
if [ $others = 1 ]; then
  im_ms=$(median "${im[@]}")
  vips_ms=$(median "${vp[@]}")
  printf 'mogrify              %6s ms   %5.2fx kvscale   (runs: %s)\n' "$im_ms" "$(awk -v a="$im_ms" -v b="$kv_ms" 'BEGIN { print a / b }')" "${im[*]}"
  printf 'vips resize loop     %6s ms   %5.2fx kvscale   (runs: %s)\n' "$vips_ms" "$(awk -v a="$vips_ms" -v b="$kv_ms" 'BEGIN { print a / b }')" "${vp[*]}"
fi
echo "load average at end: $(cut -d' ' -f1-3 /proc/loadavg)"

#!/usr/bin/env bash
# Whole-process speed of `kvscale jpeg decode` (the own JPEG decoder) against
# `djpeg -dct fast -nosmooth`, both writing a PPM into the same folder.
#
#   bench/jpeg_decode_compare.sh [--runs N] [--kvscale PATH] [IN.jpg...]
#     IN.jpg       default: big12mp.jpg of the corpus
#   KV_BENCH_CORPUS  where the corpus is kept (default ~/.cache/kvscale-bench/corpus)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/.." && pwd)
corpus=${KV_BENCH_CORPUS:-${XDG_CACHE_HOME:-$HOME/.cache}/kvscale-bench/corpus}
runs=9
kvscale=${KVSCALE:-}
inputs=()
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs=$2; shift 2 ;;
    --kvscale) kvscale=$2; shift 2 ;;
    *) inputs+=("$1"); shift ;;
  esac
done
if [ -z "$kvscale" ]; then
  kvscale=$(ls "$repo"/build*/src/cli/kvscale 2>/dev/null | head -1 || true)
fi
[ -x "$kvscale" ] || { echo "no kvscale found; pass --kvscale PATH" >&2; exit 2; }
if [ ${#inputs[@]} -eq 0 ]; then
  [ -f "$corpus/big12mp.jpg" ] || "$repo/../shared/bench/make-corpus.sh" "$corpus" >/dev/null
  inputs=("$corpus/big12mp.jpg")
fi

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# Wall time of one run of a command, in seconds.
walltime() {
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1
  end=$(date +%s.%N)
  echo "$end - $start" | bc
}

median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

printf '%-20s %10s %10s %7s\n' file kvscale djpeg ratio
for in in "${inputs[@]}"; do
  "$kvscale" jpeg decode "$in" "$out/warm.ppm" && djpeg -dct fast -nosmooth -outfile "$out/warm.ppm" "$in"
  ours=() theirs=()
  # Pairs in alternating order, so that a busy moment of the machine hits both alike.
  for i in $(seq "$runs"); do
    if [ $((i % 2)) -eq 0 ]; then
      ours+=("$(walltime "$kvscale" jpeg decode "$in" "$out/ours.ppm")")
      theirs+=("$(walltime djpeg -dct fast -nosmooth -outfile "$out/theirs.ppm" "$in")")
    else
      theirs+=("$(walltime djpeg -dct fast -nosmooth -outfile "$out/theirs.ppm" "$in")")
      ours+=("$(walltime "$kvscale" jpeg decode "$in" "$out/ours.ppm")")
    fi
  done
  a=$(median "${ours[@]}")
  b=$(median "${theirs[@]}")
  printf '%-20s %9.3fs %9.3fs %7.2f\n' "$(basename "$in")" "$a" "$b" "$(echo "$a / $b" | bc -l)"
done

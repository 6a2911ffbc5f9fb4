#!/usr/bin/env bash
# Browser thumbnails: the builder threads against vipsthumbnail over the same folder of photos, and
# one camera photo's thumbnail from its embedded preview against thumbnails of the image itself.
# See bench/README.md.
#
#   bench/thumbs_compare.sh [--runs N] [--bench PATH]
#     --runs N       timed runs of vipsthumbnail (default 5); the builders run 3 times
#     --bench PATH   the thumbs_builder_bench to run (default: $THUMBS_BENCH, else the first built one)
#   KV_BENCH_CORPUS      where the corpus is kept (default ~/.cache/kvscale-bench/corpus)
#   KV_BENCH_EXIF_PHOTO  the camera photo (default ../shared/bench/photos/street_4032x3024.jpg)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/.." && pwd)
corpus=${KV_BENCH_CORPUS:-${XDG_CACHE_HOME:-$HOME/.cache}/kvscale-bench/corpus}
runs=5
bench=${THUMBS_BENCH:-}

while [ $# -gt 0 ]; do
  case $1 in
    --runs) runs=${2:?}; shift 2 ;;
    --bench) bench=${2:?}; shift 2 ;;
    *) sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'; exit 2 ;;
  esac
done

if [ -z "$bench" ]; then
  for candidate in "$repo"/build*/bench/thumbs_builder_bench; do
    [ -x "$candidate" ] && { bench=$candidate; break; }
  done
fi
[ -x "$bench" ] || { echo "thumbs_builder_bench is not built (cmake --build BUILD --target thumbs_builder_bench)" >&2; exit 1; }
command -v vipsthumbnail >/dev/null || { echo "vipsthumbnail is missing (apt-get install libvips-tools)" >&2; exit 1; }
[ -d "$corpus/photos60" ] || "$repo/../shared/bench/make-corpus.sh" "$corpus"
photos=("$corpus"/photos60/*.jpg)

echo "load: $(uptime | sed 's/.*load average: //')   photos: ${#photos[@]} in $corpus/photos60"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
vipsthumbnail --size 220x165 -o "$out/%s.jpg" "${photos[0]}"  # untimed: warms the page cache
times=()
for _ in $(seq "$runs"); do
  start=$(date +%s%N)
  vipsthumbnail --size 220x165 -o "$out/%s.jpg" "${photos[@]}"
  times+=($(( ($(date +%s%N) - start) / 1000000 )))
done
vips_ms=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p")

KV_BENCH_PHOTOS="$corpus/photos60" "$bench" --benchmark_format=json --benchmark_out="$out/bench.json" \
  --benchmark_out_format=json >/dev/null
python3 - "$out/bench.json" "$vips_ms" "${times[*]}" <<'PY'
import json, sys
runs = {b["name"]: b for b in json.load(open(sys.argv[1]))["benchmarks"]}
vips_ms, vips_all = float(sys.argv[2]), sys.argv[3]
def ms(name):
    b = next(v for k, v in runs.items() if k.startswith(name))
    if b.get("error_occurred"):
        sys.exit(f"{name}: {b.get('error_message')}")
    scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b["time_unit"]]
    return b["real_time"] * scale
folder = ms("BM_FolderOfPhotos")
print(f"folder of photos, full-quality thumbnails, SetFiles to last OnThumbReady:")
print(f"  builder threads {folder:8.0f} ms (mean of 3)")
print(f"  vipsthumbnail   {vips_ms:8.0f} ms (median of {vips_all})")
print(f"  ratio builders / vips {folder / vips_ms:.2f} (below 1: the builders are faster)")
first, second, full = ms("BM_OnePhoto/0"), ms("BM_OnePhoto/1"), ms("BM_OnePhoto/2")
print("one camera photo with an embedded preview, one thumbnail:")
print(f"  first stage (embedded preview)        {first:8.2f} ms")
print(f"  second stage (reduced-scale decode)   {second:8.2f} ms  ({second / first:.0f}x the first stage)")
print(f"  full-resolution decode and shrink     {full:8.2f} ms  ({full / first:.0f}x the first stage)")
PY

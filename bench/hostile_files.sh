#!/usr/bin/env bash
# Runs kvscale on the hostile files (tests/data/hostile, plus the larger variants make-hostile.py
# --large makes) and on a batch list asking 32768 x 32768 with algorithm 9, and prints for each the
# exit status, the wall time and the peak resident size (/usr/bin/time). Run by hand, on a quiet
# machine:
#
#   bench/hostile_files.sh                      # the default budget: what the machine has
#   bench/hostile_files.sh --max-memory 2G      # any kvscale option is passed to every run
#   KVSCALE=build-asan/src/cli/kvscale bench/hostile_files.sh
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
kvscale=${KVSCALE:-$root/build/src/cli/kvscale}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$root/tests/data/hostile/make-hostile.py" --large "$work/files" >/dev/null
cp "$root"/tests/data/hostile/*.* "$work/files/" 2>/dev/null || true
rm -f "$work/files/make-hostile.py"

printf '%-28s %-34s %5s %8s %10s\n' file options exit seconds "peak KB"
run() {
    local name=$1
    shift
    local out=$work/out.png
    rm -f "$out"
    /usr/bin/time -o "$work/time" -f '%e %M' "$kvscale" "$@" >/dev/null 2>"$work/err" && status=0 || status=$?
    read -r seconds peak < <(tail -1 "$work/time")
    # The line of kvscale's messages that says why (not the one naming the file, not the usage).
    reason=$(grep -v "Can't open file\|Can't create output image\|^ \|^usage:\|Command exited" "$work/err" | head -1 || true)
    printf '%-28s %-34s %5s %8s %10s  %s\n' "$name" "${options[*]}" "$status" "$seconds" "$peak" "${reason:0:100}"
}

for file in "$work"/files/*; do
    name=$(basename "$file")
    for options in "--width 100" "--size 100x100 --correction none" "--percent 50"; do
        # shellcheck disable=SC2206
        options=($options "$@")
        run "$name" resize "$file" -o "$work/out.png" "${options[@]}"
    done
done

# The batch list of the sweep: one image, 32768 x 32768, algorithm 9.
python3 - "$work/list.qzb" "$root/tests/data/small.jpg" <<'PY'
import struct, sys
path = sys.argv[2].encode('utf-16-le')
header = 'KARVO ScaleCrafter 2.0 Batch'.encode('utf-16-le')
record = b'\xff\xfe\xff' + bytes([len(path) // 2]) + path + struct.pack('<iifii', 32768, 32768, 72.0, 9, 2)
open(sys.argv[1], 'wb').write(header + struct.pack('<i', 1) + record)
PY
options=(--list "$@")
run "list.qzb ($(stat -c %s "$work/list.qzb") bytes)" batch --list "$work/list.qzb" --out "$work/batch" "$@"

#!/bin/sh
# What converting a large catalogue from its Jet form costs: COUNT records (default
# 100000) written by the Jet fixtures' writer (tests/fixtures/jet) into a Jet 4 file
# and, for the second figure, a Jet 3 one, each converted by `tresmol-cli import`;
# then the Jet 4 file again with a picture named by every fifth record, all present.
# Reports the wall time, the processor time (user and system, the reading child's
# included) and the peak memory (/usr/bin/time -v) of each run, the median of three: on
# a machine shared with other work the processor time is the steadier figure. A
# figure, never a pass or fail.
#
#   bench/bench_jetimport.sh [COUNT]      (builds the release preset)
set -eu
count=${1:-100000}
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
cmake --preset release >/dev/null
cmake --build --preset release -j2 --target tresmol-cli >/dev/null
cli="$root/build/release/tools/tresmol-cli/tresmol-cli"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 tests/fixtures/jet/make_catalogue.py "$work/plain" --records "$count" --picture-every 0
python3 tests/fixtures/jet/make_catalogue.py "$work/pictures" --records "$count" --only 4
echo "Jet import benchmark: $count records"

# Median seconds and peak memory of three conversions of $1.
measure() {
    label=$1
    source=$2
    for run in 1 2 3; do
        rm -rf "$work/out"
        mkdir "$work/out"
        /usr/bin/time -v "$cli" import "$source" "$work/out/new.mdb" \
            --picture-folder "$work/out/pictures" >/dev/null 2>"$work/time.$run"
    done
    python3 - "$label" "$work"/time.1 "$work"/time.2 "$work"/time.3 <<'PY'
import re, statistics, sys
label, files = sys.argv[1], sys.argv[2:]
secs, cpus, peaks = [], [], []
for f in files:
    text = open(f).read()
    clock = re.search(r"Elapsed \(wall clock\) time.*: (?:(\d+):)?(\d+):([\d.]+)", text)
    h, m, s = clock.groups()
    secs.append(int(h or 0) * 3600 + int(m) * 60 + float(s))
    cpus.append(sum(float(re.search(rf"{kind} time \(seconds\): ([\d.]+)", text).group(1))
                    for kind in ("User", "System")))
    peaks.append(int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", text).group(1)))
print(f"{label:28} {statistics.median(secs):6.2f} s   processor {statistics.median(cpus):5.2f} s"
      f"   peak {statistics.median(peaks) / 1024:6.1f} MiB")
PY
}

measure "Jet 4, no pictures" "$work/plain/jet4-catalogue.mdb"
measure "Jet 3, no pictures" "$work/plain/jet3-catalogue.mdb"
measure "Jet 4, every 5th a picture" "$work/pictures/jet4-catalogue.mdb"

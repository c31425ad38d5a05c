#!/bin/sh
# What finding the files a catalogue already holds costs a scan: COUNT PE files
# (default 10000, made by make_exe_tree.sh) harvested by `tresmol-cli harvest` into a
# catalogue that already holds COUNT records of other paths, without and with
# --skip-known (every file is looked up, none is known), and then a second scan of
# the same files with --skip-known into the catalogue that holds them all (every file
# read and left out), the runs interleaved. Reports the median of five runs of each
# and the share the look-up adds. A figure, never a pass or fail.
#
#   bench/bench_skipknown.sh [COUNT]      (builds the release preset)
set -eu
count=${1:-10000}
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
cmake --preset release >/dev/null
cmake --build --preset release -j2 --target tresmol-cli verinfo_fixtures >/dev/null
cli="$root/build/release/tools/tresmol-cli/tresmol-cli"
fixtures="$root/build/release/tests/harvest/verinfo-fixtures"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
nsrc=$("$root/bench/make_exe_tree.sh" "$count" "$work/tree" "$fixtures")
# The same files under other paths, for the records that are not the scan's.
cp -al "$work/tree" "$work/other"
echo "skip-known benchmark: $count files from $nsrc sources"

cd "$work"
"$cli" create base.mdb
"$cli" harvest base.mdb other >/dev/null 2>&1
"$cli" create full.mdb
"$cli" harvest full.mdb tree >/dev/null 2>&1

# Seconds of one harvest of tree into a copy of the catalogue $1, with the options
# after it, the whole command.
run() {
    base=$1
    shift
    rm -f Tresmol.mdb Tresmol.mdb-wal Tresmol.mdb-shm
    cp "$base" Tresmol.mdb
    python3 - "$cli" "$@" <<'PY'
import subprocess, sys, time
start = time.monotonic()
done = subprocess.run([sys.argv[1], "harvest", "Tresmol.mdb", "tree"] + sys.argv[2:],
                      stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
elapsed = time.monotonic() - start
print(f"{elapsed:.3f}\t{done.stderr.strip().splitlines()[-1]}")
PY
}
run base.mdb >/dev/null
for i in 1 2 3 4 5; do
    run base.mdb >> plain.times
    run base.mdb --skip-known >> lookup.times
    run full.mdb --skip-known >> second.times
done
for k in plain lookup second; do echo "$k:"; cat "$k.times"; done
python3 - "$count" <<'PY'
import sys
count = int(sys.argv[1])
import statistics
mid = {k: statistics.median(float(l.split("\t")[0]) for l in open(f"{k}.times"))
       for k in ("plain", "lookup", "second")}
print(f"median of five, whole command: plain scan {mid['plain']:.3f} s, with --skip-known "
      f"{mid['lookup']:.3f} s ({100 * (mid['lookup'] / mid['plain'] - 1):+.1f}%), "
      f"second scan of the same {count} files with --skip-known {mid['second']:.3f} s")
PY

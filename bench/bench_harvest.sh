#!/bin/sh
# Harvest benchmark: 10,000 PE files (copies of the version-information fixtures and of
# the Mono assemblies in /usr/lib/mono) harvested into a new catalogue by
# `tresmol-cli harvest`, as "Сканировать" would: the folder searched, then one record
# per file. Reports files per second and the share of time spent reading version
# information versus storing records, into an empty catalogue and into one of BIG
# generated records. A figure, never a pass or fail.
#
#   bench/bench_harvest.sh [COUNT] [BIG]   (defaults 10000 and 100000; builds the
#                                           release preset)
#
# With TRESMOL_BENCH_PEER=/path/to/another/tresmol-cli each run is repeated with that
# program right after this one, so that the two compare within the same run.
set -eu
count=${1:-10000}
big=${2:-100000}
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
cmake --preset release >/dev/null
cmake --build --preset release -j2 --target tresmol-cli verinfo_fixtures bench_gencatalogue >/dev/null
cli="$root/build/release/tools/tresmol-cli/tresmol-cli"
peer=${TRESMOL_BENCH_PEER:-}
fixtures="$root/build/release/tests/harvest/verinfo-fixtures"
gen="$root/build/release/bench/bench_gencatalogue"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
nsrc=$("$root/bench/make_exe_tree.sh" "$count" "$work/tree" "$fixtures")
bytes=$(du -sb "$work/tree" | cut -f1)
echo "harvest benchmark: $count files from $nsrc sources, $((bytes / 1048576)) MiB"
mkdir "$work/none"

# CPU seconds (user + system) of PROGRAM harvesting FOLDER into Tresmol.mdb; its own
# summary (wall-clock) goes to the file summary.
cpu() {
    /usr/bin/time -f '%U %S' -o cpu.txt "$1" harvest Tresmol.mdb "$2" 2>summary >/dev/null
    awk '{print $1 + $2}' cpu.txt
}

# One run of PROGRAM into a copy of catalogue START: its summary, then its CPU
# seconds, and the files per CPU second of the harvest itself, that is without the
# CPU time of opening the catalogue and starting (a run over an empty folder), which
# a machine shared with other work disturbs far less than the wall-clock.
run() {
    rm -f Tresmol.mdb Tresmol.mdb-wal Tresmol.mdb-shm
    cp "$2" Tresmol.mdb
    base=$(cpu "$1" none)
    rm -f Tresmol.mdb Tresmol.mdb-wal Tresmol.mdb-shm
    cp "$2" Tresmol.mdb
    total=$(cpu "$1" tree)
    printf '    %s\n' "$(tail -1 summary)"
    awk -v n="$count" -v t="$total" -v b="$base" 'BEGIN {
        printf "    CPU %.2f s, %.0f files per CPU second; opening and start %.2f s, harvest %.0f files per CPU second\n",
            t, n / t, b, n / (t - b) }'
}

cd "$work"
"$cli" create empty.mdb
"$gen" big.mdb "$big"
# A first run warms the page cache.
cp empty.mdb warm.mdb
"$cli" harvest warm.mdb tree 2>/dev/null >/dev/null || true
for start in empty big; do
    for n in 1 2 3; do
        echo "run $n (warm, into the $start catalogue)"
        run "$cli" "$start.mdb"
        if [ -n "$peer" ]; then
            echo "  the same with $peer"
            run "$peer" "$start.mdb"
        fi
    done
done

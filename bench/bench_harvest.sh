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
set -eu
count=${1:-10000}
big=${2:-100000}
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
cmake --preset release >/dev/null
cmake --build --preset release -j2 --target tresmol-cli verinfo_fixtures bench_gencatalogue >/dev/null
cli="$root/build/release/tools/tresmol-cli/tresmol-cli"
fixtures="$root/build/release/tests/harvest/verinfo-fixtures"
gen="$root/build/release/bench/bench_gencatalogue"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
nsrc=$("$root/bench/make_exe_tree.sh" "$count" "$work/tree" "$fixtures")
bytes=$(du -sb "$work/tree" | cut -f1)
echo "harvest benchmark: $count files from $nsrc sources, $((bytes / 1048576)) MiB"

# Each run's own summary (wall-clock), then its CPU seconds (user + system) and the files
# per CPU second, which a machine shared with other work disturbs far less.
run() {
    local TIMEFORMAT='%U %S'
    { time "$cli" harvest Tresmol.mdb tree 2>&1 >/dev/null | tail -1; } 2>&1 |
        awk -v n="$count" 'NR == 1 {print} NR == 2 {s = $1 + $2;
            printf "    CPU %.2f s, %.0f files per CPU second\n", s, n / s}'
}

# A first run warms the page cache; the second, into a new catalogue, is the figure.
cd "$work"
"$cli" create warm.mdb
"$cli" harvest warm.mdb tree 2>/dev/null >/dev/null || true
for run in 1 2 3; do
    rm -f Tresmol.mdb Tresmol.mdb-wal Tresmol.mdb-shm
    "$cli" create Tresmol.mdb
    printf 'run %s (warm): ' "$run"
    run
done
"$gen" big.mdb "$big"
for run in 1 2 3; do
    rm -f Tresmol.mdb Tresmol.mdb-wal Tresmol.mdb-shm
    cp big.mdb Tresmol.mdb
    printf 'run %s (warm, into %s records): ' "$run" "$big"
    run
done

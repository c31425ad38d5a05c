#!/bin/sh
# Harvest benchmark: 10,000 PE files (copies of the version-information fixtures and of
# the Mono assemblies in /usr/lib/mono) harvested into a new catalogue by
# `tresmol-cli harvest`, as "Сканировать" would: the folder searched, then one record
# per file. Reports files per second and the share of time spent reading version
# information versus storing records. A figure, never a pass or fail.
#
#   bench/bench_harvest.sh [COUNT]      (default 10000; builds the release preset)
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
bytes=$(du -sb "$work/tree" | cut -f1)
echo "harvest benchmark: $count files from $nsrc sources, $((bytes / 1048576)) MiB"

# A first run warms the page cache; the second, into a new catalogue, is the figure.
cd "$work"
"$cli" create warm.mdb
"$cli" harvest warm.mdb tree 2>/dev/null >/dev/null || true
for run in 1 2 3; do
    rm -f Tresmol.mdb Tresmol.mdb-wal Tresmol.mdb-shm
    "$cli" create Tresmol.mdb
    printf 'run %s (warm): ' "$run"
    "$cli" harvest Tresmol.mdb tree 2>&1 >/dev/null | tail -1
done

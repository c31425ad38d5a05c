#!/bin/bash
# Growth benchmark: the same figures at several catalogue sizes, to show how each grows
# with the number of records. For every size: `tresmol-cli list --search` against
# sqlite3's raw read of every row (CPU and wall-clock seconds of each, side by side), then
# bench_store and bench_mainwindow. Figures, never a pass or fail.
#
#   bench/bench_growth.sh [SIZE...]      (default 10000 100000 1000000; builds the
#                                         release preset)
# On a machine shared with other work, TRESMOL_BENCH_CLOCK=cpu (the default here) makes
# the two benchmarks report CPU time instead of wall-clock time.
set -eu
sizes=${*:-10000 100000 1000000}
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
cmake --preset release >/dev/null
cmake --build --preset release -j2 --target tresmol-cli bench_gencatalogue bench_store \
    bench_mainwindow >/dev/null
bin="$root/build/release"
export TRESMOL_BENCH_CLOCK=${TRESMOL_BENCH_CLOCK:-cpu}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# CPU seconds (user + system) and wall-clock seconds of a command, its output thrown
# away. The catalogue is read on two threads, so the two figures differ.
cpu_wall() {
    local TIMEFORMAT='%U %S %R'
    { time "$@" >/dev/null 2>/dev/null; } 2>&1 | awk '{printf "%.3f %.3f\n", $1 + $2, $3}'
}

for n in $sizes; do
    echo "=== $n records"
    "$bin/bench/bench_gencatalogue" "$work/c$n.mdb" "$n"
    # The page cache warmed by one read of each.
    sqlite3 "$work/c$n.mdb" 'SELECT * FROM SoftTable' >/dev/null
    for run in 1 2 3; do
        read -r rawcpu rawwall < <(cpu_wall sqlite3 "$work/c$n.mdb" 'SELECT * FROM SoftTable')
        read -r listcpu listwall < <(cpu_wall "$bin/tools/tresmol-cli/tresmol-cli" list \
            "$work/c$n.mdb" --search T)
        echo "run $run: list --search ${listcpu} s CPU ${listwall} s wall," \
            "sqlite3 raw read ${rawcpu} s CPU ${rawwall} s wall," \
            "ratio CPU $(echo "scale=2; $listcpu / $rawcpu" | bc)" \
            "wall $(echo "scale=2; $listwall / $rawwall" | bc)"
    done
    "$bin/bench/bench_store" "$n" "$work/c$n.mdb"
    "$bin/bench/bench_mainwindow" "$n" "" "$work/c$n.mdb"
    rm -f "$work/c$n.mdb"*
done

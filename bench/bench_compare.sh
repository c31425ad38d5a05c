#!/bin/bash
# Two builds of the program side by side, in the same run, on the same catalogues: the
# figures a change of the engine must keep. Each figure is taken RUNS times from each
# build in turn (before, after, before, after...), so that a machine shared with other
# work disturbs both alike; compare the best of each. CPU time, every thread counted,
# is given beside wall-clock time where a program reports both.
#
#   bench/bench_compare.sh BEFORE AFTER CATALOGUES [RUNS]
#
# BEFORE and AFTER are release build folders (build/release of two trees); CATALOGUES a
# folder holding c10000.mdb, c100000.mdb and c1000000.mdb made by bench_gencatalogue.
# Harvesting is compared by bench/bench_harvest.sh with TRESMOL_BENCH_PEER.
set -eu
before=$1 after=$2 cats=$3 runs=${4:-3}
export TRESMOL_BENCH_CLOCK=cpu QT_QPA_PLATFORM=offscreen
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# CPU seconds, wall-clock seconds and peak resident MB of a command, output dropped.
measure() {
    /usr/bin/time -f '%U %S %e %M' -o "$work/t" "$@" >/dev/null 2>&1
    awk '{printf "%.2f s CPU, %.2f s wall, peak %.0f MB", $1 + $2, $3, $4 / 1024}' "$work/t"
}

for n in 10000 100000 1000000; do
    for run in $(seq "$runs"); do
        for b in "$before" "$after"; do
            echo "list --search T, $n records, $(basename "$(dirname "$b")")/$(basename "$b") run $run:" \
                "$(measure "$b/tools/tresmol-cli/tresmol-cli" list "$cats/c$n.mdb" --search T)"
        done
    done
done

for run in $(seq "$runs"); do
    for b in "$before" "$after"; do
        echo "export 100000 records, $b run $run:" \
            "$(measure "$b/tools/tresmol-cli/tresmol-cli" export "$cats/c100000.mdb" "$work/out.xlsx")"
        rm -f "$work/out.xlsx"
    done
done

for n in 100000 1000000; do
    for run in $(seq "$runs"); do
        for b in "$before" "$after"; do
            echo "== bench_store $n, $b run $run"
            "$b/bench/bench_store" "$n" "$cats/c$n.mdb" | grep -E "open|sort by name|typing|peak"
            echo "== bench_mainwindow $n, $b run $run"
            "$b/bench/bench_mainwindow" "$n" "" "$cats/c$n.mdb" |
                grep -E "start to|per typed|sort by Назв"
        done
    done
done

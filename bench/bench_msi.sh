#!/bin/sh
# Package benchmark: a folder of COUNT Windows Installer packages (copies of the
# package fixtures, which wixl and msibuild build) harvested by `tresmol-cli harvest
# --msi`, against a folder of as many executables (bench/make_exe_tree.sh) harvested
# by plain `tresmol-cli harvest`, each into an empty catalogue, three times. Then the
# packages once more with --inside-archives, which also reads the programs in their
# cabinets. Reports files per CPU second of each and the packages' share of the
# executables' speed. A figure, never a pass or fail.
#
#   bench/bench_msi.sh [COUNT]   (default 1000; builds the release preset)
set -eu
count=${1:-1000}
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
cmake --preset release >/dev/null
cmake --build --preset release -j2 --target tresmol-cli verinfo_fixtures msi_fixtures >/dev/null
cli="$root/build/release/tools/tresmol-cli/tresmol-cli"
fixtures="$root/build/release/tests/harvest/verinfo-fixtures"
packages="$root/build/release/tests/harvest/msi-fixtures/packages"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$root/bench/make_exe_tree.sh" "$count" "$work/exe" "$fixtures" >/dev/null
# The readable packages in turn, in folders of 100 as the executables are.
i=0
while [ "$i" -lt "$count" ]; do
    for src in "$packages/latin.msi" "$packages/cyrillic.msi"; do
        [ "$i" -lt "$count" ] || break
        dir="$work/msi/d$((i / 100))"
        [ -d "$dir" ] || mkdir -p "$dir"
        cp "$src" "$dir/p$i.msi"
        i=$((i + 1))
    done
done
echo "package benchmark: $count packages ($(du -sb "$work/msi" | cut -f1) bytes)," \
    "$count executables ($(du -sb "$work/exe" | cut -f1) bytes)"

# Files per CPU second (user + system) of harvesting FOLDER with OPTIONS into a new
# catalogue, less the CPU time of a run over an empty folder (opening, start).
cd "$work"
mkdir none
rate() {
    folder=$1
    shift
    rm -f t.mdb t.mdb-wal t.mdb-shm
    "$cli" create t.mdb
    /usr/bin/time -f '%U %S' -o base.txt "$cli" harvest t.mdb none "$@" 2>/dev/null >/dev/null
    rm -f t.mdb t.mdb-wal t.mdb-shm
    "$cli" create t.mdb
    /usr/bin/time -f '%U %S' -o cpu.txt "$cli" harvest t.mdb "$folder" "$@" 2>summary >/dev/null
    files=$(grep -o '^[0-9]* files harvested' summary | cut -d' ' -f1)
    awk -v n="$files" 'NR == FNR { b = $1 + $2; next } { t = $1 + $2 }
        END { printf "%d %.0f\n", n, n / (t - b) }' base.txt cpu.txt
}

# A first run of each warms the page cache.
rate exe >/dev/null
rate msi --msi >/dev/null
for n in 1 2 3; do
    set -- $(rate exe)
    exe=$2
    set -- $(rate msi --msi)
    msi=$2
    echo "run $n: executables $exe files per CPU second, packages $msi" \
        "($(awk -v a="$msi" -v b="$exe" 'BEGIN { printf "%.2f", a / b }') of the executables' speed)"
done
set -- $(rate msi --msi --inside-archives)
echo "packages with the programs inside: $1 records, $2 per CPU second"

#!/bin/sh
# Hostile inputs against their budgets: the time and peak memory of the whole command
# for the crafted icon groups (tresmol-cli icon on iconmany.exe and iconheavy.exe,
# 2,000 entries each) and for the archive bombs (harvest --inside-archives on
# wide.tar.gz and nested.zip). The command's own start-up is in each figure; icons64.exe,
# an ordinary program, gives it. A figure, never a pass or fail.
#
#   bench/bench_hostile.sh      (builds the release preset)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
cmake --preset release >/dev/null
cmake --build --preset release -j2 --target tresmol-cli verinfo_fixtures archive_bombs >/dev/null
cli="$root/build/release/tools/tresmol-cli/tresmol-cli"
fixtures="$root/build/release/tests/harvest/verinfo-fixtures"
bombs="$root/build/release/tests/harvest/archive-bombs"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

measure() {
    /usr/bin/time -f "%e s, %M KiB peak" "$@" 2>&1 >/dev/null | tail -n 1
}
for exe in icons64.exe iconmany.exe iconheavy.exe; do
    rm -f "$work/out.ico"
    echo "icon $exe: $(measure "$cli" icon "$fixtures/$exe" "$work/out.ico")"
done
for bomb in wide.tar.gz nested.zip; do
    rm -f "$work/c.mdb" "$work/c.mdb-wal" "$work/c.mdb-shm"
    "$cli" create "$work/c.mdb"
    echo "harvest $bomb: $(measure "$cli" harvest "$work/c.mdb" "$bombs/$bomb" --inside-archives)"
done

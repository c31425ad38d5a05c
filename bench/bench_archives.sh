#!/bin/sh
# Harvesting inside a disc image against the same files in a folder: COUNT PE files
# (default 2000, made by make_exe_tree.sh) harvested by `tresmol-cli harvest` from
# their folder, then from an ISO 9660 image of that folder (xorriso, Rock Ridge and
# Joliet) with --inside-archives, each into a new catalogue. Reports files per second
# of each and the image's speed as a share of the folder's. A figure, never a pass
# or fail.
#
#   bench/bench_archives.sh [COUNT]      (builds the release preset)
set -eu
count=${1:-2000}
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
cmake --preset release >/dev/null
cmake --build --preset release -j2 --target tresmol-cli verinfo_fixtures >/dev/null
cli="$root/build/release/tools/tresmol-cli/tresmol-cli"
fixtures="$root/build/release/tests/harvest/verinfo-fixtures"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
nsrc=$("$root/bench/make_exe_tree.sh" "$count" "$work/tree" "$fixtures")
xorriso -as mkisofs -quiet -R -J -o "$work/disc.iso" "$work/tree" 2>/dev/null
mkdir "$work/image"
mv "$work/disc.iso" "$work/image/"
bytes=$(du -sb "$work/tree" | cut -f1)
echo "archives benchmark: $count files from $nsrc sources, $((bytes / 1048576)) MiB"

cd "$work"
# Seconds of one harvest (of the arguments) into a new catalogue, the whole command.
run() {
    rm -f Tresmol.mdb Tresmol.mdb-wal Tresmol.mdb-shm
    "$cli" create Tresmol.mdb
    python3 - "$cli" "$@" <<'PY'
import subprocess, sys, time
start = time.monotonic()
done = subprocess.run([sys.argv[1], "harvest", "Tresmol.mdb"] + sys.argv[2:],
                      stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
elapsed = time.monotonic() - start
print(f"{elapsed:.3f}\t{done.stderr.strip().splitlines()[-1]}")
PY
}
# A first run of each warms the page cache; then the best of three.
run tree >/dev/null
run image --inside-archives >/dev/null
for i in 1 2 3; do
    run tree >> folder.times
    run image --inside-archives >> image.times
done
echo "folder:"; cat folder.times
echo "image:"; cat image.times
python3 - "$count" <<'PY'
import sys
count = int(sys.argv[1])
best = {k: min(float(l.split("\t")[0]) for l in open(f"{k}.times")) for k in ("folder", "image")}
print(f"best of three, whole command: folder {best['folder']:.3f} s "
      f"({count / best['folder']:.0f} files/s), image {best['image']:.3f} s "
      f"({count / best['image']:.0f} files/s); the image at "
      f"{100 * best['folder'] / best['image']:.0f}% of the folder's speed")
PY

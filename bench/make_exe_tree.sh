#!/bin/sh
# Fills DIR with COUNT PE files for the harvesting benchmarks: copies of the
# version-information fixtures in FIXTURES and of the Mono assemblies in
# /usr/lib/mono, in folders of 100, named *.exe so that the search takes them.
#
#   bench/make_exe_tree.sh COUNT DIR FIXTURES
set -eu
count=$1
tree=$2
fixtures=$3
mkdir -p "$tree"
list=$(mktemp)
trap 'rm -f "$list"' EXIT

# The sources: every fixture that is a PE or NE file, and the real assemblies.
ls "$fixtures"/*.exe "$fixtures"/*.dll "$fixtures"/*.ocx "$fixtures"/*.scr 2>/dev/null > "$list" || true
if [ -d /usr/lib/mono ]; then
    find /usr/lib/mono -type f -name '*.dll' >> "$list"
fi
[ -s "$list" ] || { echo "no source files" >&2; exit 1; }

i=0
while [ "$i" -lt "$count" ]; do
    while read -r src; do
        [ "$i" -lt "$count" ] || break
        dir="$tree/d$((i / 100))"
        [ -d "$dir" ] || mkdir "$dir"
        cp "$src" "$dir/f$i.exe"
        i=$((i + 1))
    done < "$list"
done
echo "$(grep -c . "$list")"

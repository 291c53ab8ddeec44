#!/bin/sh
# Runs plain tex on every test source: make_dvis.sh SOURCE_DIR OUTPUT_DIR.
set -eu
src=$1
out=$2
mkdir -p "$out"
cd "$out"
for f in "$src"/*.tex; do
    name=$(basename "$f" .tex)
    tex -interaction=nonstopmode -halt-on-error "$f" > "$name.texlog" 2>&1 || {
        cat "$name.texlog"
        echo "tex failed on $f"
        exit 1
    }
done
echo "made $(ls *.dvi | wc -l) DVI files in $out"

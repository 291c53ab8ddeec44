#!/bin/sh
# Makes the test DVI files: make_dvis.sh SOURCE_DIR OUTPUT_DIR. Plain tex
# runs on SOURCE_DIR/*.tex, latex on SOURCE_DIR/latex/*.tex; all DVI files
# land in OUTPUT_DIR under their source's name.
set -eu
src=$1
out=$2
mkdir -p "$out"
cd "$out"

# runTex ENGINE SOURCE
runTex() {
    name=$(basename "$2" .tex)
    # Files left by an earlier run (cross-references, hyperref's outlines)
    # would change the second run's pages: every run starts from none.
    rm -f "$name.aux" "$name.out" "$name.toc"
    "$1" -interaction=nonstopmode -halt-on-error "$2" < /dev/null > "$name.texlog" 2>&1 || {
        cat "$name.texlog"
        echo "$1 failed on $2"
        exit 1
    }
}

for f in "$src"/*.tex; do
    runTex tex "$f"
done
for f in "$src"/latex/*.tex; do
    name=$(basename "$f" .tex)
    if [ -e "$src/$name.tex" ]; then
        echo "$f has the name of a plain TeX source"
        exit 1
    fi
    runTex latex "$f"
done
echo "made $(ls *.dvi | wc -l) DVI files in $out"

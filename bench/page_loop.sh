#!/bin/sh
# Times a whole morvex run against dvitype's full listing on one large DVI
# file made by plain tex, and compares morvex's peak memory on a small and a
# large file (the DVI is streamed, so it should not grow with the file).
#
# Usage: bench/page_loop.sh [BUILD_DIR] [PARAGRAPHS]
#   BUILD_DIR   a configured and built morvex tree (default: build)
#   PARAGRAPHS  paragraphs of text and mathematics in the large file
#               (default 24000, a little over a thousand pages)
set -eu

build=$(cd "${1:-build}" && pwd)
paragraphs=${2:-24000}
morvex=$build/src/front/morvex
config=$build/config
[ -x "$morvex" ] || { echo "no morvex binary in $build/src/front" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time" >&2; exit 1; }

work=$(mktemp -d /tmp/morvex-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT INT TERM
cd "$work"

# A document of N paragraphs, each with text in several fonts and inline and
# displayed mathematics; the loop runs inside TeX.
make_tex() {
    cat > "$1.tex" <<TEX
\\newcount\\n
\\def\\para{Paragraph \\the\\n: the quick brown fox jumps over the lazy dog,
{\\it while the office staff find a fluffy waffle}, {\\bf bold words}, {\\sl a
slanted aside} and {\\tt typewriter text}. Then some mathematics:
\$x_{\\the\\n}^2+y^2=z^2\$, \$\\sum_{i=1}^n i={n(n+1)\\over2}\$,
\$\\alpha\\beta\\gamma\\Gamma\\Delta\$ and
\$\$\\int_0^\\infty e^{-x^2}\\,dx={\\sqrt\\pi\\over2}.\$\$
More words follow to fill the line with ligatures like fi, fl, ff, ffi and ffl.\\par}
\\n=0
\\loop\\para\\advance\\n by 1 \\ifnum\\n<$2 \\repeat
\\bye
TEX
    tex -interaction=batchmode "$1.tex" > /dev/null 2>&1 || { echo "tex failed on $1.tex" >&2; exit 1; }
}

make_tex small 200
make_tex large "$paragraphs"
pages() { dvitype "$1.dvi" | grep -c 'beginning of page'; }
echo "large.dvi: $(wc -c < large.dvi) bytes, $(pages large) pages"
echo "small.dvi: $(wc -c < small.dvi) bytes, $(pages small) pages"

# seconds and peak resident kilobytes of one command, output discarded;
# its exit status does not matter here (a page no page carries ends with
# its own code), only time's last line is read.
measure() {
    /usr/bin/time -f "%e %M" -o "$work/time.txt" "$@" > /dev/null 2>&1 || true
    tail -n 1 "$work/time.txt"
}

# No page selected: the page loop alone, no Ghostscript.
set -- $(measure "$morvex" -c "$config" -p -999999 large.dvi)
loop_s=$1 loop_kb=$2
# Page 1 selected: the SVG text of one page and its fonts through Ghostscript.
set -- $(measure "$morvex" -c "$config" large.dvi)
full_s=$1 full_kb=$2
set -- $(measure "$morvex" -c "$config" -p -999999 small.dvi)
small_kb=$2
set -- $(measure dvitype -output-level=4 large.dvi)
dvitype_s=$1

echo "dvitype -output-level=4:       ${dvitype_s} s"
echo "morvex, no page selected:      ${loop_s} s, peak ${loop_kb} KiB (small file: ${small_kb} KiB)"
echo "morvex, page 1 with its fonts: ${full_s} s, peak ${full_kb} KiB"
awk -v d="$dvitype_s" -v l="$loop_s" -v f="$full_s" 'BEGIN {
    if (l > 0) printf "ratio dvitype/morvex (page loop): %.1fx\n", d / l;
    if (f > 0) printf "ratio dvitype/morvex (whole run): %.1fx\n", d / f;
}'

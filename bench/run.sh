#!/bin/sh
# The speed proof in one command: builds morvex if needed, installs what the
# measurements use, then measures in one run
#   1. the page pass of a large real document against dvitype's full
#      listing of it (bench/page_loop.sh), and
#   2. the time per font spent in Ghostscript against a bare Ghostscript
#      start (gs -q -dNODISPLAY -dBATCH): a page that sets one word in each
#      of FONTS fonts is converted with its fonts and without (no page
#      selected), the difference divided by FONTS;
#   3. the fonts of real LaTeX pages (bench/fonts.sh): the default mode, and
#      --cache cold and warm, against a bare Ghostscript start;
#   4. every page of a book as its own --paths document (bench/pages.sh)
#      against a bare page pass.
# Prints the ratios.
#
# Usage: sh bench/run.sh [PARAGRAPHS]   (default 24000, about 1000 pages)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
paragraphs=${1:-24000}

sh "$root/scripts/install-deps.sh"
if [ ! -x /usr/bin/time ]; then
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO=sudo
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends time
fi
build=$root/build
sh "$root/scripts/build.sh" "$build"
morvex=$build/src/front/morvex

echo "== 1. page pass against dvitype"
sh "$root/bench/page_loop.sh" "$build" "$paragraphs"

echo "== 2. Ghostscript per font against a bare Ghostscript start"
work=$(mktemp -d /tmp/morvex-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT INT TERM
cd "$work"
fonts="cmr5 cmr6 cmr7 cmr8 cmr9 cmr10 cmr12 cmr17 cmmi5 cmmi7 cmmi10 cmmi12 cmsy5 cmsy7 cmsy10
cmbx5 cmbx7 cmbx10 cmbx12 cmti7 cmti10 cmti12 cmtt8 cmtt10 cmtt12 cmsl10 cmsl12 cmss10 cmss12 cmssbx10
cmssi10 cmcsc10 cmb10 cmbxti10 cmbxsl10 cmitt10 cmsltt10 cmvtt10 cmfi10 cmdunh10"
nfonts=0
{
    printf '%s\n' '\nopagenumbers'
    for f in $fonts; do
        nfonts=$((nfonts + 1))
        cs=f$(printf '%s' "$nfonts" | tr 0-9 A-J)
        printf '\\font\\%s=%s \\%s Quick brown foxes 0123.\\par\n' "$cs" "$f" "$cs"
    done
    printf '%s\n' '\bye'
} > fonts.tex
tex -interaction=batchmode fonts.tex > /dev/null 2>&1 || { echo "tex failed on fonts.tex" >&2; exit 1; }

. "$root/bench/timing.sh"
with=$(best "$morvex" -c "$build/config" fonts.dvi)
"$morvex" -c "$build/config" fonts.dvi > run.txt 2>&1 || { cat run.txt; echo "morvex failed on fonts.dvi" >&2; exit 1; }
generated=$(grep -o '<font ' fonts.svg | wc -l)
without=$(best "$morvex" -c "$build/config" -p -999999 fonts.dvi)
bare=$(best gs -q -dNODISPLAY -dBATCH)
echo "fonts on the page: $nfonts (SVG fonts written: $generated)"
awk -v w="$with" -v wo="$without" -v b="$bare" -v n="$nfonts" 'BEGIN {
    per = (w - wo) / n;
    printf "morvex with the fonts: %.3f s, without: %.3f s\n", w, wo;
    printf "Ghostscript per font: %.4f s; bare gs start: %.4f s\n", per, b;
    if (b > 0) printf "ratio Ghostscript per font / bare gs start: %.2f\n", per / b;
}'

echo "== 3. the fonts of real LaTeX pages: side by side, cold and warm cache"
sh "$root/bench/fonts.sh" "$build"

echo "== 4. every page of a 364-page book as its own --paths document"
sh "$root/bench/pages.sh" "$build"

#!/bin/sh
# The cost of the fonts on real LaTeX pages, in one run: a page in Latin
# Modern with a formula, and one with more fonts, each converted
#   - cold, the default mode (the fonts' Ghostscript runs side by side),
#   - cold with --cache (an empty cache: every font extracted whole, all in
#     one Ghostscript run),
#   - warm with --cache (every font from the cache, no Ghostscript),
# against a bare Ghostscript start (gs -q -dNODISPLAY -dBATCH). Best of
# five runs each; prints each time and its ratio to the bare start.
#
# Usage: sh bench/fonts.sh BUILD_DIR
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:?usage: fonts.sh BUILD_DIR}" && pwd)
morvex=$build/src/front/morvex
config=$build/config
work=$(mktemp -d /tmp/morvex-bench-fonts-XXXXXX)
trap 'rm -rf "$work"' EXIT INT TERM
cd "$work"

cat > eight.tex <<'TEX'
\documentclass{article}
\usepackage[T1]{fontenc}
\usepackage{lmodern}
\pagestyle{empty}
\begin{document}
Za\.z\'o\l\'c g\k{e}\'sl\k{a} ja\'z\'n --- ``fine''
\[ \int_0^1 \frac{x^2}{\sqrt{1+x}}\,dx = \sum_{k=1}^\infty \alpha_k \]
\end{document}
TEX
cat > twelve.tex <<'TEX'
\documentclass{article}
\usepackage[T1]{fontenc}
\usepackage{lmodern}
\pagestyle{empty}
\begin{document}
Text \textbf{bold} \textit{italic} \texttt{mono} \textsc{Small Caps} {\small small} {\large large}
\[ \int_0^1 \frac{x^2}{\sqrt{1+x}}\,dx = \sum_{k=1}^\infty \alpha_k \]
\end{document}
TEX
for doc in eight twelve; do
    latex -interaction=batchmode $doc.tex > /dev/null 2>&1 || { echo "latex failed on $doc.tex" >&2; exit 1; }
done

. "$here/timing.sh"

prepare=""
bare=$(best gs -q -dNODISPLAY -dBATCH)
printf 'bare Ghostscript start: %.3f s\n' "$bare"
for doc in eight twelve; do
    "$morvex" -c "$config" $doc.dvi > run.txt 2>&1 || { cat run.txt; echo "morvex failed on $doc.dvi" >&2; exit 1; }
    fonts=$(grep -o '<font ' fonts.svg | wc -l)
    prepare=""
    cold=$(best "$morvex" -c "$config" $doc.dvi)
    prepare='rm -rf cache'
    coldCache=$(best "$morvex" -c "$config" --cache=cache $doc.dvi)
    prepare=""
    "$morvex" -c "$config" --cache=cache $doc.dvi > /dev/null 2>&1
    warmCache=$(best "$morvex" -c "$config" --cache=cache $doc.dvi)
    echo "== $doc.dvi: $fonts fonts"
    for mode in "cold, default:$cold" "cold, --cache:$coldCache" "warm, --cache:$warmCache"; do
        awk -v name="${mode%%:*}" -v t="${mode##*:}" -v b="$bare" \
            'BEGIN { printf "  %-16s %.3f s   %.2f x a bare gs start\n", name, t, t / b }'
    done
done

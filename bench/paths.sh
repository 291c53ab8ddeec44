#!/bin/sh
# The cost of --paths against the default mode, measured in one run on the
# same pages:
#   1. a full page of a real LaTeX document (T1 Latin Modern, mathematics, a
#      ruled table, colour), made here by latex: the whole conversion of
#      its page 1 in each mode;
#   2. some 80 pages of plain TeX that all carry \count0 = 1, so that both
#      writers see every page (the document writer's share grows, the
#      Ghostscript runs stay those of a few fonts).
# Each mode runs RUNS times, the two alternating; the best run of each
# counts. Prints the times and the ratio --paths / default.
#
# Usage: sh bench/paths.sh [BUILD_DIR] [RUNS]   (default build, 7)
set -eu

build=$(cd "${1:-build}" && pwd)
runs=${2:-7}
morvex=$build/src/front/morvex
config=$build/config
[ -x "$morvex" ] || { echo "no morvex binary in $build/src/front" >&2; exit 1; }

work=$(mktemp -d /tmp/morvex-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT INT TERM
cd "$work"

cat > page.tex <<'TEX'
\documentclass{article}
\usepackage[T1]{fontenc}
\usepackage{lmodern}
\usepackage[dvipsnames]{xcolor}
\begin{document}
\section{Typesetting}
\newcount\n \n=0
\loop
The office staff---fifty ``affable'' officials---were waiting in {\L}\'od\'z,
na\"ive caf\'e owners found \textcolor{red}{five fine flowers} in the field,
and \emph{the quick brown fox} jumps over the \textbf{lazy dog}; sphinxes of
black quartz judge my vow. Inline mathematics: $e^{i\pi}+1=0$ and
$a_{ij}=\sqrt{x_i^2+y_j^2}$.
\[ x = \frac{-b \pm \sqrt{b^2-4ac}}{2a}, \qquad
   \sum_{k=1}^{n} k^2 = \frac{n(n+1)(2n+1)}{6} \]
\advance\n by 1 \ifnum\n<4 \repeat
\begin{center}
\begin{tabular}{|l|r|r|}
\hline
Fruit & Count & Price \\ \hline
Apples & 12 & 3.40 \\
Pears & 7 & 2.15 \\
Plums & 30 & 5.00 \\ \hline
\end{tabular}
\end{center}
\end{document}
TEX
latex -interaction=batchmode page.tex > /dev/null 2>&1 || { echo "latex failed on page.tex" >&2; exit 1; }

cat > stack.tex <<'TEX'
\output={\plainoutput\global\pageno=1}
\newcount\n \n=0
\loop
Paragraph \the\n: the quick brown fox jumps over the lazy dog, {\it while the
office staff find a fluffy waffle}, {\bf bold words} and {\tt typewriter text};
then $x_{\the\n}^2+y^2=z^2$ and $$\int_0^\infty e^{-x^2}\,dx={\sqrt\pi\over2}.$$
\advance\n by 1 \ifnum\n<800 \repeat
\bye
TEX
tex -interaction=batchmode stack.tex > /dev/null 2>&1 || { echo "tex failed on stack.tex" >&2; exit 1; }

now() { date +%s.%N; }
# The best of RUNS runs of each mode, alternating; prints "default paths".
compare() {
    dvi=$1
    bd="" bp=""
    i=0
    while [ "$i" -lt "$runs" ]; do
        i=$((i + 1))
        s=$(now)
        "$morvex" -c "$config" -o d.svg -O d.log -f d-fonts.svg "$dvi" > /dev/null 2>&1 < /dev/null ||
            { echo "morvex failed on $dvi" >&2; exit 1; }
        m=$(now)
        "$morvex" --paths -c "$config" -o p.svg -O p.log "$dvi" > /dev/null 2>&1 < /dev/null ||
            { echo "morvex --paths failed on $dvi" >&2; exit 1; }
        e=$(now)
        bd=$(awk -v s="$s" -v e="$m" -v b="$bd" 'BEGIN { t = e - s; if (b == "" || t < b) b = t; print b }')
        bp=$(awk -v s="$m" -v e="$e" -v b="$bp" 'BEGIN { t = e - s; if (b == "" || t < b) b = t; print b }')
    done
    echo "$bd $bp"
}

report() {
    label=$1 dvi=$2
    set -- $(compare "$dvi")
    glyphs=$(grep -c '<use ' p.svg || true)
    pages=$(grep -c '^Paths: page ' p.log || true)
    echo "$label: $pages page(s), $glyphs glyphs; default $(wc -c < d.svg) + $(wc -c < d-fonts.svg) bytes, --paths $(wc -c < p.svg) bytes"
    awk -v d="$1" -v p="$2" 'BEGIN {
        printf "  default: %.3f s   --paths: %.3f s   ratio --paths/default: %.3f\n", d, p, (d > 0 ? p / d : 0);
    }'
}

echo "best of $runs runs each, the two modes alternating"
report "1. a LaTeX page" page.dvi
report "2. plain TeX, every page numbered 1" stack.dvi

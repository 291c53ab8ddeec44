#!/bin/sh
# The Ghostscript time of the picture program, measured in one run:
#   1. a bare Ghostscript start with the program's switches (it quits at once);
#   2. the picture program on a job of the prologues alone (its own load,
#      tex.pro, texps.pro, special.pro and color.pro);
#   3. the picture program on a TikZ page with a dozen shapes (strokes,
#      arrows, a dashed curve, a node with text, a rotated scope, a clip, a
#      shading, a transparent disc, a grid), made here by latex, its job
#      built from the DVI file's specials as the tests build it;
#   4. the whole --paths conversion of that page by morvex (its glyphs and
#      its pictures, no cache);
#   5. the whole --paths conversion of a LaTeX page of text alone, which
#      starts no picture run.
# Each runs RUNS times, alternating; the best run of each counts. Prints
# the times, and the page's own share: (3) less (1).
#
# Usage: sh bench/pictures.sh [BUILD_DIR] [RUNS]   (default build, 9)
set -eu

build=$(cd "${1:-build}" && pwd)
runs=${2:-9}
tool=$build/tests/pictures/picture_job_tool
[ -x "$tool" ] || { echo "no picture_job_tool in $build/tests/pictures (build it)" >&2; exit 1; }

work=$(mktemp -d /tmp/morvex-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT INT TERM
cd "$work"
mkdir private

cat > tikz.tex <<'TEX'
\documentclass{article}
\usepackage{tikz}
\pagestyle{empty}
\begin{document}
\begin{tikzpicture}
\draw[step=0.5,gray!30] (0,-4) grid (6,1);
\draw[thick,->] (0,0) -- (2,1);
\draw[ultra thick,<->,red] (0,0.5) -- (2,0.5);
\fill[red] (3,0) circle (0.5);
\draw[dashed,blue] (0,-1) .. controls (1,0) and (2,-2) .. (3,-1);
\node[draw,fill=yellow] at (1,-2) {Box};
\node[circle,draw=green!50!black] at (3,-2) {$x^2$};
\begin{scope}[rotate=30] \draw (0,0) rectangle (1,0.5); \end{scope}
\begin{scope} \clip (4,0) rectangle (5,1); \fill[green] (4.5,0.5) circle (0.8); \end{scope}
\shade[left color=red,right color=blue] (0,-4) rectangle (2,-3);
\fill[blue,opacity=0.5] (4,-3.5) circle (0.5);
\draw[fill=orange] (5,-1) ellipse (0.8 and 0.4);
\draw (3,-3) -- (3.5,-2.5) -- (4,-3) -- cycle;
\end{tikzpicture}
\end{document}
TEX
latex -interaction=batchmode tikz.tex > /dev/null 2>&1 || { echo "latex failed on tikz.tex" >&2; exit 1; }
cat > text.tex <<'TEX'
\documentclass{article}
\pagestyle{empty}
\begin{document}
A page of text alone: the quick brown fox jumps over the lazy dog, and
$x^2 + y^2 = z^2$ with a few more words.
\end{document}
TEX
latex -interaction=batchmode text.tex > /dev/null 2>&1 || { echo "latex failed on text.tex" >&2; exit 1; }
morvex=$build/src/front/morvex
convert() { "$morvex" --paths -c "$build/config" -o "$1.svg" -O "$1.log" "$1.dvi" > /dev/null 2>&1; }

# The TikZ job and its command; a job of the prologues alone, cut from it
# where its first page begins; a Ghostscript that quits at once.
"$tool" "$work/tikz.dvi" page.job "$work/private" > command.txt
echo quit > quit.ps
program=$(tail -n 1 command.txt)

now() { date +%s.%N; }
run() {  # command words in command.txt, the program replaced by $1, stdin $2
    input=$2
    IFS='
'
    set -- $(sed "\$s|.*|$1|" command.txt)
    unset IFS
    "$@" < "$input" > /dev/null 2>&1
}
best_bare="" best_load="" best_page="" best_conv="" best_text=""
i=0
while [ "$i" -lt "$runs" ]; do
    i=$((i + 1))
    s=$(now); run "$work/quit.ps" /dev/null; a=$(now)
    run "$program" page.job.load; b=$(now)
    run "$program" page.job; c=$(now)
    convert tikz; d=$(now)
    convert text; e=$(now)
    best_conv=$(echo "$c $d $best_conv" | awk '{ t = $2 - $1; if ($3 == "" || t < $3) print t; else print $3 }')
    best_text=$(echo "$d $e $best_text" | awk '{ t = $2 - $1; if ($3 == "" || t < $3) print t; else print $3 }')
    best_bare=$(echo "$s $a $best_bare" | awk '{ t = $2 - $1; if ($3 == "" || t < $3) print t; else print $3 }')
    best_load=$(echo "$a $b $best_load" | awk '{ t = $2 - $1; if ($3 == "" || t < $3) print t; else print $3 }')
    best_page=$(echo "$b $c $best_page" | awk '{ t = $2 - $1; if ($3 == "" || t < $3) print t; else print $3 }')
done

specials=$(grep -c -E ' (ps|psraw|psbegin|quote|psfile|color)$' page.job || true)
echo "Ghostscript, best of $runs runs:"
printf '  %-36s %.3f s\n' "bare start" "$best_bare"
printf '  %-36s %.3f s\n' "program and prologues, no page" "$best_load"
printf '  %-36s %.3f s\n' "TikZ page, $specials chunks" "$best_page"
echo "$best_page $best_bare" | awk '{ printf "  %-36s %.3f s (%.2f of a start)\n", "the page beyond a bare start", $1 - $2, ($1 - $2) / $2 }'
pictures=$(grep -c 'Pictures: Ghostscript ran' text.log || true)
echo "morvex --paths, the whole conversion, best of $runs runs:"
printf '  %-36s %.3f s\n' "the TikZ page" "$best_conv"
printf '  %-36s %.3f s (picture runs: %s)\n' "a page of text alone" "$best_text" "$pictures"

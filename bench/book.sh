#!/bin/sh
# Writes and typesets the book the page benchmarks convert: plain TeX,
# PARAGRAPHS paragraphs of text and inline formulas in cmr, cmbx, cmti,
# cmsl and the math fonts. With the default 5940 paragraphs it makes 364
# pages and 2.7 MB of DVI.
#
# Usage: sh bench/book.sh DIR [PARAGRAPHS]   (writes DIR/book.tex, DIR/book.dvi)
set -eu
dir=$1
paragraphs=${2:-5940}
cd "$dir"
cat > book.tex <<TEX
\\parskip=1.9pt
\\newcount\\n
\\def\\para{Paragraph \\the\\n: the quick brown fox jumps over the lazy dog,
{\\it while the office staff find a fluffy waffle}, {\\bf bold words} and {\\sl a
slanted aside}; then \$x_{\\the\\n}^2+y^2=z^2\$, \$\\sum_{i=1}^n i={n(n+1)\\over2}\$
and \$\\alpha\\beta\\gamma\\le\\Gamma\\Delta\$, with a few more words.\\par}
\\n=0
\\loop\\para\\advance\\n by 1 \\ifnum\\n<$paragraphs \\repeat
\\bye
TEX
tex -interaction=batchmode book.tex > /dev/null 2>&1 || { echo "tex failed on $dir/book.tex" >&2; exit 1; }

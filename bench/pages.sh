#!/bin/sh
# Every page of a book as its own --paths document, measured in one run:
#   - the book of bench/book.sh (364 pages of plain TeX, 2.7 MB of DVI);
#   - a bare page pass (no page selected: the DVI read, no glyphs, no
#     document), the reference;
#   - one page with --paths (its glyphs from Ghostscript), for the memory;
#   - --paths --pages=all -o page-%p.svg: all pages, one extraction;
#   - the same with a warm --cache (no Ghostscript).
# Times are the best of RUNS runs; the peak memory is the largest resident
# size of morvex or of one of its Ghostscript runs. Prints the times, the
# ratio of each to the bare page pass, and the memory of all pages against
# one.
#
# Usage: sh bench/pages.sh [BUILD_DIR] [RUNS]   (default build, 5)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
runs=${2:-5}
morvex=$build/src/front/morvex
config=$build/config
[ -x "$morvex" ] || { echo "no morvex binary in $build/src/front" >&2; exit 1; }

work=$(mktemp -d /tmp/morvex-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT INT TERM
sh "$root/bench/book.sh" "$work"
cd "$work"

# "SECONDS KIB" of one run: the wall time, and the peak resident size from
# /usr/bin/time where there is one, else from a wrapper built here that
# asks getrusage.
now() { date +%s.%N; }
if [ -x /usr/bin/time ]; then
    measure() {
        s=$(now)
        /usr/bin/time -f "%M" -o "$work/time.txt" "$@" > /dev/null 2>&1 < /dev/null || true
        e=$(now)
        echo "$(awk -v s="$s" -v e="$e" 'BEGIN { printf "%.3f", e - s }') $(tail -n 1 "$work/time.txt")"
    }
else
    c++ -O2 -o "$work/peak" "$root/bench/peak.cpp"
    measure() { "$work/peak" "$@" 2> /dev/null < /dev/null | tail -n 1; }
fi

# The best time and the largest memory of RUNS runs.
best() {
    bt="" bm=0 i=0
    while [ "$i" -lt "$runs" ]; do
        i=$((i + 1))
        [ -n "${prepare:-}" ] && eval "$prepare"
        r=$(measure "$@")
        t=${r% *} m=${r#* }
        bt=$(awk -v t="$t" -v b="$bt" 'BEGIN { print (b == "" || t < b) ? t : b }')
        [ "$m" -gt "$bm" ] && bm=$m
    done
    echo "$bt $bm"
}

echo "book.dvi: $(wc -c < book.dvi) bytes, $(dvitype book.dvi | grep -c 'beginning of page') pages; best of $runs runs"
set -- $(best "$morvex" -c "$config" -p -999999 -o none.svg -O none.log book.dvi)
bare_s=$1 bare_kb=$2
set -- $(best "$morvex" --paths -c "$config" --pages=1 -o one.svg -O one.log book.dvi)
one_s=$1 one_kb=$2
# Each run writes into an empty directory, as a first conversion does.
prepare='rm -rf pages && mkdir pages'
set -- $(best "$morvex" --paths -c "$config" --pages=all -o pages/page-%p.svg -O all.log book.dvi)
all_s=$1 all_kb=$2
written=$(ls pages | wc -l)
bytes=$(cat pages/page-*.svg | wc -c)
prepare=''
"$morvex" --paths -c "$config" --cache="$work/cache" --pages=1 -o warm.svg -O warm.log book.dvi > /dev/null 2>&1 || true
prepare='rm -rf pages && mkdir pages'
set -- $(best "$morvex" --paths -c "$config" --cache="$work/cache" --pages=all -o pages/page-%p.svg -O cached.log book.dvi)
warm_s=$1 warm_kb=$2

echo "documents written: $written, $bytes bytes"
awk -v b="$bare_s" -v bk="$bare_kb" -v o="$one_s" -v ok="$one_kb" -v a="$all_s" -v ak="$all_kb" \
    -v w="$warm_s" -v wk="$warm_kb" 'BEGIN {
    printf "bare page pass (no page):          %6.3f s  peak %7d KiB\n", b, bk;
    printf "--paths, page 1:                   %6.3f s  peak %7d KiB  (%.1f x the page pass)\n", o, ok, o / b;
    printf "--paths --pages=all -o page-%%p.svg: %6.3f s  peak %7d KiB  (%.1f x the page pass)\n", a, ak, a / b;
    printf "the same, warm --cache:            %6.3f s  peak %7d KiB  (%.1f x the page pass)\n", w, wk, w / b;
    printf "peak memory, all pages / page 1: %.2f\n", ak / ok;
}'

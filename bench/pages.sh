#!/bin/sh
# Every page of a book as its own --paths document, measured in one run:
#   - the book of bench/book.sh (364 pages of plain TeX, 2.7 MB of DVI);
#   - a bare page pass (no page selected: the DVI read, no glyphs, no
#     document), the reference;
#   - one page with --paths (its glyphs from Ghostscript), for the memory;
#   - --paths --pages=all -o page-%p.svg: all pages, one extraction;
#   - page 1 and all pages with a warm --cache (no Ghostscript: the memory
#     is morvex's own).
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

# "SECONDS KIB CPU" of one run: the wall time, the peak resident size and
# the processor time (user and system, Ghostscript's included), from
# /usr/bin/time where there is one, else from a wrapper built here that
# asks getrusage. On a machine shared with other work the processor time
# moves less than the wall time.
now() { date +%s.%N; }
if [ -x /usr/bin/time ]; then
    measure() {
        s=$(now)
        /usr/bin/time -f "%M %U %S" -o "$work/time.txt" "$@" > /dev/null 2>&1 < /dev/null || true
        e=$(now)
        tail -n 1 "$work/time.txt" | awk -v s="$s" -v e="$e" '{ printf "%.3f %d %.3f\n", e - s, $1, $2 + $3 }'
    }
else
    c++ -O2 -o "$work/peak" "$root/bench/peak.cpp"
    measure() { "$work/peak" "$@" 2> /dev/null < /dev/null | tail -n 1; }
fi

# The best time, the largest memory and the least processor time of RUNS
# runs.
best() {
    bt="" bm=0 bc="" i=0
    while [ "$i" -lt "$runs" ]; do
        i=$((i + 1))
        [ -n "${prepare:-}" ] && eval "$prepare"
        r=$(measure "$@")
        t=$(echo "$r" | cut -d' ' -f1) m=$(echo "$r" | cut -d' ' -f2) c=$(echo "$r" | cut -d' ' -f3)
        bt=$(awk -v t="$t" -v b="$bt" 'BEGIN { print (b == "" || t < b) ? t : b }')
        bc=$(awk -v t="$c" -v b="$bc" 'BEGIN { print (b == "" || t < b) ? t : b }')
        [ "$m" -gt "$bm" ] && bm=$m
    done
    echo "$bt $bm $bc"
}

echo "book.dvi: $(wc -c < book.dvi) bytes, $(dvitype book.dvi | grep -c 'beginning of page') pages; best of $runs runs"
set -- $(best "$morvex" -c "$config" -p -999999 -o none.svg -O none.log book.dvi)
bare_s=$1 bare_kb=$2 bare_c=$3
set -- $(best "$morvex" --paths -c "$config" --pages=1 -o one.svg -O one.log book.dvi)
one_s=$1 one_kb=$2 one_c=$3
# Each run writes into an empty directory, as a first conversion does.
prepare='rm -rf pages && mkdir pages'
set -- $(best "$morvex" --paths -c "$config" --pages=all -o pages/page-%p.svg -O all.log book.dvi)
all_s=$1 all_kb=$2 all_c=$3
written=$(ls pages | wc -l)
bytes=$(cat pages/page-*.svg | wc -c)
prepare=''
"$morvex" --paths -c "$config" --cache="$work/cache" --pages=1 -o warm.svg -O warm.log book.dvi > /dev/null 2>&1 || true
set -- $(best "$morvex" --paths -c "$config" --cache="$work/cache" --pages=1 -o warm.svg -O warm.log book.dvi)
warm1_s=$1 warm1_kb=$2 warm1_c=$3
prepare='rm -rf pages && mkdir pages'
set -- $(best "$morvex" --paths -c "$config" --cache="$work/cache" --pages=all -o pages/page-%p.svg -O cached.log book.dvi)
warm_s=$1 warm_kb=$2 warm_c=$3

echo "documents written: $written, $bytes bytes"
echo "                                    wall      cpu     peak  wall / page pass"
line() { awk -v n="$1" -v t="$2" -v c="$3" -v k="$4" -v b="$bare_s" 'BEGIN {
    printf "%-34s %6.3f s %6.3f s %7d KiB  %5.1f\n", n, t, c, k, t / b }'; }
line "bare page pass (no page)" "$bare_s" "$bare_c" "$bare_kb"
line "--paths, page 1" "$one_s" "$one_c" "$one_kb"
line "--paths --pages=all -o page-%p.svg" "$all_s" "$all_c" "$all_kb"
line "page 1, warm --cache" "$warm1_s" "$warm1_c" "$warm1_kb"
line "all pages, warm --cache" "$warm_s" "$warm_c" "$warm_kb"
awk -v ok="$one_kb" -v ak="$all_kb" -v w1k="$warm1_kb" -v wk="$warm_kb" 'BEGIN {
    printf "peak memory, all pages / page 1: %.2f (with Ghostscript), %.2f (morvex alone, warm cache)\n",
           ak / ok, wk / w1k;
}'

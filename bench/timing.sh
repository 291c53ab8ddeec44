# Sourced by the benchmarks: wall time of a command, best of five runs (the
# least disturbed). When $prepare is set it is evaluated before each run,
# outside the time taken.
now() { date +%s.%N; }
best() {
    b=""
    for i in 1 2 3 4 5; do
        [ -n "${prepare:-}" ] && eval "$prepare"
        s=$(now)
        "$@" > /dev/null 2>&1 < /dev/null || true
        e=$(now)
        b=$(awk -v s="$s" -v e="$e" -v b="$b" 'BEGIN { t = e - s; if (b == "" || t < b) b = t; print b }')
    done
    echo "$b"
}

#!/bin/sh
# Builds the libFuzzer targets with clang in build-fuzz and runs each for a
# bounded time, starting from the seed corpora in tests/fuzz/corpus/<target>.
# What a run finds (new inputs that reach new code) goes to the run's own
# corpus, build-fuzz/corpus/<target>, which later runs start from too; the
# checkout is left as it was. To keep the new inputs, merge them into the
# seeds (only those that add coverage are copied):
#   build-fuzz/tests/fuzz/fuzz_dvi -merge=1 tests/fuzz/corpus/dvi build-fuzz/corpus/dvi
#
# Usage: scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]
#   SECONDS_PER_TARGET  default 60
#   TARGET              dvi, tfm, psmap (default all three)
# A crash, hang, leak or memory blow-up stops the script with a failure; the
# input that caused it is left in build-fuzz/findings.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-fuzz
seconds=${1:-60}
[ $# -gt 0 ] && shift
targets=${*:-dvi tfm psmap}

cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DMORVEX_FUZZ=ON -DMORVEX_TESTS=OFF >/dev/null
for t in $targets; do
    cmake --build "$build" -j"$(nproc)" --target "fuzz_$t"
done

mkdir -p "$build/findings"
# kpathsea keeps its caches for the life of the process.
export LSAN_OPTIONS=suppressions=$root/tests/sanitizers/lsan.supp
export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for t in $targets; do
    seeds=$root/tests/fuzz/corpus/$t
    corpus=$build/corpus/$t
    mkdir -p "$corpus"
    # kpathsea allocates for every new name it is asked for, which would make
    # libFuzzer run a leak check after nearly every input of the whole run.
    # Its leaks are instead caught by the check at the end of the process,
    # which sees every block the run still holds.
    leaks=1
    [ "$t" = dvi ] && leaks=0
    echo "== fuzz_$t: ${seconds} s from $(ls "$seeds" | wc -l) seeds and $(ls "$corpus" | wc -l) inputs of earlier runs"
    # One job; the log of the run is kept beside the findings.
    if ! (cd "$build/findings" && "$build/tests/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=10 \
            -rss_limit_mb=2048 -max_len=8192 -detect_leaks=$leaks -print_final_stats=1 -artifact_prefix="$build/findings/$t-" \
            "$corpus" "$seeds" > "$build/findings/$t.log" 2>&1); then
        tail -60 "$build/findings/$t.log"
        echo "fuzz_$t found a fault; the input is in $build/findings" >&2
        exit 1
    fi
    grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)' "$build/findings/$t.log" || true
    echo "   run corpus ($corpus) now $(ls "$corpus" | wc -l) inputs"
done

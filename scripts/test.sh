#!/bin/sh
# Installs what is missing, builds morvex with its tests and runs them all:
# first the normal build, then the same suite under AddressSanitizer and
# UndefinedBehaviorSanitizer, and last each libFuzzer target for a bounded
# time (scripts/fuzz.sh; FUZZ_SECONDS per target, default 60).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
sh "$root/scripts/install-deps.sh"

sh "$root/scripts/build.sh" "$root/build"
(cd "$root/build" && ctest --output-on-failure -j"$jobs")

sh "$root/scripts/build.sh" "$root/build-sanitize" -DMORVEX_SANITIZE=ON
(
    cd "$root/build-sanitize"
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    export LSAN_OPTIONS=suppressions=$root/tests/sanitizers/lsan.supp
    ctest --output-on-failure -j"$jobs"
)

sh "$root/scripts/fuzz.sh" "${FUZZ_SECONDS:-60}"

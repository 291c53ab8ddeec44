#!/bin/sh
# Configures and builds morvex in build/ (or the directory given).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
shift 2>/dev/null || true
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"

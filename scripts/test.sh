#!/bin/sh
# Installs what is missing, builds morvex with its tests and runs them all.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
sh "$root/scripts/install-deps.sh"
sh "$root/scripts/build.sh" "$root/build"
cd "$root/build"
ctest --output-on-failure -j"$(nproc)"

#!/bin/sh
# Installs what is missing, builds morvex and converts the bundled example:
# writes out.svg, fonts.svg and out.log into the current directory.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
sh "$root/scripts/install-deps.sh"
sh "$root/scripts/build.sh" "$root/build"
mkdir -p "$root/build/examples"
(cd "$root/build/examples" && tex -interaction=nonstopmode -halt-on-error "$root/examples/example.tex" >/dev/null)
"$root/build/src/front/morvex" -c "$root/build/config" "$root/build/examples/example.dvi"

#!/bin/sh
# Installs the Debian packages morvex builds, runs and tests with, if any is
# missing. Run as root (or through sudo).
set -eu
packages="g++ cmake make pkg-config libkpathsea-dev ghostscript texlive-base texlive-binaries
libgtest-dev libxml2-utils clang libclang-rt-dev dvipng chromium libpng-dev zlib1g-dev fonts-dejavu-core
texlive-latex-base texlive-latex-recommended texlive-fonts-recommended texlive-pictures
texlive-pstricks preview-latex-style lmodern cm-super-minimal t1utils"
missing=""
for p in $packages; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
if [ -n "$missing" ]; then
    echo "Installing:$missing"
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO=sudo
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $missing
fi

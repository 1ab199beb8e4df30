#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Installs every build and test dependency from Debian's packages.
# Idempotent and quiet when everything is present already.
set -euo pipefail

packages=(
    cmake g++ make pkg-config
    qt6-base-dev libobs-dev
    xvfb xauth xdotool imagemagick fonts-dejavu-core
    libbenchmark-dev libgtest-dev
    clang-14 libclang-rt-14-dev
    debootstrap
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
# npm fetches the remote flows' client; a Node.js from elsewhere will do.
command -v npm >/dev/null || missing+=(nodejs npm)
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    sudo=sudo
else
    sudo=
fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian machine: with apt when run as root,
# otherwise it prints the one apt command to run and fails. With package names as arguments it
# installs those instead (scripts/windows.sh names the cross compiler and Wine).
set -euo pipefail

packages=(cmake make g++ libgtest-dev clang libclang-rt-dev gdal-bin libxml2-utils)
if [ $# -gt 0 ]; then
    packages=("$@")
fi
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi
if [ "$(id -u)" -eq 0 ]; then
    echo "installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
else
    echo "missing packages; run:"
    echo "  sudo apt-get update && sudo apt-get install -y ${missing[*]}"
    exit 1
fi

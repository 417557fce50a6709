#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, once.
set -euo pipefail

packages=(cmake g++ make pkg-config python3 libgtest-dev darts openjdk-17-jdk-headless junit4
  clang libclang-rt-14-dev valgrind g++-mingw-w64-x86-64)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

#!/usr/bin/env bash
# Installs the Debian packages the build needs, when any is missing.
set -euo pipefail
pkgs=(cmake ninja-build g++ clang libclang-rt-14-dev pkg-config
      libgtest-dev libgmock-dev libbenchmark-dev libexpat1-dev libsodium-dev
      python3
      # bench only: the reference libraries of the side-by-side rows
      libmuparser-dev libgsl-dev
      # tests only: the exact reference of the planar booleans, and localedef
      # for the locales the library is tried in
      libcgal-dev locales)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

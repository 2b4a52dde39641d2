#!/usr/bin/env bash
# Installs the Debian packages needed to build, test and run KorvelSVN, skipping those already present.
set -euo pipefail
packages=(
  cmake g++ clang ninja-build pkg-config
  qt6-base-dev qt6-svg-dev libqt6svg6 qcoro-qt6-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libicu-dev sqlite3 subversion git libarchive-tools unzip python3
  fuse3 python3-fusepy
  xvfb xauth openbox xdotool x11-utils
  fonts-dejavu-core libclang-rt-14-dev
)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages: ${missing[*]}" >&2
  echo "Run this script as root, or install them with apt-get." >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"

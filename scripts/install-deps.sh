#!/usr/bin/env bash
# Installs the Debian packages the project needs, only when one is missing.
# Works as root, or as a normal user through sudo.
set -euo pipefail
packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev libgl-dev
  libsqlcipher-dev sqlcipher
  libpq-dev postgresql
  libmdb3 mdbtools-dev mdbtools
  libgtest-dev libgmock-dev libbenchmark-dev
  g++-mingw-w64-x86-64-posix
  fonts-noto-cjk fonts-dejavu-core
  xvfb xauth x11-utils imagemagick
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"

#!/usr/bin/env bash
# Installs, on Debian 12, every package the build and the tests need; does nothing for packages
# already there.
set -euo pipefail

packages=(
  cmake ninja-build g++ libgtest-dev googletest clang-format python3
  clang libclang-rt-dev
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
  wine64 xvfb xauth imagemagick fonts-wqy-microhei
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

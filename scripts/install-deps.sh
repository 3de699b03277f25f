#!/usr/bin/env bash
# Installs, on Debian 12, every package the build and the tests need; does nothing for packages
# already there.
set -euo pipefail

packages=(
  cmake ninja-build g++ libgtest-dev googletest clang-format python3
  clang libclang-rt-dev
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
  wine64 xvfb xauth imagemagick fonts-wqy-microhei
  cups cups-daemon cups-client cups-filters libcups2-dev
  osslsigncode openssl zip unzip dpkg-dev lintian wixl msitools
  ansible-core python3-apt yamllint
  libpappl-dev libpng-dev pkg-config cups-ipp-utils
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
# The tests run a private CUPS scheduler of their own; installing cups must not start the
# machine's service either, so service starts are refused for the length of this install (unless
# the machine already has a policy of its own).
if [ ! -e /usr/sbin/policy-rc.d ]; then
  printf '#!/bin/sh\nexit 101\n' | $sudo tee /usr/sbin/policy-rc.d >/dev/null
  $sudo chmod 755 /usr/sbin/policy-rc.d
  trap '$sudo rm -f /usr/sbin/policy-rc.d' EXIT
fi
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

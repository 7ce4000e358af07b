#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the benchmarks need.
# Safe to run again: it only calls apt-get when something is missing.
set -euo pipefail

packages=(
  build-essential cpp cmake ninja-build ccache pkg-config clang
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-svg-dev
  libcurl4-openssl-dev libssl-dev libzip-dev zlib1g-dev libsqlite3-dev
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  nginx-light vsftpd tinyproxy curl zip unzip p7zip-full
  fonts-dejavu-core poppler-utils xvfb xauth libx11-dev libxtst-dev xdotool
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  # Servers are started by the tests themselves; keep the packages' own
  # services from starting (and holding ports) at install time.
  printf '#!/bin/sh\nexit 101\n' | "${sudo_cmd[@]}" tee /usr/sbin/policy-rc.d >/dev/null
  "${sudo_cmd[@]}" chmod +x /usr/sbin/policy-rc.d
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
  "${sudo_cmd[@]}" rm -f /usr/sbin/policy-rc.d
fi

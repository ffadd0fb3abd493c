#!/usr/bin/env bash
# Installs the Debian packages the project builds and runs with; only what is missing.
set -euo pipefail
packages=(
  cmake ninja-build g++ ccache pkg-config
  qt6-base-dev libgl-dev qt6-translations-l10n
  libopencv-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev lld
  xvfb xauth x11-utils imagemagick fonts-noto-cjk xdotool
  locales python3
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
# Tests write numbers with a German locale set in the process: it must exist.
if ! locale -a 2>/dev/null | grep -qix 'de_DE.utf-\?8'; then
  echo "Generating locale de_DE.UTF-8"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi

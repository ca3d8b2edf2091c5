#!/usr/bin/env bash
# Installs the Debian packages that building, testing and the demo need, when they are missing.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libfltk1.3-dev libxext-dev fonts-ipafont-gothic
  xvfb xdotool x11-utils imagemagick
  libpcre2-dev curl
  g++-mingw-w64-x86-64-posix wine wine64 dpkg-dev zip
  # Wine's X driver loads these at run time (only recommended by libwine): without them
  # the Windows window has no anti-aliased text, cursors or screen geometry.
  libxrender1 libxcursor1 libxi6 libxrandr2 libxcomposite1 libxinerama1 libxfixes3
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

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"

#!/usr/bin/env bash
# Installs the Debian packages that Tavelin's build, tests and demo need, when they are missing.
# The one place that knows the packages:
#   scripts/install-deps.sh build   what building and running tavelin and the simulator need
#   scripts/install-deps.sh [all]   that, plus the test suites, benchmarks and packaging
set -euo pipefail

build_packages=(
  g++ cmake ninja-build pkg-config
  libpcre2-dev                       # channel name patterns (32-bit code units, JIT)
  libfltk1.3-dev libxext-dev         # the desktop window and its shaped outline
  fonts-ipafont-gothic               # the window's Japanese texts
)
test_packages=(
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  xvfb xdotool x11-utils imagemagick # desktop window tests and screenshots
  curl                               # the download benchmark's reference client
  time                               # the fetch benchmark: the process's peak memory and CPU time
  libxml2-dev                        # the tokenizer benchmark's reference parser
  dpkg-dev file                      # make package: dpkg-shlibdeps finds the runtime libraries
  clang libclang-rt-dev llvm         # the fuzzing harnesses: clang, libFuzzer, llvm-symbolizer
  # The Windows build is 32-bit like the host; its tests run under Wine's WoW64, which needs
  # the i386 half of Wine (wine32:i386, added with the i386 architecture below).
  g++-mingw-w64-i686-posix wine wine64 wine32:i386 zip
  # A machine that runs no 32-bit code tests the 64-bit build of the same sources instead.
  g++-mingw-w64-x86-64-posix
  # Wine's X driver loads these at run time (only recommended by libwine): without them
  # the Windows window has no anti-aliased text, cursors or screen geometry.
  libxrender1 libxcursor1 libxi6 libxrandr2 libxcomposite1 libxinerama1 libxfixes3
)

case "${1:-all}" in
  build) packages=("${build_packages[@]}") ;;
  all) packages=("${build_packages[@]}" "${test_packages[@]}") ;;
  *)
    echo "usage: $0 [build|all]" >&2
    exit 2
    ;;
esac

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
# A package named for another architecture (wine32:i386) needs that architecture known to dpkg
# before the package lists are read.
for p in "${missing[@]}"; do
  case "$p" in
    *:i386)
      if ! dpkg --print-foreign-architectures | grep -qx i386; then
        "${sudo_cmd[@]}" dpkg --add-architecture i386
      fi
      ;;
  esac
done
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"

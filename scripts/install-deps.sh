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
  libxml2-dev                        # the tokenizer benchmark's reference parser
  dpkg-dev file                      # make package: dpkg-shlibdeps finds the runtime libraries
  clang libclang-rt-dev llvm         # the fuzzing harnesses: clang, libFuzzer, llvm-symbolizer
  g++-mingw-w64-x86-64-posix wine wine64 zip  # the Windows build, its Wine tests, make windows
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
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"

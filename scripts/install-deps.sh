#!/usr/bin/env bash
# Installs the Debian packages that one purpose needs, when they are missing. The one place
# that knows the packages:
#
#   scripts/install-deps.sh build     building and running tavelin and the simulator (make demo,
#                                     make build)
#   scripts/install-deps.sh package   that, plus the Debian packaging tools (make package)
#   scripts/install-deps.sh windows   the cross-compiler and zip for tavelin.exe (make windows)
#   scripts/install-deps.sh lint      clang-tidy and clang-format (make lint)
#   scripts/install-deps.sh test      everything: every build above, the test suites, Wine,
#                                     benchmarks and fuzzing (make test)
#
# A package mirror is not always consistent (one index half-synchronised for hours): an index
# that `apt-get update` cannot fetch after a few tries is a warning, and the install goes on
# with the lists it has. Only a needed package that cannot be installed stops the script,
# named with apt's reason. The i386 half of Wine is a step of its own: without it the Windows
# suites test the 64-bit build of the same sources (scripts/windows-test-build.sh says which).
set -euo pipefail

build_packages=(
  g++ cmake ninja-build pkg-config
  libpcre2-dev                       # channel name patterns (32-bit code units, JIT)
  libfltk1.3-dev libxext-dev         # the desktop window and its shaped outline
  fonts-ipafont-gothic               # the window's Japanese texts
)
package_packages=(
  dpkg-dev file                      # dpkg-shlibdeps finds the runtime libraries
)
windows_packages=(
  g++ cmake ninja-build              # the build, and the icon drawn by a build-machine program
  libpcre2-dev dpkg-dev              # PCRE2 is built from Debian's source of the same version
  g++-mingw-w64-i686-posix           # tavelin.exe is 32-bit like the host
  zip
)
lint_packages=(
  clang-tidy clang-format
  # clang-tidy reads the asan preset's compile commands, so that preset must configure: clang,
  # CMake, the libraries it finds, and mingw-w64's headers for the Windows-only sources.
  clang cmake ninja-build pkg-config libpcre2-dev libfltk1.3-dev libxext-dev
  libgtest-dev libgmock-dev g++-mingw-w64-x86-64-posix
)
test_packages=(
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  xvfb xdotool x11-utils imagemagick # desktop window tests and screenshots
  curl                               # the download benchmark's reference client
  time                               # the fetch benchmark: the process's peak memory and CPU time
  libxml2-dev                        # the tokenizer benchmark's reference parser
  python3-icalendar khal             # two real readers of the calendar tavelin-calendar writes
  clang libclang-rt-dev llvm         # clang builds, the fuzzing harnesses, llvm-symbolizer
  # The 64-bit build of the same sources, for a machine without 32-bit Wine, and Wine itself.
  g++-mingw-w64-x86-64-posix wine wine64
  # Wine's X driver loads these at run time (only recommended by libwine): without them
  # the Windows window has no anti-aliased text, cursors or screen geometry.
  libxrender1 libxcursor1 libxi6 libxrandr2 libxcomposite1 libxinerama1 libxfixes3
)
# The 32-bit Windows suites run under Wine's WoW64, which needs the i386 half of Wine.
wine32_package=wine32:i386

usage() {
  echo "usage: $0 build|package|windows|lint|test" >&2
  exit 2
}

purpose=${1:-test}
case "$purpose" in
  build) packages=("${build_packages[@]}") ;;
  package) packages=("${build_packages[@]}" "${package_packages[@]}") ;;
  windows) packages=("${windows_packages[@]}") ;;
  lint) packages=("${lint_packages[@]}") ;;
  test | all)
    packages=("${build_packages[@]}" "${package_packages[@]}" "${windows_packages[@]}"
      "${lint_packages[@]}" "${test_packages[@]}")
    ;;
  *) usage ;;
esac
want_wine32=false
if [ "$purpose" = test ] || [ "$purpose" = all ]; then
  want_wine32=true
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done
if $want_wine32 && ! installed "$wine32_package"; then
  need_wine32=true
else
  need_wine32=false
fi
if [ ${#missing[@]} -eq 0 ] && ! $need_wine32; then
  exit 0
fi

# The i386 architecture must be known to dpkg before the package lists are read.
if $need_wine32 && ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
fi

# `apt-get update`, tried up to four times with growing waits (once when only the optional
# wine32 is missing). The last failure's index errors are shown as a warning; the lists that
# did come are used.
waits=(3 6 12 0)
[ ${#missing[@]} -gt 0 ] || waits=(0)
update_log=$(mktemp)
trap 'rm -f "$update_log"' EXIT
updated=false
for wait_s in "${waits[@]}"; do
  if "${sudo_cmd[@]}" apt-get update -qq >"$update_log" 2>&1; then
    updated=true
    break
  fi
  [ "$wait_s" -gt 0 ] || break
  echo "install-deps: apt-get update failed; trying again in ${wait_s} s" >&2
  sleep "$wait_s"
done
if ! $updated; then
  echo "install-deps: warning: some package indexes could not be fetched; going on with the lists there are:" >&2
  grep -E '^(E|W):' "$update_log" | sed 's/^/  /' >&2 || true
fi

# apt's own reason a package cannot be installed: its error lines, or the unmet dependency.
install_reason() {
  "${sudo_cmd[@]}" apt-get install -s --no-install-recommends "$1" 2>&1 |
    grep -E '^(E:| [^ ].*: Depends:|  *Depends:)' | head -n 8 || true
}

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  if ! "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"; then
    # Find out which of them cannot be installed, and install the others one by one.
    failed=()
    for p in "${missing[@]}"; do
      installed "$p" && continue
      if ! "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "$p" >/dev/null 2>&1; then
        failed+=("$p")
      fi
    done
    if [ ${#failed[@]} -gt 0 ]; then
      for p in "${failed[@]}"; do
        echo "install-deps: cannot install $p:" >&2
        install_reason "$p" | sed 's/^/  /' >&2
      done
      exit 1
    fi
  fi
fi

if $need_wine32; then
  if "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "$wine32_package" >/dev/null 2>&1; then
    echo "install-deps: installed $wine32_package (scripts/windows-test-build.sh says whether this machine runs it)"
  else
    reason=$(install_reason "$wine32_package" | head -n 1 | sed 's/^ *//')
    echo "install-deps: $wine32_package cannot be installed (${reason:-apt gave no reason}); the Windows suites will test the 64-bit build of the same sources instead" >&2
  fi
fi

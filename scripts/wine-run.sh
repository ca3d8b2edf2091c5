#!/usr/bin/env bash
# Runs Windows programs of a build folder under Wine, in a Wine prefix inside that folder.
#
#   wine-run.sh <build folder> start        creates the prefix when missing and starts a
#                                           persistent wineserver (-p) for it
#   wine-run.sh <build folder> stop         ends that wineserver (and what runs under it)
#   wine-run.sh <build folder> <program.exe> [arguments...]
#                                           runs the program and gives back its exit code
#
# CMake uses the third form as CMAKE_CROSSCOMPILING_EMULATOR, and CTest runs "start" and
# "stop" as the fixture around the Windows tests: without a persistent server every program
# start sets up and tears down Wine again (seconds each). Wine's own messages are silenced
# and the dialogs offering Mono and Gecko are turned off. Programs see no display unless
# TAVELIN_WINE_DISPLAY names one (for example the Xvfb of a window test): it becomes DISPLAY.
#
# Isolation: the prefix is <build folder>/wineprefix unless TAVELIN_WINE_PREFIX names another,
# so suites that cannot share a registry, a named mutex or a temp folder use prefixes of their
# own. Wine sets TEMP and TMP of every program it starts from the prefix's registry
# (HKCU\Environment), whatever the Linux environment says; when TAVELIN_WINE_TEMP names a
# Linux folder, it is made and written there first, so the program uses that folder and never
# the prefix's shared one. A prefix whose TEMP is set this way must be used by one program at
# a time (CTest's RESOURCE_LOCK).
set -euo pipefail

build=$(realpath -m "$1")
shift
export WINEPREFIX="${TAVELIN_WINE_PREFIX:-$build/wineprefix}"
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml,winemenubuilder.exe=d}
export WINEARCH=win64
unset WAYLAND_DISPLAY
if [ -n "${TAVELIN_WINE_DISPLAY:-}" ]; then
  export DISPLAY=$TAVELIN_WINE_DISPLAY
else
  unset DISPLAY
fi

# The programs are 32-bit: they run under the 32-bit loader (Debian's wine32:i386) in a
# 64-bit prefix, as on 64-bit Windows. A prefix made before wine32 was installed cannot
# start them ("could not load kernel32.dll"); delete it to have it made again. A build made
# with TAVELIN_WINDOWS_ARCH=x86_64 (preset windows-x64, for a machine that runs no 32-bit
# code) runs under the 64-bit loader.
arch=$(sed -n 's/^TAVELIN_WINDOWS_ARCH:[A-Z]*=//p' "$build/CMakeCache.txt" 2>/dev/null || true)
if [ "$arch" = "x86_64" ]; then
  wine=/usr/lib/wine/wine64
  [ -x "$wine" ] || { echo "wine-run.sh: $wine is missing (wine64, scripts/install-deps.sh)" >&2; exit 1; }
else
  wine=/usr/lib/wine/wine
  [ -x "$wine" ] || { echo "wine-run.sh: $wine is missing (wine32:i386, scripts/install-deps.sh)" >&2; exit 1; }
fi
wineserver=$(command -v wineserver || true)
[ -n "$wineserver" ] || wineserver=/usr/lib/wine/wineserver

case "${1:-}" in
  start)
    mkdir -p "$WINEPREFIX"
    # Fails when a server of this prefix runs already, which serves as well.
    "$wineserver" -p 2>/dev/null || true
    # Boots the prefix (created on first use) and its background services now, with their
    # output on /dev/null: a service started by the first test program would inherit that
    # program's output pipe and keep CTest waiting for it to close.
    "$wine" wineboot --init </dev/null >/dev/null 2>&1
    # The window's faces as on a Japanese Windows, for the tests that measure captions.
    if [ ! -f "$WINEPREFIX/japanese-fonts.reg" ]; then
      "$(dirname "$0")/wine-japanese-fonts.sh" "$wine" </dev/null >/dev/null 2>&1 || true
    fi
    # The prefix's own temp folder becomes a file: a test program that would use it instead
    # of its own temp folder fails at once rather than meeting another test's files.
    shared_temp="$WINEPREFIX/drive_c/users/$(id -un)/Temp"
    if [ -d "$shared_temp" ] && rmdir "$shared_temp" 2>/dev/null; then
      echo "Not a folder: each test program has a temp folder of its own." >"$shared_temp"
    fi
    ;;
  stop)
    "$wineserver" -k 2>/dev/null || true
    ;;
  "")
    echo "usage: wine-run.sh <build folder> start|stop|<program> [arguments]" >&2
    exit 2
    ;;
  *)
    if [ -n "${TAVELIN_WINE_TEMP:-}" ]; then
      mkdir -p "$TAVELIN_WINE_TEMP"
      windows_temp="Z:$(realpath "$TAVELIN_WINE_TEMP")"
      windows_temp=${windows_temp//\//\\\\}
      reg_file="$TAVELIN_WINE_TEMP/.environment.reg"
      printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Environment]\r\n"TEMP"="%s"\r\n"TMP"="%s"\r\n' \
        "$windows_temp" "$windows_temp" >"$reg_file"
      # A failed write is said with regedit's exit code and output, and tried twice more:
      # before, it ended this script silently and the test showed no output at all.
      written=false
      for try in 1 2 3; do
        status=0
        "$wine" regedit /S "Z:${reg_file//\//\\}" </dev/null >"$reg_file.out" 2>&1 || status=$?
        if [ $status -eq 0 ]; then
          written=true
          break
        fi
        echo "wine-run.sh: regedit could not set TEMP and TMP (try $try, exit code $status): $(head -c 300 "$reg_file.out")" >&2
        sleep "$try"
      done
      rm -f "$reg_file" "$reg_file.out"
      $written || exit 1
    fi
    # Not exec: a program that ends with a failure code is said with that code (Wine passes
    # its low 8 bits), so that a start Wine refused, which prints nothing of the program's
    # own, still leaves a line in the test's log.
    status=0
    "$wine" "$@" || status=$?
    if [ $status -ne 0 ]; then
      echo "wine-run.sh: $(basename "$1") ended with exit code $status" >&2
    fi
    exit $status
    ;;
esac

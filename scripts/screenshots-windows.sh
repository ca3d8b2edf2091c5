#!/usr/bin/env bash
# Renders the README's screenshots of the Windows settings window and About window into
# docs/ (PNG): tavelin.exe of the windows preset runs under Wine on a private X server
# (Xvfb), in a Wine prefix of the build folder with Japanese font links, with a throw-away
# root folder, and is driven with xdotool as a person would use it.
#
#   scripts/screenshots-windows.sh [build folder]     (default: build/windows)
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
build="$(realpath -m "${1:-$here/build/windows}")"
program="$build/src/tavelin.exe"
docs="$here/docs"
[ -f "$program" ] || { echo "no program at $program; build first (cmake --preset windows)" >&2; exit 1; }
for tool in Xvfb xdotool xprop import convert; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done
# tavelin.exe is 32-bit: the 32-bit loader (wine32:i386) runs it; a build of the preset
# windows-x64 (a machine that runs no 32-bit code) runs under the 64-bit loader.
wine=/usr/lib/wine/wine
if grep -q '^TAVELIN_WINDOWS_ARCH:.*=x86_64$' "$build/CMakeCache.txt" 2>/dev/null; then
  wine=/usr/lib/wine/wine64
fi
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
[ -x "$wine" ] || { echo "$wine is missing (wine32:i386, or wine64)" >&2; exit 1; }

work="$(mktemp -d)"
xvfb_pid=""
app_pid=""
export WINEPREFIX="$build/wine-screenshots"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d"
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  "$wineserver" -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
# shellcheck source=scripts/screenshot-lib.sh
source "$here/scripts/screenshot-lib.sh"

start_xvfb

mkdir -p "$WINEPREFIX"
"$wineserver" -p
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Making the Wine prefix $WINEPREFIX"
  "$wine" wineboot --init >/dev/null 2>&1
  "$here/scripts/wine-japanese-fonts.sh" "$wine" >/dev/null 2>&1
fi

winpath() { printf 'Z:%s' "${1//\//\\}"; }
mkdir -p "$work/root" "$work/out"
"$wine" reg delete 'HKCU\software\Morvik' /f >/dev/null 2>&1 || true
"$wine" reg add 'HKCU\software\Morvik\Qadrel2\etc' /v RootPath /d "$(winpath "$work/root/")" /f >/dev/null

# The screen's resolution as Windows' display scale sets it; the wineserver (and the desktop
# process with it) is started afresh so that the next program sees the new value.
set_dpi() {
  "$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null
  "$wineserver" -k 2>/dev/null || true
  "$wineserver" -w 2>/dev/null || true
  "$wineserver" -p
}

# At 96 dpi (100 %), then at 144 dpi (150 %, the default of most laptops).
for dpi in 96 144; do
  set_dpi "$dpi"
  # Written afresh for each run: the last one saved the password typed into it.
  printf '[RD1]\r\nRDH1_IP_Text=192.168.0.20\r\nRDH1_Port_Text=80\r\nRDH1_ID_Text=rd\r\nWRecSetting_ItemIndex=1\r\n' \
    >"$work/root/nubra.ini"
  "$wine" "$program" "$(winpath "$work/out/RD1")" /c >/dev/null 2>&1 &
  app_pid=$!
  prefix="windows-"
  [ "$dpi" = 96 ] || prefix="windows-${dpi}dpi-"
  capture_settings_and_about tavelin.exe "$prefix" 150 "$dpi"
  wait "$app_pid" || true
  app_pid=""
done
set_dpi 96

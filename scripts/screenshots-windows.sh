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
# tavelin.exe is 32-bit: the 32-bit loader (wine32:i386) runs it.
wine=/usr/lib/wine/wine
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
[ -x "$wine" ] || { echo "$wine is missing (wine32:i386)" >&2; exit 1; }

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
printf '[RD1]\r\nRDH1_IP_Text=192.168.0.20\r\nRDH1_Port_Text=80\r\nRDH1_ID_Text=rd\r\nWRecSetting_ItemIndex=1\r\n' \
  >"$work/root/nubra.ini"

"$wine" "$program" "$(winpath "$work/out/RD1")" /c >/dev/null 2>&1 &
app_pid=$!

capture_settings_and_about tavelin.exe "windows-" 150
wait "$app_pid" || true
app_pid=""

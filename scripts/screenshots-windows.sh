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
wine=$(command -v wine64 || true)
[ -n "$wine" ] || wine=/usr/lib/wine/wine64
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
[ -x "$wine" ] || { echo "wine64 is missing" >&2; exit 1; }

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

# A private X server on a free display number.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  grep -q . "$work/display" 2>/dev/null && break
  sleep 0.1
done
number="$(head -n1 "$work/display")"
[ -n "$number" ] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$number"

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

# The visible window of the program titled $1 (xdotool cannot match titles beyond ASCII).
find_window() {
  local id
  for _ in $(seq 150); do
    for id in $(xdotool search --onlyvisible --class tavelin.exe 2>/dev/null); do
      if [ "$(xprop -id "$id" _NET_WM_NAME 2>/dev/null)" = "_NET_WM_NAME(UTF8_STRING) = \"$1\"" ]; then
        echo "$id"
        return 0
      fi
    done
    sleep 0.1
  done
  echo "window \"$1\" did not appear" >&2
  return 1
}

geometry() {
  eval "$(xdotool getwindowgeometry --shell "$1")"
  echo "${WIDTH}x${HEIGHT}+${X}+${Y}"
}

main=$(find_window "RDの録画予約データの取得中")
eval "$(xdotool getwindowgeometry --shell "$main")"
main_x=$X
main_y=$Y

# A password, so the edit shows its stars.
xdotool mousemove --sync $((main_x + 280)) $((main_y + 82)) click 1
xdotool type --delay 20 "recorder"
xdotool mousemove --sync $((main_x + 220)) $((main_y + 28))
sleep 0.5

mkdir -p "$docs"
import -window root -crop "$(geometry "$main")" +repage "$work/main.png"
# The window is cut to a rounded outline; the corners become transparent in the picture.
convert -size 445x183 xc:none -fill white -draw "roundrectangle 0,0 444,182 10,10" "$work/mask.png"
convert "$work/main.png" "$work/mask.png" -alpha off -compose CopyOpacity -composite \
  "$docs/windows-main-window.png"

xdotool mousemove --sync $((main_x + 396)) $((main_y + 54)) click 1
about=$(find_window "バージョン情報")
xdotool mousemove --sync 0 0
sleep 0.5
import -window root -crop "$(geometry "$about")" +repage "$docs/windows-about-window.png"

xdotool windowfocus --sync "$about" key Escape
xdotool windowfocus --sync "$main" key Escape
wait "$app_pid" || true
app_pid=""
echo "wrote $docs/windows-main-window.png and $docs/windows-about-window.png"

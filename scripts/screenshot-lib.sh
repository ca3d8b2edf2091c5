# Shared by screenshots.sh and screenshots-windows.sh (sourced, not run): a private X server,
# and the driving of a shown settings window into the two README pictures.
# Expects $work (a scratch folder) and $docs; sets DISPLAY and xvfb_pid.

# A private X server on a free display number.
start_xvfb() {
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    grep -q . "$work/display" 2>/dev/null && break
    sleep 0.1
  done
  local number
  number="$(head -n1 "$work/display")"
  [ -n "$number" ] || { echo "Xvfb did not start" >&2; exit 1; }
  export DISPLAY=":$number"
}

# The visible window of class $1 titled $2 (xdotool cannot match titles beyond ASCII),
# waited for up to $3 tenths of a second.
find_window() {
  local id
  for _ in $(seq "$3"); do
    for id in $(xdotool search --onlyvisible --class "$1" 2>/dev/null); do
      if [ "$(xprop -id "$id" _NET_WM_NAME 2>/dev/null)" = "_NET_WM_NAME(UTF8_STRING) = \"$2\"" ]; then
        echo "$id"
        return 0
      fi
    done
    sleep 0.1
  done
  echo "window \"$2\" did not appear" >&2
  return 1
}

geometry() {
  eval "$(xdotool getwindowgeometry --shell "$1")"
  echo "${WIDTH}x${HEIGHT}+${X}+${Y}"
}

# Types a password into the settings window of class $1, pictures it and its About window
# as $docs/$2main-window.png and $docs/$2about-window.png, then closes both with Esc.
# $3: how long to wait for a window, in tenths of a second. $4: the screen's resolution in
# dots per inch (default 96); the window's places are scaled to it.
capture_settings_and_about() {
  local class=$1 prefix=$2 wait=$3 dpi=${4:-96} main about X Y WIDTH HEIGHT
  # A 96-dpi number at the screen's resolution, rounded as the window rounds it.
  scaled() { echo $((($1 * dpi + 48) / 96)); }
  main=$(find_window "$class" "RDの録画予約データの取得中" "$wait")
  eval "$(xdotool getwindowgeometry --shell "$main")"
  local main_x=$X main_y=$Y main_w=$WIDTH main_h=$HEIGHT

  # A password, so the edit shows its stars.
  xdotool mousemove --sync $((main_x + $(scaled 280))) $((main_y + $(scaled 82))) click 1
  xdotool type --delay 20 "recorder"
  xdotool mousemove --sync $((main_x + $(scaled 220))) $((main_y + $(scaled 28)))
  sleep 0.5

  mkdir -p "$docs"
  import -window root -crop "$(geometry "$main")" +repage "$work/main.png"
  # The window is cut to a rounded outline; the corners become transparent in the picture.
  local radius
  radius=$(scaled 10)
  convert -size "${main_w}x${main_h}" xc:none -fill white \
    -draw "roundrectangle 0,0 $((main_w - 1)),$((main_h - 1)) $radius,$radius" "$work/mask.png"
  convert "$work/main.png" "$work/mask.png" -alpha off -compose CopyOpacity -composite \
    "$docs/${prefix}main-window.png"

  xdotool mousemove --sync $((main_x + $(scaled 396))) $((main_y + $(scaled 54))) click 1
  about=$(find_window "$class" "バージョン情報" "$wait")
  xdotool mousemove --sync 0 0
  sleep 0.5
  import -window root -crop "$(geometry "$about")" +repage "$docs/${prefix}about-window.png"

  xdotool windowfocus --sync "$about" key Escape
  xdotool windowfocus --sync "$main" key Escape
  echo "wrote $docs/${prefix}main-window.png and $docs/${prefix}about-window.png"
}

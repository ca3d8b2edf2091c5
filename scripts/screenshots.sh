#!/usr/bin/env bash
# Renders the README's screenshots of the settings window and the About window into docs/
# (PNG). The program runs on a private X server (Xvfb) with a throw-away home and root
# folder, and is driven with xdotool as a person would use it.
#
#   scripts/screenshots.sh [build folder]     (default: build/default)
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build/default}"
program="$build/src/tavelin"
docs="$here/docs"
[ -x "$program" ] || { echo "no program at $program; build first (make build)" >&2; exit 1; }
for tool in Xvfb xdotool xprop import convert; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done

work="$(mktemp -d)"
xvfb_pid=""
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
# shellcheck source=scripts/screenshot-lib.sh
source "$here/scripts/screenshot-lib.sh"

start_xvfb

mkdir -p "$work/home/.config/tavelin" "$work/root" "$work/run" "$work/temp"
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\software\\Morvik\\Qadrel2\\etc]\r\n"RootPath"="%s/root/"\r\n' \
  "$work" >"$work/home/.config/tavelin/registry.reg"
printf '[RD1]\r\nRDH1_IP_Text=192.168.0.20\r\nRDH1_Port_Text=80\r\nRDH1_ID_Text=rd\r\nWRecSetting_ItemIndex=1\r\n' \
  >"$work/root/nubra.ini"

HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_RUNTIME_DIR="$work/run" \
  temp="$work/temp" "$program" "$work/out/RD1" /c &
app_pid=$!

capture_settings_and_about Tavelin "" 100
wait "$app_pid" || true
app_pid=""

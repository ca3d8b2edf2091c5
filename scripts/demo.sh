#!/usr/bin/env bash
# One fetch against the simulated recorder, in a throw-away world:
#   scripts/demo.sh [BUILD_DIR]        (default build/release; `make demo` builds it first)
# TAVELIN, SIMULATOR and CALENDAR name other program files (an installed or unpacked package).
# Starts recorder-sim on loopback (table layout, Digest login), makes a temporary root folder
# with the host's files and a registry file naming it, runs `tavelin` in fetch mode, and
# prints the .tvpi files it wrote, the log lines (in UTF-8) and the calendar that
# `tavelin-calendar` makes of the files. Leaves nothing behind; with DEMO_KEEP naming a
# folder, the deck's output folder is copied there first (the calendar tests read it).
set -euo pipefail

build_dir=${1:-build/release}
tavelin=${TAVELIN:-$build_dir/src/tavelin}
simulator=${SIMULATOR:-$build_dir/tools/recorder-sim/recorder-sim}
calendar=${CALENDAR:-$build_dir/src/tavelin-calendar}
for program in "$tavelin" "$simulator" "$calendar"; do
  if [ ! -x "$program" ]; then
    echo "demo: $program is missing; build first (make demo builds it)" >&2
    exit 1
  fi
done

world=$(mktemp -d "${TMPDIR:-/tmp}/tavelin-demo.XXXXXX")
sim_pid=""
cleanup() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -rf "$world"
}
trap cleanup EXIT INT TERM

root="$world/root"
mkdir -p "$root" "$world/config/tavelin" "$world/temp" "$world/runtime" "$world/out"

# Writes stdin (UTF-8) to $1 as Shift-JIS with CR LF line ends, as the host keeps its files.
sjis() { sed 's/$/\r/' | iconv -f UTF-8 -t CP932 >"$1"; }

# --- The simulated recorder ------------------------------------------------------------
"$simulator" --port 0 --login digest --user rd --password recorder --layout table \
  >"$world/sim.out" 2>&1 &
sim_pid=$!
port=""
for _ in $(seq 100); do
  port=$(sed -n 's/.*listening on port \([0-9]*\).*/\1/p' "$world/sim.out")
  [ -n "$port" ] && break
  sleep 0.1
done
if [ -z "$port" ]; then
  echo "demo: the simulator did not start:" >&2
  cat "$world/sim.out" >&2
  exit 1
fi
echo "Simulated recorder: http://127.0.0.1:$port/program/program.htm (Digest login rd/recorder)"

# --- The host's side: registry file, root folder, INI files, channel tables ------------
cat >"$world/config/tavelin/registry.reg" <<EOF
REGEDIT4

[HKEY_CURRENT_USER\\software\\Morvik\\Qadrel2\\etc]
"RootPath"="$root/"
EOF

sjis "$root/qdr.ini" <<'EOF'
[TSetup]
UseProxy_Checked=False
Debug_Checked=False
EOF

# The password is kept scrambled with this computer's key: MD5 of ":" and the first eight
# hex digits of /etc/machine-id (the Linux stand-in for the system volume's serial number),
# xor-ed digit by digit with the hex of the password padded to 16 bytes.
serial=$(head -c 8 /etc/machine-id 2>/dev/null | tr 'a-f' 'A-F' || true)
[[ "$serial" =~ ^[0-9A-F]{8}$ ]] || serial=00000000
key=$(printf ':%s' "$serial" | md5sum | cut -c1-32 | tr 'a-f' 'A-F')
scramble() {
  local padded plain out="" i
  padded=$(printf '%-16.16s' "$1")
  plain=$(printf '%s' "$padded" | od -An -tx1 | tr -d ' \n' | tr 'a-f' 'A-F')
  for ((i = 0; i < 32; i++)); do
    out+=$(printf '%X' $((16#${plain:i:1} ^ 16#${key:i:1})))
  done
  printf '%s' "$out"
}

deck=RD-X5
sjis "$root/nubra.ini" <<EOF
[$deck]
RDH1_IP_Text=127.0.0.1
RDH1_Port_Text=$port
RDH1_ID_Text=rd
RDH1_PW_Text=$(scramble recorder)
WRecSetting_ItemIndex=0
EOF

sjis "$root/tvconvert.csv" <<'EOF'
"元のTV局名","新しいTV局名",
"ＮＨＫ総合１","ＮＨＫ総合",
EOF
sjis "$root/qdrTVCHNo.csv" <<EOF
"ToolName","TVChannel","TVChannelNo",
"$deck","ＮＨＫ総合","1",
"$deck","日本テレビ","4",
"$deck","ＴＢＳ","6",
"$deck","フジテレビ","8",
EOF
sjis "$root/tvchdata.csv" <<'EOF'
"TVChannel","TVChannelNo","TVURL",
"ＮＨＫ　ＢＳ１","BS101","",
EOF

# --- One fetch, the way the host's scheduler starts it ---------------------------------
output="$world/out/$deck"
echo "Running: tavelin $output"
env -i PATH=/usr/bin:/bin HOME="$world" XDG_CONFIG_HOME="$world/config" \
  XDG_RUNTIME_DIR="$world/runtime" temp="$world/temp" "$tavelin" "$output"

echo
echo "=== .tvpi files in $output ==="
shopt -s nullglob
files=("$output"/*.tvpi)
for file in "${files[@]}"; do
  echo "--- $(basename "$file")"
  iconv -f CP932 -t UTF-8 "$file" | tr -d '\r' | sed '/^$/d'
done
echo "(${#files[@]} files)"

echo
echo "=== qdr.log ==="
iconv -f CP932 -t UTF-8 "$root/qdr.log" | tr -d '\r'

echo
echo "=== tavelin-calendar $output ==="
"$calendar" "$output" | tr -d '\r'

if [ -n "${DEMO_KEEP:-}" ]; then
  mkdir -p "$DEMO_KEEP"
  cp -R "$output" "$DEMO_KEEP/"
fi

#!/usr/bin/env bash
# Builds the Debian package from BUILD_DIR, unpacks it into a temporary root with dpkg-deb and
# runs one headless fetch with the unpacked programs against the unpacked simulator, and the
# unpacked tavelin-calendar over the files it wrote:
#   scripts/package-test.sh BUILD_DIR
set -euo pipefail

build_dir=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/tavelin-package.XXXXXX")
trap 'rm -rf "$work"' EXIT

cpack -G DEB --config "$build_dir/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; exit 1; }
deb=$(ls "$work"/package/tavelin_*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
echo "package: $(basename "$deb"), Depends: $depends"
for needed in libpcre2-32-0 libfltk1.3 fonts-ipafont-gothic; do
  case "$depends" in
    *"$needed"*) ;;
    *) echo "package-test: Depends lacks $needed" >&2; exit 1 ;;
  esac
done

dpkg-deb -x "$deb" "$work/root"
for file in usr/bin/tavelin usr/bin/tavelin-calendar usr/bin/tavelin-recorder-sim usr/share/doc/tavelin/README.md; do
  [ -e "$work/root/$file" ] || { echo "package-test: $file is not in the package" >&2; exit 1; }
done

TAVELIN="$work/root/usr/bin/tavelin" SIMULATOR="$work/root/usr/bin/tavelin-recorder-sim" \
  CALENDAR="$work/root/usr/bin/tavelin-calendar" "$here/demo.sh" >"$work/demo.out" 2>&1 || { cat "$work/demo.out" >&2; exit 1; }
count=$(sed -n 's/^(\([0-9]*\) files)$/\1/p' "$work/demo.out")
if [ -z "$count" ] || [ "$count" -eq 0 ] || grep -q 'C.ERROR' "$work/demo.out"; then
  echo "package-test: the unpacked program wrote no program files:" >&2
  cat "$work/demo.out" >&2
  exit 1
fi
echo "package-test: the unpacked tavelin wrote $count program files"
events=$(grep -c '^BEGIN:VEVENT$' "$work/demo.out" || true)
if [ "$events" != "$count" ]; then
  echo "package-test: the unpacked tavelin-calendar made $events events of $count files" >&2
  exit 1
fi
echo "package-test: the unpacked tavelin-calendar made $events events"

#!/usr/bin/env bash
# Packs the Windows build into <dist folder>/tavelin-<version>-win32.zip: tavelin.exe, the
# Japanese guide for the host's users, the README and the licence texts of what is linked into the program (PCRE2, the mingw-w64
# runtime, GCC's runtime libraries).
#
# usage: scripts/package-windows.sh <windows build folder> <dist folder>
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "$1")
dist=$(realpath -m "$2")
version=$(sed -n 's/^project(Tavelin VERSION \([0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")
program="$build/src/tavelin.exe"
pcre2_licence=$(find "$build/pcre2/src" -maxdepth 2 -name LICENCE | head -n 1)
[ -f "$program" ] || { echo "package-windows: $program is not built" >&2; exit 1; }
calendar="$build/src/tavelin-calendar.exe"  # packed beside tavelin.exe
[ -f "$calendar" ] || { echo "package-windows: $calendar is not built" >&2; exit 1; }
[ -n "$pcre2_licence" ] || { echo "package-windows: no PCRE2 licence in $build" >&2; exit 1; }

stage="$build/package/tavelin-$version-win32"
rm -rf "$build/package"
mkdir -p "$stage/licences" "$dist"
i686-w64-mingw32-strip -o "$stage/tavelin.exe" "$program"
i686-w64-mingw32-strip -o "$stage/tavelin-calendar.exe" "$calendar"
cp "$source_dir/README.md" "$stage/README.md"
# The guide as UTF-8 with a byte-order mark and CR LF: Notepad reads a BOM file as UTF-8 on
# every Windows version and in every system language, where Shift-JIS text would be read
# right only where the system's code page is 932.
{ printf '\xEF\xBB\xBF'; sed 's/$/\r/' "$source_dir/res/windows/tavelin-guide-ja.txt"; } \
  >"$stage/tavelin-guide-ja.txt"
cp "$pcre2_licence" "$stage/licences/PCRE2.txt"
cp /usr/share/doc/mingw-w64-i686-dev/copyright "$stage/licences/mingw-w64-runtime.txt"
cp /usr/share/doc/gcc-mingw-w64-base/copyright "$stage/licences/gcc-runtime-libraries.txt"

zip_file="$dist/tavelin-$version-win32.zip"
rm -f "$zip_file"
(cd "$build/package" && zip -q -X -r "$zip_file" "tavelin-$version-win32")
echo "package-windows: $zip_file"

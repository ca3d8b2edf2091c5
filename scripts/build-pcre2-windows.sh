#!/usr/bin/env bash
# Builds PCRE2 (32-bit code units, JIT, static) for the Windows build from Debian's own source
# package of the installed libpcre2-dev version, into <build folder>/pcre2. Debian has no
# mingw-w64 build of PCRE2. The source lists are a copy of this machine's configured Debian
# sources with the type changed to source, kept with their package lists in the build folder;
# the system's apt configuration is not touched. A finished build is reused.
#
# usage: scripts/build-pcre2-windows.sh <build folder> <toolchain file>
# (TAVELIN_WINDOWS_ARCH, i686 or x86_64, is handed to the toolchain file)
set -euo pipefail

build=$(realpath -m "$1")
toolchain=$(realpath "$2")
work="$build/pcre2"
prefix="$work/install"

if [ -f "$prefix/lib/libpcre2-32.a" ] && [ -f "$prefix/include/pcre2.h" ]; then
  exit 0
fi

version=$(dpkg-query -W -f='${Version}' libpcre2-dev 2>/dev/null || true)
if [ -z "$version" ]; then
  echo "build-pcre2-windows: libpcre2-dev is not installed (scripts/install-deps.sh)" >&2
  exit 1
fi

mkdir -p "$work/apt/sources" "$work/apt/lists/partial" "$work/src"
# The configured sources, one-line and deb822 forms, as source entries.
for f in /etc/apt/sources.list.d/*.sources; do
  [ -f "$f" ] || continue
  sed -e 's/^Types:.*\bdeb\b.*$/Types: deb-src/' "$f" >"$work/apt/sources/$(basename "$f")"
done
: >"$work/apt/sources.list"
for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
  [ -f "$f" ] || continue
  sed -n -e 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$f" >>"$work/apt/sources.list"
done
apt_options=(
  -o "Dir::Etc::SourceList=$work/apt/sources.list"
  -o "Dir::Etc::SourceParts=$work/apt/sources"
  -o "Dir::State::Lists=$work/apt/lists"
  -o "Debug::NoLocking=1"
)
echo "build-pcre2-windows: fetching the source of pcre2 $version"
apt-get "${apt_options[@]}" -qq update || echo "build-pcre2-windows: warning: some source indexes could not be fetched; going on with those there are" >&2
# The installed version first; when a mirror lacks its source, another Debian revision of
# the same upstream release (the patches of a security update change no matching results).
upstream=${version%%-*}
candidates=("$version")
while read -r other; do
  [ "$other" != "$version" ] && [ "${other%%-*}" = "$upstream" ] && candidates+=("$other")
done < <(apt-cache "${apt_options[@]}" showsrc pcre2 | sed -n 's/^Version: //p' | sort -ru)
fetched=""
for candidate in "${candidates[@]}"; do
  rm -rf "${work:?}/src"/*
  if (cd "$work/src" && apt-get "${apt_options[@]}" -qq source "pcre2=$candidate" \
      >/dev/null 2>&1); then
    fetched=$candidate
    break
  fi
done
if [ -z "$fetched" ]; then
  echo "build-pcre2-windows: no source of pcre2 $upstream could be fetched" >&2
  exit 1
fi
echo "build-pcre2-windows: building pcre2 $fetched"
source_dir=$(find "$work/src" -mindepth 1 -maxdepth 1 -type d -name 'pcre2-*' | head -n 1)

cmake -S "$source_dir" -B "$work/build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DTAVELIN_WINDOWS_ARCH="${TAVELIN_WINDOWS_ARCH:-i686}" \
  -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF \
  -DPCRE2_BUILD_PCRE2_8=OFF -DPCRE2_BUILD_PCRE2_32=ON -DPCRE2_SUPPORT_JIT=ON \
  -DPCRE2_BUILD_PCRE2GREP=OFF -DPCRE2_BUILD_TESTS=OFF -DPCRE2_SUPPORT_LIBBZ2=OFF \
  -DPCRE2_SUPPORT_LIBZ=OFF -DPCRE2_SUPPORT_LIBEDIT=OFF -DPCRE2_SUPPORT_LIBREADLINE=OFF >/dev/null
cmake --build "$work/build" -j "${JOBS:-2}"
cmake --install "$work/build" >/dev/null
echo "build-pcre2-windows: installed in $prefix"

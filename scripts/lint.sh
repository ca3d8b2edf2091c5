#!/usr/bin/env bash
# scripts/lint.sh BUILD_DIR [FILE...]: clang-tidy (.clang-tidy) over the tracked sources of src/
# and tools/ (or the FILEs given), then clang-format --dry-run over every tracked *.cc and *.h.
# BUILD_DIR is a configured clang build (`make lint` uses the asan preset): its
# compile_commands.json gives the flags. The Windows-only sources are in no Linux build; they
# are checked as the mingw-w64 build sees them, through clang's MinGW target and that
# compiler's C++ library headers. Fails on any finding. JOBS (default 2) files at a time.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?usage: scripts/lint.sh BUILD_DIR [FILE...]}
shift
jobs=${JOBS:-2}
database=$build/compile_commands.json
[[ -f $database ]] || { echo "$database: missing; configure a clang build first" >&2; exit 2; }

if (($#)); then
  files=("$@")
else
  mapfile -t files < <(git ls-files 'src/*.cc' 'tools/*.cc')
fi

mingw=x86_64-w64-mingw32
mingw_cxx=$(ls -d /usr/lib/gcc/$mingw/*-posix/include/c++ 2>/dev/null | sort -V | tail -1 || true)
windows_flags=(--target=$mingw -std=c++20 -Isrc -DTAVELIN_HAVE_WIN32_UI=1 -nostdinc++
               -isystem "$mingw_cxx" -isystem "$mingw_cxx/$mingw" -isystem "$mingw_cxx/backward")
# A source in the Linux build's database is checked with its flags; tools/make-icon is a
# build-machine program of the Windows build; any other source is Windows-only.
in_database=$(grep -o '"file": "[^"]*"' "$database" | sed 's/^"file": "//; s/"$//')
linux=()
windows=()
host=()
for f in "${files[@]}"; do
  if grep -qxF "$PWD/$f" <<<"$in_database"; then
    linux+=("$f")
  elif [[ $f == tools/make-icon/* ]]; then
    host+=("$f")
  else
    windows+=("$f")
  fi
done
if ((${#windows[@]})) && [[ -z $mingw_cxx ]]; then
  echo "the Windows sources need mingw-w64's C++ headers (g++-mingw-w64-x86-64-posix)" >&2
  exit 2
fi

tidy=(clang-tidy --quiet --warnings-as-errors='*')
status=0
if ((${#linux[@]})); then
  printf '%s\n' "${linux[@]}" | xargs -P "$jobs" -n 1 "${tidy[@]}" -p "$build" || status=1
fi
if ((${#windows[@]})); then
  printf '%s\n' "${windows[@]}" |
    xargs -P "$jobs" -I{} "${tidy[@]}" {} -- "${windows_flags[@]}" || status=1
fi
if ((${#host[@]})); then
  printf '%s\n' "${host[@]}" | xargs -P "$jobs" -I{} "${tidy[@]}" {} -- -std=c++20 -Isrc ||
    status=1
fi

mapfile -t formatted < <(git ls-files '*.cc' '*.h')
clang-format --dry-run --Werror "${formatted[@]}" || status=1
if ((status)); then
  echo "lint: findings above" >&2
else
  echo "lint: clean"
fi
exit $status

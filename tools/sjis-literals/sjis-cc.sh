#!/usr/bin/env bash
# sjis-cc.sh ESCAPER COMPILER ARGS...: the compiler launcher of clang builds. It runs
# `COMPILER ARGS...` as given, except that the narrow literals of the translation unit reach the
# compiler as "\x.." escapes of their Shift-JIS bytes (ESCAPER is tools/sjis-literals), the
# bytes g++ writes with -fexec-charset=CP932. COMPILER may itself be a launcher and a compiler
# ("ccache clang++").
#
# An object compile "... -o OBJ -c SOURCE" becomes three steps:
#   1. COMPILER -E -frewrite-includes: the translation unit as one text, every #include
#      inlined but macros and conditionals left as written, with line markers naming each
#      original file (this step also writes the -MD dependency file);
#   2. ESCAPER rewrites that text's literals;
#   3. COMPILER compiles the result as C++ with the remaining arguments.
# Diagnostics, debug information and sanitizer reports name the original files through the
# line markers. The build's compile_commands.json holds the plain compile of SOURCE (CMake
# leaves launchers out of it), which is what clangd and clang-tidy should read.
set -euo pipefail

escaper=$1
shift
args=("$@")
source_file=
object=
rest=()
deps=()
i=0
while ((i < ${#args[@]})); do
  arg=${args[i]}
  case $arg in
    -c)
      source_file=${args[i + 1]:-}
      i=$((i + 2))
      continue
      ;;
    -o)
      object=${args[i + 1]:-}
      i=$((i + 2))
      continue
      ;;
    -MT | -MF | -MQ)
      deps+=("$arg" "${args[i + 1]:-}")
      i=$((i + 2))
      continue
      ;;
    -MD | -MMD | -MP)
      deps+=("$arg")
      ;;
    *)
      rest+=("$arg")
      ;;
  esac
  i=$((i + 1))
done

# Anything but an object compile (a version query, a link) runs as it is.
if [[ -z $source_file || -z $object ]]; then
  exec "${args[@]}"
fi

rewritten=$object.rewritten.cc
escaped=$object.sjis.cc
trap 'rm -f "$rewritten" "$escaped"' EXIT
"${rest[@]}" "${deps[@]}" -E -frewrite-includes -o "$rewritten" "$source_file"
"$escaper" "$rewritten" "$escaped" "$source_file"
"${rest[@]}" -x c++ -c "$escaped" -o "$object"

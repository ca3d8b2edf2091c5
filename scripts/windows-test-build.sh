#!/usr/bin/env bash
# Which Windows build the Windows suites can test on this machine: prints the CMake preset on
# the first line ("windows", the 32-bit deliverable, or "windows-x64", the 64-bit build of the
# same sources) and, for windows-x64, why on the second.
#
# The 32-bit tavelin.exe runs under Wine's 32-bit loader (Debian's wine32:i386), which needs
# both that package and a kernel that runs 32-bit x86 programs (some virtual machines run
# 64-bit code only and answer every i386 program with "Exec format error").
set -u
loader=/usr/lib/wine/wine
if [ ! -x "$loader" ]; then
  echo windows-x64
  echo "32-bit Wine (wine32:i386) is not installed"
  exit 0
fi
if ! output=$("$loader" --version 2>&1); then
  echo windows-x64
  case "$output" in
    *"format error"*) echo "this machine runs no 32-bit code ($loader: Exec format error)" ;;
    *) echo "32-bit Wine does not start: $(printf '%s' "$output" | head -n 1)" ;;
  esac
  exit 0
fi
echo windows

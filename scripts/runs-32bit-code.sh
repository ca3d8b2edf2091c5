#!/usr/bin/env bash
# Exit code 0 when this machine's kernel runs 32-bit x86 programs, which Wine needs for the
# 32-bit tavelin.exe. Some virtual machines run 64-bit code only (their kernel answers every
# i386 program with "Exec format error"); the Makefile then tests the 64-bit build of the
# same sources (preset windows-x64) instead.
set -u
loader=/usr/lib/wine/wine
[ -x "$loader" ] || exit 1
"$loader" --version >/dev/null 2>&1

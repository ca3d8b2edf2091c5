#!/usr/bin/env bash
# Gives a Wine prefix what a Windows system has for Japanese text: the dialog and message
# box font (Tahoma, and MS Shell Dlg behind it) linked to IPA Gothic for the characters it
# lacks, as Windows links it to its own Gothic, and the window's faces "ＭＳ Ｐゴシック" and
# "ＭＳ ゴシック" replaced by the metric-compatible IPA P Gothic and IPA Gothic. Without the
# links, message boxes show Japanese as empty boxes under Wine.
#
#   WINEPREFIX=... wine-japanese-fonts.sh <wine program>     (the loader that runs the program)
set -euo pipefail

wine="${1:?usage: wine-japanese-fonts.sh <wine program>}"
[ -n "${WINEPREFIX:-}" ] || { echo "WINEPREFIX is not set" >&2; exit 2; }
ipag=/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf
[ -f "$ipag" ] || { echo "IPA Gothic is missing (fonts-ipafont-gothic)" >&2; exit 1; }

reg="$WINEPREFIX/japanese-fonts.reg"
link='"ipag.ttf,IPAGothic"'
# regedit reads Unicode .reg files as UTF-16 with a byte-order mark.
{
  printf '\xef\xbb\xbf'
  printf 'Windows Registry Editor Version 5.00\r\n\r\n'
  printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink]\r\n'
  for face in Tahoma "MS Shell Dlg" "MS Shell Dlg 2" "Microsoft Sans Serif"; do
    printf '"%s"=hex(7):%s\r\n' "$face" "$(printf '%s' "${link//\"/}" | iconv -t UTF-16LE |
      od -An -tx1 -v | tr -s ' \n' ',' | sed 's/^,//; s/,$//'),00,00,00,00"
  done
  printf '\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
  printf '"ＭＳ Ｐゴシック"="IPAPGothic"\r\n"ＭＳ ゴシック"="IPAGothic"\r\n'
  printf '"MS PGothic"="IPAPGothic"\r\n"MS Gothic"="IPAGothic"\r\n'
} | iconv -f UTF-8 -t UTF-16LE >"$reg"
# The byte-order mark went through iconv as U+FEFF, which is what regedit looks for.
# Wine's fonts folder must hold the linked file for the link to resolve.
mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
cp -f "$ipag" "$WINEPREFIX/drive_c/windows/Fonts/ipag.ttf"
cp -f /usr/share/fonts/opentype/ipafont-gothic/ipagp.ttf "$WINEPREFIX/drive_c/windows/Fonts/ipagp.ttf" 2>/dev/null || true
"$wine" regedit /S "Z:${reg//\//\\}"

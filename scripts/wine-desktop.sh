# SPDX-License-Identifier: GPL-3.0-or-later
# A display for the window program under wine, sourced by test-windows.sh
# and screenshots.sh: a virtual X server of its own, and in the wine prefix
# (WINEPREFIX, made already) wine's virtual desktop, in which wine draws the
# windows' frames as Windows does and keeps the focus itself, and the
# Japanese font in place of the Windows fonts the program asks for.
#
#   relmuth_wine_desktop FOLDER    sets DISPLAY and relmuth_xvfb (its pid)

relmuth_wine_desktop() {
  local folder=$1
  rm -f "$folder/display"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$folder/display" \
    >"$folder/xvfb.log" 2>&1 &
  relmuth_xvfb=$!
  local _
  for _ in $(seq 100); do [ -s "$folder/display" ] && break; sleep 0.1; done
  [ -s "$folder/display" ] || { echo "Xvfb did not start" >&2; return 1; }
  export DISPLAY=":$(head -1 "$folder/display")"

  local explorer='HKCU\Software\Wine\Explorer'
  wine reg add "$explorer" /v Desktop /d Default /f >/dev/null 2>&1
  wine reg add "$explorer\\Desktops" /v Default /d 1024x768 /f >/dev/null 2>&1
  # The dialogs' "ＭＳ Ｐゴシック" and the system's fonts, with the glyphs of
  # IPA Gothic where they have none.
  local font
  for font in "ＭＳ Ｐゴシック" "MS PGothic" "MS UI Gothic"; do
    wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$font" /d IPAPGothic /f >/dev/null 2>&1
  done
  for font in "ＭＳ ゴシック" "MS Gothic"; do
    wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$font" /d IPAGothic /f >/dev/null 2>&1
  done
  for font in Tahoma "MS Shell Dlg" "MS Shell Dlg 2" "Microsoft Sans Serif" "Segoe UI"; do
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
      /v "$font" /t REG_MULTI_SZ /d 'ipagp.ttf,IPAPGothic' /f >/dev/null 2>&1
  done
  # The settings take effect in the next wine session.
  wineserver -k 2>/dev/null || true
}

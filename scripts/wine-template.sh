#!/usr/bin/env bash
# Makes, once per machine, the Wine prefix that every test run copies. It lives outside the
# repository because it is 700 MB and identical for every checkout; a version stamp inside it lets
# a change of this script rebuild it.
set -euo pipefail

template_version=2
template=${KORVEL_WINE_TEMPLATE:-${XDG_CACHE_HOME:-$HOME/.cache}/korvel-setup/wine-template}
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

if [ -f "$template/.korvel-template" ] && [ "$(cat "$template/.korvel-template")" = "$template_version" ]; then
  echo "$template"
  exit 0
fi

rm -rf "$template" "$template.tmp"
mkdir -p "$(dirname "$template")"
export WINEPREFIX="$template.tmp" WINEARCH=win64 WINEDEBUG=-all
# No test needs Wine's .NET or HTML engines, and offering them could wait for an answer on a display.
export WINEDLLOVERRIDES="mscoree,mshtml="
"$wine" wineboot -i >/dev/null 2>&1
"$wineserver" -w
# The dialog fonts map to a font that has CJK glyphs, or Chinese text shows as boxes.
fonts='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes'
for face in "MS Shell Dlg" "MS Shell Dlg 2"; do
  "$wine" reg add "$fonts" /v "$face" /t REG_SZ /d "WenQuanYi Micro Hei" /f >/dev/null 2>&1
done
# Without a window manager (Xvfb) Wine waits 2 s for one to confirm every window it hides; letting
# Wine draw the frames itself avoids the wait.
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
"$wineserver" -w
echo "$template_version" > "$WINEPREFIX/.korvel-template"
mv "$WINEPREFIX" "$template"
echo "$template"

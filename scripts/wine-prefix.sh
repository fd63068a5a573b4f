#!/usr/bin/env bash
# Creates the build's Wine prefix once, before any test runs: tests racing to
# create it fail.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
[ -f "$SMSUTIL_PREFIX_READY" ] && exit 0
mkdir -p "$WINEPREFIX"
wineboot --init >/dev/null 2>&1 || true
wineserver -w
# A crash must fail the test, not wait for a click on winedbg's dialog.
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
# The captions' buttons draw their symbols in Marlett: Wine's own, from the
# package fonts-wine, which this Wine looks for only among the prefix's fonts.
cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
# The dialogs' font is mapped to the installed Chinese font.
wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' /v '宋体' /t REG_SZ /d 'WenQuanYi Micro Hei' /f >/dev/null 2>&1
wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' /v 'SimSun' /t REG_SZ /d 'WenQuanYi Micro Hei' /f >/dev/null 2>&1
# One virtual desktop for every process: Wine draws the captions itself, and
# showing a window waits on no window manager.
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /t REG_SZ /d Default /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /t REG_SZ /d "$SMSUTIL_DESKTOP" /f >/dev/null 2>&1
wineserver -w
# Only the size written last is ready: a prefix set up for another size and
# back again must not take an old mark for the current one.
rm -f "$WINEPREFIX"/.smsutil-ready*
touch "$SMSUTIL_PREFIX_READY"

#!/usr/bin/env bash
# Creates the build's Wine prefix once, before any test runs: tests racing to
# create it fail.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
[ -f "$WINEPREFIX/.smsutil-ready" ] && exit 0
mkdir -p "$WINEPREFIX"
wineboot --init >/dev/null 2>&1 || true
wineserver -w
# A crash must fail the test, not wait for a click on winedbg's dialog.
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
# The dialogs' font is mapped to the installed Chinese font.
wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' /v '宋体' /t REG_SZ /d 'WenQuanYi Micro Hei' /f >/dev/null 2>&1
wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' /v 'SimSun' /t REG_SZ /d 'WenQuanYi Micro Hei' /f >/dev/null 2>&1
# One virtual desktop for every process: Wine draws the captions itself, and
# showing a window waits on no window manager.
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /t REG_SZ /d Default /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /t REG_SZ /d 1024x768 /f >/dev/null 2>&1
wineserver -w
touch "$WINEPREFIX/.smsutil-ready"

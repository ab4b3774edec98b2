#!/usr/bin/env bash
# Runs a Windows program under wine64 in the Chinese locale (ANSI code page 936).
# The test script prepares WINEPREFIX, DISPLAY and a persistent wineserver.
export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml,winealsa.drv="}
exec /usr/lib/wine/wine64 "$@"

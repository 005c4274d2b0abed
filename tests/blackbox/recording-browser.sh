#!/bin/sh
# Stands in for the desktop's browser under Wine (HKCU\Software\Wine\WineBrowser
# "Browsers"): writes down each address it is asked to open, one a line, in
# the Wine prefix, where the black-box test reads it. (Wine hands a Unix
# program the environment it started with, not the Windows one.)
[ -n "${WINEPREFIX:-}" ] || exit 1
printf '%s\n' "$@" >>"$WINEPREFIX/recorded-browser.log"

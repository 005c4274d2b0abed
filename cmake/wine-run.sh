#!/bin/sh
# Runs a Windows program under Wine in the prefix the caller prepared
# (./orvane exports WINEPREFIX and DISPLAY before it runs the tests).
exec /usr/lib/wine/wine64 "$@"

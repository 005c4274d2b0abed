#!/bin/sh
# wine-run-in.sh VAR PROGRAM [ARGS...]: runs PROGRAM under Wine in the prefix
# named by the environment variable VAR; exits 77 (skipped) without it.
var="$1"
shift
eval "prefix=\${$var:-}"
if [ -z "$prefix" ]; then
    echo "$var is not set: skipped"
    exit 77
fi
WINEPREFIX="$prefix" exec /usr/lib/wine/wine64 "$@"

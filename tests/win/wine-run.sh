#!/usr/bin/env bash
# Runs a Windows program under Wine: wine-run.sh PREFIX PROGRAM [ARGS...].
# The prefix is made on first use (once, under a lock) and reused.
#   wine-run.sh PREFIX --start   makes the prefix and keeps a wineserver running
#   wine-run.sh PREFIX --stop    ends that wineserver (and whatever still runs in the prefix)
set -euo pipefail
export WINEPREFIX="$1"
shift
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
wine="$(command -v wine64 || true)"
[ -n "$wine" ] || { [ -x /usr/lib/wine/wine64 ] && wine=/usr/lib/wine/wine64; } || wine="$(command -v wine)"
server="$(command -v wineserver || true)"
[ -n "$server" ] || server=/usr/lib/wine/wineserver

prepare() {
    mkdir -p "$(dirname "$WINEPREFIX")"
    exec 9>"$WINEPREFIX.lock"
    flock 9
    if [ ! -f "$WINEPREFIX/.vexelor-ready" ]; then
        rm -rf "$WINEPREFIX"
        "$wine" wineboot -i </dev/null >/dev/null 2>&1
        # Wine draws the window frames itself and owns the focus (no window manager needed).
        "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
        "$server" -w
        touch "$WINEPREFIX/.vexelor-ready"
    fi
    exec 9>&-
}

case "${1:-}" in
--start)
    prepare
    "$server" -p </dev/null >/dev/null 2>&1 || true  # one may be running already
    # Wine's own services start with the first program and live as long as the
    # server: start them here, away from the output of the tests (whose
    # runner would otherwise wait for them to end).
    "$wine" wineboot </dev/null >/dev/null 2>&1
    ;;
--stop)
    "$server" -k 2>/dev/null || true
    ;;
*)
    prepare
    exec "$wine" "$@"
    ;;
esac

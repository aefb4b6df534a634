# Settings shared by run-wine.sh and wine-session.sh (sourced, not run).
#   WINEPREFIX   the prefix the Windows tests use; default build/windows/wineprefix
#   WINE_SESSION_FILE  where a running session notes its display and Xvfb
# Wine runs headless, quiet, without the Mono and Gecko installers, in a
# win64 prefix: its services run natively, only the 32-bit programs (and
# their 32-bit Wine DLLs) need the emulator on kernels without 32-bit code.
MORVANE_SOURCE_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$MORVANE_SOURCE_DIR/build/windows/wineprefix}
export WINEARCH=${WINEARCH:-win64}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml=;winemenubuilder.exe=d"}
WINE_SESSION_FILE=$WINEPREFIX.session

# Succeeds when a session for this prefix runs; then DISPLAY is set to its
# display.
wine_session_alive() {
    local display="" xvfb_pid=""
    [[ -f $WINE_SESSION_FILE ]] || return 1
    # shellcheck disable=SC1090
    source "$WINE_SESSION_FILE"
    [[ -n $xvfb_pid ]] && kill -0 "$xvfb_pid" 2>/dev/null || return 1
    export DISPLAY=$display
}

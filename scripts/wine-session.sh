#!/usr/bin/env bash
# A Wine session for many Windows programs in a row: one Xvfb display and one
# persistent wineserver for the prefix (see wine-env.sh), so that each program
# that run-wine.sh starts skips the start-up of both.
#   wine-session.sh start        starts them (creates the prefix on first use)
#   wine-session.sh stop         stops them; nothing happens when none runs
#   wine-session.sh run CMD...   runs CMD inside a session that it starts and
#                                stops again, also when CMD fails or is
#                                interrupted; exits with CMD's status
# A session that already runs for the prefix is reused by start and run (and
# then left running by run).
set -uo pipefail
source "$(dirname "$0")/wine-env.sh"
log() { echo "wine-session: $*" >&2; }

start() {
    if wine_session_alive; then
        return 0
    fi
    stop
    mkdir -p "$WINEPREFIX"  # wineserver needs the folder; wineboot fills it
    local log_file=$WINEPREFIX.log display_file
    display_file=$(mktemp)
    # -displayfd: Xvfb picks a free display and writes its number when ready.
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" </dev/null >"$log_file" 2>&1 &
    local xvfb_pid=$!
    local waited=0
    while [[ ! -s $display_file ]]; do
        if ! kill -0 "$xvfb_pid" 2>/dev/null || ((waited >= 200)); then
            log "Xvfb did not start (see $log_file)"
            kill "$xvfb_pid" 2>/dev/null
            rm -f "$display_file"
            return 1
        fi
        sleep 0.05
        ((waited++))
    done
    export DISPLAY=":$(head -n 1 "$display_file")"
    rm -f "$display_file"
    printf 'display=%q\nxvfb_pid=%q\n' "$DISPLAY" "$xvfb_pid" >"$WINE_SESSION_FILE"

    wineserver -p </dev/null >>"$log_file" 2>&1 || { log "wineserver did not start"; stop; return 1; }
    if [[ ! -f $WINEPREFIX/system.reg ]]; then
        local t0=$SECONDS
        if ! timeout 900 wine wineboot -i </dev/null >>"$log_file" 2>&1; then
            log "creating the prefix $WINEPREFIX failed (see $log_file)"
            stop
            return 1
        fi
        log "created the prefix $WINEPREFIX in $((SECONDS - t0)) s"
    fi
    # No window manager runs on Xvfb, and Wine waits 2 s for one to withdraw
    # each managed window that is hidden: its windows go unmanaged.
    if ! grep -q '^"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null &&
        ! wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >>"$log_file" 2>&1; then
        log "setting the prefix's windows unmanaged failed (see $log_file)"
        stop
        return 1
    fi
}

stop() {
    local display="" xvfb_pid=""
    if [[ -f $WINE_SESSION_FILE ]]; then
        # shellcheck disable=SC1090
        source "$WINE_SESSION_FILE"
    fi
    # Ends every Wine process of the prefix, then the server itself.
    wineserver -k 2>/dev/null
    if [[ -n $xvfb_pid ]] && kill -0 "$xvfb_pid" 2>/dev/null; then
        kill "$xvfb_pid"
        wait "$xvfb_pid" 2>/dev/null  # reaps it when this shell started it
    fi
    rm -f "$WINE_SESSION_FILE"
    return 0
}

case ${1:-} in
    start) start ;;
    stop) stop ;;
    run)
        shift
        ((${#@})) || { log "run: no command"; exit 2; }
        if wine_session_alive; then
            "$@"
            exit
        fi
        trap stop EXIT
        trap 'exit 130' INT
        trap 'exit 143' TERM
        start || exit 1
        "$@"
        ;;
    *) echo "usage: $0 start | stop | run CMD..." >&2; exit 2 ;;
esac

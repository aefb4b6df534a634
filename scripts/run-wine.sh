#!/usr/bin/env bash
# Runs one Windows program under Wine and exits with its status: the test
# emulator of the Windows build (CMAKE_CROSSCOMPILING_EMULATOR).
#   run-wine.sh program.exe [args...]
# Inside a running session (wine-session.sh) it uses the session's display
# and wineserver and may run alongside other programs. Without one it runs
# the program in a session of its own, one program at a time per prefix.
# MORVANE_WINE_TIMEOUT (seconds, default 1200) ends a program that hangs;
# the status is then 124.
#
# The program's output is collected in files and printed when it ends:
# Wine starts long-lived helpers (services, the desktop, rpcss) from the
# first program that needs them, and those would otherwise keep the
# caller's output pipes open after the program has ended. With
# MORVANE_WINE_STREAM=1 it goes to the caller as it comes instead, for a
# caller that reads it while the program runs (and waits for the program's
# end, not for its pipes to close). Its standard input is empty, unless
# MORVANE_WINE_STDIN=1 hands it the caller's (a pipe into the program).
set -uo pipefail
here=$(dirname "$(readlink -f "$0")")
source "$here/wine-env.sh"
(($#)) || { echo "usage: $0 program.exe [args...]" >&2; exit 2; }
timeout_s=${MORVANE_WINE_TIMEOUT:-1200}
input=/dev/null
[[ ${MORVANE_WINE_STDIN:-} == 1 ]] && input=/dev/stdin

if ! wine_session_alive; then
    mkdir -p "$(dirname "$WINEPREFIX")"
    exec flock "$WINEPREFIX.lock" "$here/wine-session.sh" run "$here/run-wine.sh" "$@"
fi

if [[ ${MORVANE_WINE_STREAM:-} == 1 ]]; then
    exec timeout -k 10 "$timeout_s" wine "$@" <"$input"
fi
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
timeout -k 10 "$timeout_s" wine "$@" <"$input" >"$out" 2>"$err"
status=$?
cat "$out"
cat "$err" >&2
exit "$status"

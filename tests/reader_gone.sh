#!/usr/bin/env bash
# A reader of standard output that stops early (`| head -1`) is told
# nothing: morvane-host writes nothing to standard error then, `list` and
# `--help` exit 0, and a run whose transcript found no reader ends as
# SIGPIPE would (141) without writing its files; one that goes once they
# are written ends with 3, silently. Each case runs five
# times, as the reader's going races the writes. A full standard output
# is still an error.
#
#   reader_gone.sh HOST WORK_PARENT
set -uo pipefail
host=$1 work_parent=$2
mkdir -p "$work_parent"
work=$(mktemp -d "$work_parent/reader-gone.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

# A scene of 20 000 nodes, whose listing is far more than a pipe holds.
{
    printf '{"root": {"name": "Root", "transform": [[1,0,0],[0,1,0],[0,0,1],[0,0,0]], "children": ['
    for ((i = 0; i < 20000; i++)); do
        ((i)) && printf ','
        printf '{"name": "N%d", "transform": [[1,0,0],[0,1,0],[0,0,1],[%d,0,0]]}' "$i" "$i"
    done
    printf ']}}\n'
} >big.json
printf 'print\n' >print.session

failed=0
check() {  # EXPECTED-STATUS ARGUMENT...
    local expected=$1 status
    shift
    for round in 1 2 3 4 5; do
        { "$host" "$@" 2>err; echo $? >status; } | head -1 >/dev/null
        status=$(<status)
        if [[ $status != "$expected" || -s err ]]; then
            echo "morvane-host $* | head -1 (round $round): status $status, not $expected; standard error:" >&2
            cat err >&2
            failed=1
            return
        fi
    done
}
check 0 --help
check 0 list big.json
check 0 list --json big.json
check 141 big.json print.session -o out.json
# A reader that has gone before the `written:` line, once the files are
# written: silence (no held signal told), status 3, the file whole.
printf '# nothing to do\n' >nothing.session
for round in 1 2 3 4 5; do
    rm -f after.json
    { "$host" big.json nothing.session -o after.json 2>err; echo $? >status; } | true
    status=$(<status)
    if [[ $status != 3 && $status != 0 || -s err || ! -s after.json ]]; then
        echo "a reader gone after the files (round $round): status $status, standard error:" >&2
        cat err >&2
        failed=1
    fi
done
# A full disk is no reader that has gone: it is said, with the status of a
# file that cannot be written.
if [[ -e /dev/full ]]; then
    "$host" list big.json >/dev/full 2>err
    status=$?
    if [[ $status != 4 ]] || ! grep -q "no space left on device" err; then
        echo "list > /dev/full: status $status, not 4 with the reason" >&2
        cat err >&2
        failed=1
    fi
fi
if [[ -e out.json ]]; then
    echo "a run whose transcript found no reader wrote its file" >&2
    failed=1
fi
exit $failed

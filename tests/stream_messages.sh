#!/usr/bin/env bash
# Each message about standard input, standard output and a status, checked
# in the state that shows it: the whole line, in its case, on its stream,
# with the run's status.
#
#   stream_messages.sh HOST EXAMPLES WORK_PARENT
set -uo pipefail
host=$1 examples=$2 work_parent=$3
mkdir -p "$work_parent"
work=$(mktemp -d "$work_parent/stream-messages.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
cp "$examples/room.gltf" "$examples/room.bin" .
"$host" save-names room.gltf names.txt >/dev/null 2>&1 || { echo "no names file" >&2; exit 1; }

# Each row, split by @: the run (its standard output and error go to the
# files out and err), the status, the stream, a line it must hold whole.
rows=(
    "save-names room.gltf -@0@err@    the next file dialog will be answered with standard output"
    "save-names room.gltf -@0@err@    Velkora: saved 9 names to standard output: written"
    "load-names room.gltf - -o r.gltf <names.txt@0@out@    Velkora: loaded 9 names from standard input"
    "load-names room.gltf - -o r.gltf <names.txt@0@out@    open dialog chose standard input"
    "-q align room.gltf --select 5,6 -o -@0@err@changed 2 nodes; written to standard output"
    "-q align room.gltf --select 5,6 -o o.gltf@0@out@changed 2 nodes; written o.gltf"
    "-q align room.gltf --select 5,6 -o linked.gltf@0@err@morvane-host: \"linked.gltf\" was written in place (the file has other hard links)"
)
: >linked.gltf && ln linked.gltf linked-too.gltf
if [[ -e /dev/full ]]; then
    rows+=("-q align room.gltf --select 5,6 -o o.gltf >/dev/full@3@err@morvane-host: every file was written, but standard output cannot be written: no space left on device")
fi

failed=0
for row in "${rows[@]}"; do
    IFS='@' read -r run expected stream line <<<"$row"
    rm -f o.gltf r.gltf
    eval "\"\$host\" $run" >out 2>err
    status=$?
    if [[ $status != "$expected" ]] || ! grep -qxF -- "$line" "$stream"; then
        echo "morvane-host $run: status $status (not $expected), or no line '$line' on $stream:" >&2
        cat out err >&2
        failed=1
    fi
done
# Written whole all the same when only the report could not be.
if [[ -e /dev/full ]]; then
    "$host" -q align room.gltf --select 5,6 -o o.gltf >/dev/full 2>/dev/null
    "$host" -q align room.gltf --select 5,6 -o - >expected.gltf 2>/dev/null
    cmp -s o.gltf expected.gltf || { echo "the run of status 3 did not write its file whole" >&2; failed=1; }
fi
exit $failed

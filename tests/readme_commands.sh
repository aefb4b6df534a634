#!/usr/bin/env bash
# Runs the command blocks of README.md as a reader types them after
# `make demo`, in a scratch copy of the project's examples whose
# build/native/bin is the build's: every indented block that starts with
# `mkdir -p out` or `./build/native/bin/morvane-host` must exit 0, line by
# line, in order. The viewer's lines come last, as the demonstration makes
# what they show; each is started in the background: the page
# it prints the address of must be served, and so must every file that the
# scene it shows refers to; Ctrl-C (SIGINT) then ends it with status 0.
# The block that starts with `mkdir -p out` is what `make demo` runs: each
# of its lines must be a line of the Makefile's recipe.
#
#   readme_commands.sh README SOURCE_DIR BIN_DIR WORK_PARENT NODE
set -uo pipefail
readme=$1 source_dir=$2 bin_dir=$3 work_parent=$4 node=$5

mkdir -p "$work_parent"
work=$(mktemp -d "$work_parent/readme.XXXXXX")
viewer=
cleanup() {
    [[ -n $viewer ]] && kill "$viewer" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
cp -r "$source_dir/examples" "$work/examples"
mkdir -p "$work/build/native"
ln -s "$bin_dir" "$work/build/native/bin"
cd "$work" || exit 1

# The README's indented blocks, one a record: lines joined by newlines.
mapfile -d '' blocks < <(awk '
    /^    / { block = block substr($0, 5) "\n"; next }
    /^$/ && block != "" { next }
    { if (block != "") printf "%s%c", block, 0; block = "" }
    END { if (block != "") printf "%s%c", block, 0 }' "$readme")

# Serves the scene of the viewer's `line`, then ends it as Ctrl-C does.
view() {
    local line=$1 address status
    bash -c "exec $line" >"$work/view.out" 2>"$work/view.err" &
    viewer=$!
    for _ in $(seq 100); do
        grep -q '^http' "$work/view.out" 2>/dev/null && break
        sleep 0.1
    done
    address=$(grep -m1 '^http' "$work/view.out")
    if ! "$node" "$source_dir/tests/fetch_viewed_scene.mjs" "$address"; then
        echo "README: $line: the viewer did not serve the scene whole" >&2
        cat "$work/view.err" >&2
        failed=1
    fi
    kill -INT "$viewer"
    wait "$viewer"
    status=$?
    viewer=
    if ((status != 0)); then
        echo "README: $line: ended with status $status after Ctrl-C" >&2
        failed=1
    fi
}

failed=0 ran=0 views=()
for block in "${blocks[@]}"; do
    case $block in
        "mkdir -p out"* | "./build/native/bin/morvane-host"*) ;;
        *) continue ;;
    esac
    while IFS= read -r line; do
        [[ -z $line ]] && continue
        if [[ $line == *" view "* ]]; then
            views+=("$line")
            continue
        fi
        ran=$((ran + 1))
        if [[ $block == "mkdir -p out"* ]] && ! grep -qxF "	$line" "$source_dir/Makefile"; then
            echo "README: a line that make demo does not run: $line" >&2
            failed=1
        fi
        if ! bash -c "$line" >"$work/line.out" 2>&1; then
            echo "README: this line failed:" >&2
            echo "    $line" >&2
            cat "$work/line.out" >&2
            failed=1
        fi
    done <<<"$block"
done
for line in "${views[@]}"; do
    view "$line"
done
if ((ran == 0 || ${#views[@]} == 0)); then
    echo "README: no command block, or no viewer line, was found" >&2
    failed=1
fi
echo "ran $ran lines of README.md and ${#views[@]} of the viewer"
exit $failed

#!/usr/bin/env bash
# Every input's bound, one row each: past it, morvane-host says so in one
# line that names the input and the bound, exits 1 and writes nothing; at
# it, the bound is not what stops the run.
#
#   input_bounds.sh HOST WORK_PARENT
set -uo pipefail
host=$1 work_parent=$2
mkdir -p "$work_parent"
work=$(mktemp -d "$work_parent/input-bounds.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

printf '{"root": {"name": "Root", "transform": [[1,0,0],[0,1,0],[0,0,1],[0,0,0]], "children": [%s]}}\n' \
    '{"name": "a", "transform": [[1,0,0],[0,1,0],[0,0,1],[0,0,0]]}' >scene.json
repeat() { local i; for ((i = 0; i < $2; i++)); do printf '%s' "$1"; done; }  # TEXT COUNT
session() { "$host" scene.json s.session -o out.json; }
comments() { yes '# a comment line of sixty-four bytes, line end included .......' | head -c "$1"; }  # BYTES
# A glTF scene whose translation keys are in a view that meshopt compresses,
# of COUNT elements of 12 bytes; its pivot moved, so that they are decoded.
compressed() {  # COUNT
    local length=$(($1 * 12))
    printf '{"asset":{"version":"2.0"},"extensionsUsed":["EXT_meshopt_compression"],"scene":0,"scenes":[{"nodes":[0]}],"nodes":[{"name":"a"}],%s%s%s%s\n' \
        '"animations":[{"channels":[{"sampler":0,"target":{"node":0,"path":"translation"}}],"samplers":[{"input":0,"output":1}]}],' \
        '"accessors":[{"bufferView":0,"componentType":5126,"count":2,"type":"SCALAR","min":[0],"max":[1]},{"bufferView":1,"componentType":5126,"count":2,"type":"VEC3"}],' \
        "\"bufferViews\":[{\"buffer\":0,\"byteLength\":8},{\"buffer\":1,\"byteLength\":$length,\"extensions\":{\"EXT_meshopt_compression\":{\"buffer\":0,\"byteLength\":8,\"byteStride\":12,\"count\":$1,\"mode\":\"ATTRIBUTES\"}}}]," \
        "\"buffers\":[{\"byteLength\":8,\"uri\":\"data:application/octet-stream;base64,AAAAAAAAgD8=\"},{\"byteLength\":$length}]}" >c.gltf
}
pivoted() { "$host" pivot c.gltf --select-name a --axis Y --from 1,0,0 --to 1,1,0 -o out.gltf && touch out.json; }

# Each row, split by @: its name, what standard error must hold (empty:
# not a bound's refusal), the command that makes the input, the run.
rows=(
    "standard input@standard input: more than 268435456 bytes, the bound of standard input@@$host load-names scene.json - -o out.json </dev/zero"
    "standard input at the bound@@@head -c 268435456 /dev/zero | $host load-names scene.json - -o out.json"
    "session bytes@s.session: more than 67108864 bytes, the bound of a session@{ comments 67108864; echo; } >s.session@session"
    "session bytes at the bound@@comments 67108864 >s.session@session"
    "session lines@s.session: more than 4194304 lines, the bound of a session@head -c 4194305 /dev/zero | tr '\\0' '\\n' >s.session@session"
    "session lines at the bound@@head -c 4194304 /dev/zero | tr '\\0' '\\n' >s.session@session"
    "line bytes@s.session:2: more than 16777216 bytes, the bound of a line of a session@{ echo; printf '#'; head -c 16777216 /dev/zero | tr '\\0' a; } >s.session@session"
    "line bytes at the bound@@{ echo; printf '#'; head -c 16777215 /dev/zero | tr '\\0' a; } >s.session@session"
    "pattern bytes@more than 4096 bytes, the bound of a name pattern or path@{ printf 'select-name '; repeat a 4097; } >s.session@session"
    "pattern bytes at the bound@@{ printf 'select-name '; repeat a 4096; } >s.session@session"
    "path steps@more than 256 steps, the bound of a path@{ printf 'select-path a'; repeat /a 256; } >s.session@session"
    "path steps at the bound@@{ printf 'select-path a'; repeat /a 255; } >s.session@session"
    "any-depth steps@more than 16 \"**\" steps, the bound of a path@{ printf 'select-path a'; repeat '/**' 17; } >s.session@session"
    "any-depth steps at the bound@@{ printf 'select-path a'; repeat '/**' 16; } >s.session@session"
    "wildcard names@s.session:1: more than 64 names with * or ?, the bound of a select-name@{ printf 'select-name'; for i in {0..64}; do printf ' a%d*' \$i; done; } >s.session@session"
    "wildcard names at the bound@@{ printf 'select-name a'; for i in {1..64}; do printf ' a%d*' \$i; done; } >s.session@session"
    "decoded view bytes@(nodes[0]): its keys cannot be read: bufferViews[1]: its EXT_meshopt_compression data cannot be decoded: 89478486 elements of 12 bytes: more than 1073741824 bytes decoded, the bound of a compressed buffer view@compressed 89478486@pivoted"
    "decoded view bytes at the bound@@compressed 89478485@pivoted"
    "input file bytes@larger than 1024 MiB@truncate -s 1073741825 s.session@session"
)

failed=0
for row in "${rows[@]}"; do
    IFS='@' read -r name expected make run <<<"$row"
    rm -f out.json out.gltf s.session
    eval "$make"
    eval "$run" >/dev/null 2>err
    status=$?
    if [[ -n $expected ]]; then
        if [[ $status != 1 || $(wc -l <err) != 1 ]] || ! grep -qF -- "$expected" err || [[ -e out.json ]]; then
            echo "$name: status $status, not 1 with one line holding '$expected', nothing written:" >&2
            cat err >&2
            failed=1
        fi
    elif grep -q "the bound of" err; then
        echo "$name: refused at the bound:" >&2
        cat err >&2
        failed=1
    fi
done
exit $failed

#!/usr/bin/env bash
# The checks of the sources that no compiler makes, each run even when one
# before it failed; the exit status is 1 when any of them found something.
#   1. the layout of the C++ sources (scripts/format.sh --check, .clang-format);
#   2. clang-tidy (.clang-tidy) over the product's C++ sources, as the native
#      build compiles them (build/native/compile_commands.json);
#   3. ESLint (tools/viewer/eslint.config.mjs) over the viewer's page and the
#      Node.js scripts.
# Usage: scripts/lint.sh [-j JOBS]   (JOBS clang-tidy processes, 2 if not given)
set -uo pipefail
cd "$(dirname "$0")/.."

jobs=2
if [[ ${1:-} == -j ]]; then
    jobs=$2
elif [[ ${1:-} == -j* ]]; then
    jobs=${1#-j}
fi

failed=()

echo "lint: layout (clang-format)"
bash scripts/format.sh --check || failed+=("layout: apply it with scripts/format.sh")

echo "lint: clang-tidy"
database=build/native/compile_commands.json
if [[ ! -f $database ]]; then
    echo "lint: $database is missing; configure the native build first (cmake --preset native)" >&2
    failed+=(clang-tidy)
else
    # The product's sources as the build names them, each once (a source
    # built into both plug-ins is checked once); not the tests or benchmarks.
    mapfile -t sources < <(sed -n 's/^ *"file": "\(.*\)",\{0,1\}$/\1/p' "$database" |
        grep -E "^$PWD/(driver|host|names|pivot|safewrite|shell)/" | sort -u)
    if ((${#sources[@]} == 0)); then
        echo "lint: no product source in $database" >&2
        failed+=(clang-tidy)
    else
        # The build's precompiled headers are GCC's, which clang cannot
        # read: clang-tidy is given the commands without them.
        tidy=$(mktemp -d)
        trap 'rm -rf "$tidy"' EXIT
        sed -E 's# -Winvalid-pch -include [^ ]*/cmake_pch\.hxx##' "$database" >"$tidy/compile_commands.json"
        printf '%s\n' "${sources[@]}" |
            xargs -P "$jobs" -n 4 clang-tidy -p "$tidy" --quiet 2> >(grep -v ' warnings\{0,1\} generated\.$' >&2) ||
            failed+=(clang-tidy)
    fi
fi

echo "lint: ESLint"
tools/viewer/node_modules/.bin/eslint --config tools/viewer/eslint.config.mjs \
    driver/view/page tools/gltf-validator tools/three-client tools/viewer-bench tests/browser || failed+=(ESLint)

if ((${#failed[@]} > 0)); then
    printf 'lint: found something: %s\n' "${failed[@]}" >&2
    exit 1
fi
echo "lint: clean"

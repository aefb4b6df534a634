#!/usr/bin/env bash
# Lays out every C++ source of the project (the folders below) as
# .clang-format says, in place. With --check it changes nothing and fails,
# naming each file and line, where a source differs from that layout.
#   scripts/format.sh           apply the layout
#   scripts/format.sh --check   check it (part of `make test`, via scripts/lint.sh)
set -euo pipefail
cd "$(dirname "$0")/.."

folders=(bench driver fuzz host names pivot safewrite shell tests)
mapfile -t sources < <(git ls-files -- "${folders[@]/%//*.cpp}" "${folders[@]/%//*.h}")
if ((${#sources[@]} == 0)); then
    echo "format.sh: no C++ source found (is this a git checkout?)" >&2
    exit 1
fi

case ${1:-} in
    --check) exec clang-format --dry-run -Werror "${sources[@]}" ;;
    "") exec clang-format -i "${sources[@]}" ;;
    *) echo "usage: scripts/format.sh [--check]" >&2; exit 2 ;;
esac

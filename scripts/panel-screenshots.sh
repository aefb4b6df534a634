#!/usr/bin/env bash
# Pictures of both tools' panels as Wine draws them, for the documentation:
# builds the Windows preset, opens each panel in the stand-in host under a
# Wine session (Xvfb), copies what the screen shows of it to a BMP and
# converts that to docs/tarvel-panel.png and docs/velkora-panel.png.
# Not part of `make test`.
set -euo pipefail
root=$(dirname "$(readlink -f "$0")")/..
cd "$root"
make windows
bin=build/windows/bin
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for tool in Tarvel Velkora; do
    lower=$(tr '[:upper:]' '[:lower:]' <<<"$tool")
    bash scripts/run-wine.sh "$bin/panel_screenshot.exe" "$tool" "$scratch/$lower.bmp"
    convert "$scratch/$lower.bmp" -strip "docs/$lower-panel.png"
    echo "docs/$lower-panel.png"
done

#!/usr/bin/env bash
# Installs the Khronos glTF Validator (npm package gltf-validator, at the
# version that tools/gltf-validator/package-lock.json pins) into
# tools/gltf-validator/node_modules, unless it is there already.
set -euo pipefail
cd "$(dirname "$0")/../tools/gltf-validator"

wanted=$(node -p 'require("./package-lock.json").packages["node_modules/gltf-validator"].version')
installed=$(node -p 'try { require("./node_modules/gltf-validator/package.json").version } catch { "" }')
if [[ "$installed" != "$wanted" ]]; then
    echo "Installing the glTF validator $wanted"
    npm ci --no-audit --no-fund --loglevel=error
fi

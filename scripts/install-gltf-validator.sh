#!/usr/bin/env bash
# Installs the npm packages that check written glTF files, each at the
# version that its folder's package-lock.json pins, unless it is there
# already: the Khronos glTF Validator (tools/gltf-validator) and three.js,
# a second client that reads them (tools/three-client).
set -euo pipefail
tools="$(cd "$(dirname "$0")/../tools" && pwd)"

install() {  # FOLDER PACKAGE
    cd "$tools/$1"
    local wanted installed
    wanted=$(node -p "require('./package-lock.json').packages['node_modules/$2'].version")
    installed=$(node -p "try { require('./node_modules/$2/package.json').version } catch { '' }")
    if [[ "$installed" != "$wanted" ]]; then
        echo "Installing $2 $wanted"
        npm ci --no-audit --no-fund --loglevel=error
    fi
}
install gltf-validator gltf-validator
install three-client three

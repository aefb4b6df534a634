#!/usr/bin/env bash
# Installs the viewer's npm packages (three, copied into the build for the
# page, and playwright-core, which drives Debian's chromium in the browser
# test and never downloads a browser) at the versions that
# tools/viewer/package-lock.json pins, into tools/viewer/node_modules,
# unless they are there already.
set -euo pipefail
cd "$(dirname "$0")/../tools/viewer"

version() {
    node -p "try { require('$1').version } catch { '' }"
}
if [[ "$(version ./node_modules/three/package.json)" != \
          "$(node -p 'require("./package-lock.json").packages["node_modules/three"].version')" ||
      "$(version ./node_modules/playwright-core/package.json)" != \
          "$(node -p 'require("./package-lock.json").packages["node_modules/playwright-core"].version')" ]]; then
    echo "Installing the viewer's packages (three, playwright-core)"
    PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error
fi

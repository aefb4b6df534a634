#!/usr/bin/env bash
# Installs the viewer's npm packages (three, copied into the build for the
# page; playwright-core, which drives Debian's chromium in the browser
# test and never downloads a browser; ESLint, which scripts/lint.sh runs
# over the page and the Node.js scripts) at the versions that
# tools/viewer/package-lock.json pins, into tools/viewer/node_modules,
# unless they are there already.
set -euo pipefail
cd "$(dirname "$0")/../tools/viewer"

version() {
    node -p "try { require('$1').version } catch { '' }"
}
missing=false
for package in three playwright-core eslint @eslint/js globals; do
    if [[ "$(version "./node_modules/$package/package.json")" != \
          "$(node -p "require('./package-lock.json').packages['node_modules/$package'].version")" ]]; then
        missing=true
    fi
done
if $missing; then
    echo "Installing the viewer's packages (three, playwright-core, eslint)"
    PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error
fi

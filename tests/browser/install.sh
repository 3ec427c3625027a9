#!/bin/sh
# Installs the browser test's driver (playwright-core, which uses the system's Chromium and
# downloads no browser) into tests/browser/node_modules, as package-lock.json pins it.
set -eu
cd "$(dirname "$0")"
command -v npm >/dev/null 2>&1 || { echo "browser test: npm is missing" >&2; exit 1; }
npm ci --no-audit --no-fund --loglevel=error

#!/bin/sh
# The browser test of the HTML report: makes a two-page run with the built tool and drives
# its report in headless Chromium (report_test.mjs).
# Usage: run.sh VORLANE_TOOL WORK_DIR [SCREENSHOT_DIR]
# Exits 77 (skipped) when no Chromium is installed.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
tool=$1
work=$2
screens=${3:-}
chromium=${VORLANE_CHROMIUM:-/usr/bin/chromium}
if [ ! -x "$chromium" ]; then
  echo "SKIPPED: no Chromium at $chromium (scripts/install-deps.sh installs Debian's chromium)"
  exit 77
fi
command -v node >/dev/null 2>&1 || { echo "browser test: node is missing" >&2; exit 1; }
[ -d "$here/node_modules/playwright-core" ] || "$here/install.sh"

rm -rf "$work"
mkdir -p "$work"
"$tool" demo --size 600x800 --save-page -q -o "$work/a" >/dev/null
"$tool" demo --size 500x700 --save-page -q -o "$work/b" >/dev/null
cp "$work/a/demo-page.tif" "$work/page-1.tif"
cp "$work/b/demo-page.tif" "$work/page-2.tif"
"$tool" process "$work/page-1.tif" "$work/page-2.tif" --deskew auto --report -q \
  -o "$work/out" >/dev/null
[ -z "$screens" ] || mkdir -p "$screens"
VORLANE_CHROMIUM=$chromium node "$here/report_test.mjs" "$work/out" $screens

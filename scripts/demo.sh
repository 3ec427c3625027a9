#!/bin/sh
# Installs what is missing, builds the library and the vorlane tool in Release, and runs the
# tool's demo: a synthetic scanned page processed into out/, listing the files it wrote and
# the HTML report (out/index.html) to open in a browser.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DVORLANE_BUILD_TESTS=OFF \
  -DVORLANE_BUILD_BENCH=OFF
cmake --build "$BUILD_DIR" -j "$(nproc)" --target vorlane_tool
"$BUILD_DIR"/tools/vorlane/vorlane demo -o out/ --report

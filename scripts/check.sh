#!/bin/sh
# Installs what is missing, builds the library with its tests under AddressSanitizer and
# UndefinedBehaviorSanitizer (warnings are errors), and runs the test suite.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
BUILD_DIR=${BUILD_DIR:-build-check}
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORLANE_SANITIZE=ON -DVORLANE_WERROR=ON \
  -DVORLANE_BUILD_BENCH=OFF
cmake --build "$BUILD_DIR" -j "$(nproc)"
ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$(nproc)"

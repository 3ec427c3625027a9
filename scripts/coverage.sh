#!/bin/sh
# Builds the library and its tests with gcc coverage (atomic counters: passes run on several
# threads), runs the test suite and prints the library's line and branch coverage; the HTML
# report goes to $BUILD_DIR/coverage/index.html.
set -eu
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
BUILD_DIR=${BUILD_DIR:-build-coverage}
JOBS=${JOBS:-$(nproc)}
launcher=""
command -v ccache >/dev/null 2>&1 && launcher="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
# shellcheck disable=SC2086
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Debug -DVORLANE_SANITIZE=OFF \
  -DVORLANE_BUILD_BENCH=OFF -DVORLANE_BUILD_TOOLS=OFF $launcher \
  -DCMAKE_CXX_FLAGS="--coverage -fprofile-update=atomic" -DCMAKE_C_FLAGS="--coverage -fprofile-update=atomic" \
  -DCMAKE_EXE_LINKER_FLAGS="--coverage" -DCMAKE_SHARED_LINKER_FLAGS="--coverage"
cmake --build "$BUILD_DIR" -j "$JOBS"
# Counters from an earlier run would add up with this one.
find "$BUILD_DIR" -name '*.gcda' -delete
# The installed-package test builds a host program; it adds nothing to the library's counters.
ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$JOBS" -E '^InstalledPackage\.'
mkdir -p "$BUILD_DIR/coverage"
# Only the library counts: the platform layer, the classes, the kernels and the entry point.
gcovr --root . --object-directory "$BUILD_DIR" "$BUILD_DIR" \
  --filter 'platform/' --filter 'colourfunctions/' --filter 'imageclasses/' \
  --filter 'kernels/' --filter 'vorlane/' \
  --exclude-directories "$BUILD_DIR/CMakeFiles/[0-9]" \
  --exclude-unreachable-branches --exclude-throw-branches \
  --print-summary --html-details "$BUILD_DIR/coverage/index.html"
echo "HTML report: $BUILD_DIR/coverage/index.html"

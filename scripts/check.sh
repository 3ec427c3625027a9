#!/bin/sh
# Checks which folders include which (scripts/check-layering.sh), installs what is missing,
# builds the library with its tests under AddressSanitizer and UndefinedBehaviorSanitizer
# (warnings are errors) and runs the test suite; then builds the
# Python module in a plain build (an ASan-built extension cannot load into python3) and runs
# its tests with pytest.
set -eu
cd "$(dirname "$0")/.."
./scripts/check-layering.sh
./scripts/install-deps.sh
BUILD_DIR=${BUILD_DIR:-build-check}
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORLANE_SANITIZE=ON -DVORLANE_WERROR=ON \
  -DVORLANE_BUILD_BENCH=OFF
cmake --build "$BUILD_DIR" -j "$(nproc)"
ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$(nproc)"

# The Debian interpreter, which has the packages that install-deps.sh installed.
PYTHON=${PYTHON:-/usr/bin/python3}
PYTHON_BUILD_DIR=${PYTHON_BUILD_DIR:-build-python}
cmake -S . -B "$PYTHON_BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DVORLANE_WERROR=ON \
  -DVORLANE_BUILD_TESTS=OFF -DVORLANE_BUILD_BENCH=OFF -DVORLANE_BUILD_PYTHON=ON \
  -DPython3_EXECUTABLE="$PYTHON"
cmake --build "$PYTHON_BUILD_DIR" -j "$(nproc)" --target _vorlane
PYTHONPATH="$PWD/$PYTHON_BUILD_DIR/python" "$PYTHON" -m pytest -q -p no:cacheprovider python/tests

#!/bin/sh
# Rewrites the golden display pictures under tests/data/golden from the current code.
# Usage: scripts/regenerate-goldens.sh [build-dir]   (default: build-check)
# The test binary runs from its own directory, as under CTest, where it finds the pictures.
set -eu
build=$(cd "${1:-build-check}" && pwd)
cd "$build/tests"
VORLANE_REGENERATE_GOLDENS=1 ./vorlane_tests --gtest_filter='DisplayGolden.*'
echo "Goldens rewritten; review them (e.g. with an image viewer) before committing."

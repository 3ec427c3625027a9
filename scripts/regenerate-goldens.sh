#!/bin/sh
# Rewrites the golden display pictures under tests/data/golden from the current code.
# Usage: scripts/regenerate-goldens.sh [build-dir]   (default: build-check)
set -eu
build="${1:-build-check}"
VORLANE_REGENERATE_GOLDENS=1 "$build/tests/vorlane_tests" --gtest_filter='DisplayGolden.*'
echo "Goldens rewritten; review them (e.g. with an image viewer) before committing."

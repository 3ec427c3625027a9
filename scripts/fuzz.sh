#!/bin/sh
# Builds the libFuzzer targets with clang (ASan and UBSan) and runs each named target for
# SECONDS on its seed corpus: scripts/fuzz.sh SECONDS [TARGET...] (default: every target).
# Corpora and findings are kept in build-fuzz/corpus/<target>.
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-60}
[ $# -gt 0 ] && shift
targets=${*:-"tiff_load_fuzzer archive_fuzzer png_fuzzer jpeg_fuzzer tiff_pages_fuzzer"}
BUILD_DIR=${BUILD_DIR:-build-fuzz}
CC=clang CXX=clang++ cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORLANE_FUZZ=ON \
  -DVORLANE_BUILD_TESTS=OFF -DVORLANE_BUILD_BENCH=OFF -DVORLANE_BUILD_TOOLS=OFF >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)" --target $targets tiff_fuzz_seeds archive_fuzz_seeds \
  page_fuzz_seeds
corpus="$BUILD_DIR/corpus"
mkdir -p "$corpus/tiff" "$corpus/archive" "$corpus/png" "$corpus/jpeg"
"$BUILD_DIR/fuzz/tiff_fuzz_seeds" "$corpus/tiff"
"$BUILD_DIR/fuzz/archive_fuzz_seeds" "$corpus/archive"
"$BUILD_DIR/fuzz/page_fuzz_seeds" "$corpus/png" "$corpus/jpeg"
for target in $targets; do
  case $target in
    png_fuzzer) seeds=png ;;
    jpeg_fuzzer) seeds=jpeg ;;
    archive_fuzzer) seeds=archive ;;
    *) seeds=tiff ;;
  esac
  mkdir -p "$corpus/$target"
  echo "== $target for $seconds s"
  "$BUILD_DIR/fuzz/$target" -max_total_time="$seconds" -rss_limit_mb=3072 -print_final_stats=1 \
    -artifact_prefix="$corpus/$target/" "$corpus/$target" "$corpus/$seeds"
done

#!/usr/bin/env bash
# Installs what is missing, builds and runs every test.
# Usage: scripts/test.sh [plain|asan]   (the build modes of scripts/build.sh that hold tests;
#   asan also replays the fuzz targets' saved inputs)
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-plain}
case "$mode" in
  plain) dir=build ;;
  asan) dir=build-asan ;;
  *) echo "usage: $0 [plain|asan]" >&2; exit 2 ;;
esac
bash scripts/install-deps.sh
bash scripts/build.sh "$mode"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
ctest --test-dir "$dir" --output-on-failure -j"$(nproc)"

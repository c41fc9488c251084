#!/usr/bin/env bash
# Installs what is missing, builds and runs every test.
# Usage: scripts/test.sh [plain|release|clang|asan] (the build modes of scripts/build.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-plain}
bash scripts/install-deps.sh
bash scripts/build.sh "$mode"
dir=build
[ "$mode" = plain ] || dir=build-$mode
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
ctest --test-dir "$dir" --output-on-failure -j"$(nproc)"

#!/usr/bin/env bash
# The fuzz targets (tests/fuzz) built with clang and libFuzzer in build-fuzz.
#   scripts/fuzz.sh              builds them and replays every saved input (CI replays them in
#                                scripts/test.sh asan, the same sanitizers without libFuzzer)
#   scripts/fuzz.sh TARGET SECS  fuzzes one target for SECS seconds; its corpus grows in
#                                build-fuzz/corpus/TARGET, a crash lands in build-fuzz/crashes
# Targets: real_file dictionary field_codec ini description unformatted aliases ddf dialect redo.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
gen=()
command -v ninja >/dev/null 2>&1 && gen=(-G Ninja)
CC=clang CXX=clang++ cmake -S . -B build-fuzz "${gen[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUORVATH_FUZZ=ON -DQUORVATH_GUI=OFF -DQUORVATH_WERROR=ON >/dev/null
targets=(real_file dictionary field_codec ini description unformatted aliases ddf dialect redo)
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
if [ $# -eq 0 ]; then
  names=()
  for t in "${targets[@]}"; do names+=("fuzz_$t" "fuzz_${t}_replay"); done
  cmake --build build-fuzz -j"$(nproc)" --target "${names[@]}"
  ctest --test-dir build-fuzz -L fuzz --output-on-failure
  exit 0
fi
target=$1
seconds=${2:-600}
cmake --build build-fuzz -j"$(nproc)" --target "fuzz_$target"
mkdir -p "build-fuzz/corpus/$target" build-fuzz/crashes
seeds=("tests/fuzz/$target")
case "$target" in
  real_file | dictionary)
    seeds+=(tests/recman_real/samples)
    # The real-world samples (8.x pages, compressed records), when laid beside the tree.
    shared=../shared/btrieve-samples/exchequer
    if [ "$target" = real_file ] && [ -d "$shared" ]; then seeds+=("$shared"); fi
    ;;
  description) seeds+=(examples tests/dict/fixtures) ;;
esac
"build-fuzz/tests/fuzz/fuzz_$target" "build-fuzz/corpus/$target" "${seeds[@]}" \
  -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=20 -print_final_stats=1 \
  -artifact_prefix=build-fuzz/crashes/"$target"-

#!/usr/bin/env bash
# Configures and builds one build tree, warnings as errors. Usage:
#   scripts/build.sh [plain|release|asan] [configure]   (configure: stop before building)
#   plain    build/          RelWithDebInfo, the default compiler, with the tests
#   release  build-release/  Release (-O3), what the package holds: no tests, no benchmarks
#   asan     build-asan/     Debug with clang, AddressSanitizer and UndefinedBehaviorSanitizer,
#                            with the tests and the replays of the fuzz targets' saved inputs
# ccache is used when it is installed: its own cache folder (CCACHE_DIR, else ccache's default
# under the home folder, else .ccache here), with paths taken relative to this tree, so that
# clones in other folders share it.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-plain}
case "$mode" in
  plain) dir=build; flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  release)
    dir=build-release
    flags=(-DCMAKE_BUILD_TYPE=Release -DQUORVATH_TESTS=OFF -DQUORVATH_BENCH=OFF)
    ;;
  asan)
    dir=build-asan
    flags=(-DCMAKE_BUILD_TYPE=Debug -DQUORVATH_SANITIZE=ON
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++)
    # A tree configured earlier with another compiler is configured anew.
    if [ -f "$dir/CMakeCache.txt" ] && ! grep -q '^CMAKE_CXX_COMPILER:.*clang++' "$dir/CMakeCache.txt"; then
      rm -rf "$dir/CMakeCache.txt" "$dir/CMakeFiles"
    fi
    ;;
  *) echo "usage: $0 [plain|release|asan] [configure]" >&2; exit 2 ;;
esac
flags+=(-DQUORVATH_WERROR=ON)
if command -v ccache >/dev/null 2>&1; then
  flags+=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  [ -n "${CCACHE_DIR:-}" ] || [ -n "${HOME:-}" ] || export CCACHE_DIR=$PWD/.ccache
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD}
  # The folder a compile ran in is left out of the cache key (debug information may name the
  # folder of the clone that filled the cache).
  export CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-true}
fi
gen=()
command -v ninja >/dev/null 2>&1 && gen=(-G Ninja)
cmake -S . -B "$dir" "${gen[@]}" "${flags[@]}" >/dev/null
[ "${2:-}" = configure ] && exit 0
cmake --build "$dir" -j"$(nproc)"

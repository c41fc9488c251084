#!/usr/bin/env bash
# Configures and builds one build tree, warnings as errors. Usage:
#   scripts/build.sh [plain|release|clang|asan]
#   plain    build/          RelWithDebInfo, the default compiler
#   release  build-release/  Release (-O3)
#   clang    build-clang/    RelWithDebInfo with clang
#   asan     build-asan/     Debug with AddressSanitizer and UndefinedBehaviorSanitizer
# ccache is used when it is installed.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-plain}
case "$mode" in
  plain) dir=build; flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  release) dir=build-release; flags=(-DCMAKE_BUILD_TYPE=Release) ;;
  clang)
    dir=build-clang
    flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++)
    ;;
  asan) dir=build-asan; flags=(-DCMAKE_BUILD_TYPE=Debug -DQUORVATH_SANITIZE=ON) ;;
  *) echo "usage: $0 [plain|release|clang|asan]" >&2; exit 2 ;;
esac
flags+=(-DQUORVATH_WERROR=ON)
if command -v ccache >/dev/null 2>&1; then
  flags+=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
gen=()
command -v ninja >/dev/null 2>&1 && gen=(-G Ninja)
cmake -S . -B "$dir" "${gen[@]}" "${flags[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)"

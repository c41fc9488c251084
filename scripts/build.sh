#!/usr/bin/env bash
# Configures and builds one build tree. Usage: scripts/build.sh [plain|asan]
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-plain}
case "$mode" in
  plain) dir=build; flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  asan) dir=build-asan; flags=(-DCMAKE_BUILD_TYPE=Debug -DQUORVATH_SANITIZE=ON) ;;
  *) echo "usage: $0 [plain|asan]" >&2; exit 2 ;;
esac
gen=()
command -v ninja >/dev/null 2>&1 && gen=(-G Ninja)
cmake -S . -B "$dir" "${gen[@]}" "${flags[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)"

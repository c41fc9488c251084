#!/usr/bin/env bash
# Installs what is missing, builds the program and the demo files, and exports the demo data
# file to demo.sql in the repository root. Usage: scripts/demo.sh
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
command -v python3 >/dev/null 2>&1 || {
  echo "python3 is needed to build the demo files" >&2
  exit 1
}
dir=build-demo
gen=()
command -v ninja >/dev/null 2>&1 && gen=(-G Ninja)
cmake -S . -B "$dir" "${gen[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVATH_TESTS=OFF \
  -DQUORVATH_GUI=OFF >/dev/null
cmake --build "$dir" --target quorvath demo_files -j2
"$dir/app/quorvath" --dict "$dir/examples/demo.def" --base "$dir/examples/clients.dbt" \
  --sql demo.sql --table CLIENTS --commit 5
echo "Script written to $(pwd)/demo.sql"

#!/usr/bin/env bash
# Side by side with pgdbf over the same rows (see README, "Speed, side by side").
# Usage: bench/side_by_side.sh [BUILD_DIR] [records...]   (default build/, 1 and 10 million),
# then --all -j 1 and -j 2 over 8 tables of 200 000 records.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
shift || true
cmake --build "$build" --target side_by_side -j2 >/dev/null
command -v pgdbf >/dev/null || echo "pgdbf is not installed: quorvath alone (scripts/install-deps.sh bench)"
work=$(mktemp -d "${TMPDIR:-/tmp}/side_by_side.XXXXXX")
trap 'rm -rf "$work"' EXIT
"$build/bench/side/side_by_side" "$work" "$@"
# Then --all over a database of many tables, -j 2 against -j 1.
echo
"$build/bench/side/side_by_side" "$work/many" --tables 8 200000

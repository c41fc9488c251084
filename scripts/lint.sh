#!/usr/bin/env bash
# Style checks, changing nothing: clang-format (.clang-format) over every tracked C and C++
# file, then clang-tidy (.clang-tidy) over the C and C++ sources the last commit (or COMMIT)
# changed against its first parent (for a changed header, its .cpp beside it), with the compile
# commands of build-asan/ (configured here when missing).
# Usage: scripts/lint.sh [COMMIT]   (clang-format and clang-tidy: scripts/install-deps.sh ci)
set -euo pipefail
cd "$(dirname "$0")/.."
rev=${1:-HEAD}
for tool in clang-format clang-tidy; do
  command -v "$tool" >/dev/null 2>&1 || { echo "lint: $tool is not installed" >&2; exit 1; }
done

echo "lint: clang-format over the tracked C and C++ files"
git ls-files -z '*.cpp' '*.cc' '*.c' '*.h' '*.hpp' | xargs -0 clang-format --dry-run --Werror

if ! git rev-parse -q --verify "$rev^1" >/dev/null; then
  echo "lint: $rev has no parent here; clang-tidy has nothing to compare"
  exit 0
fi
sources=()
while IFS= read -r f; do
  case "$f" in
    *.cpp | *.cc | *.c) sources+=("$f") ;;
    *.h | *.hpp) [ -f "${f%.*}.cpp" ] && sources+=("${f%.*}.cpp") ;;
  esac
done < <(git diff --name-only --diff-filter=d "$rev^1" "$rev" | sort -u)
if [ ${#sources[@]} -eq 0 ]; then
  echo "lint: $rev changed no C or C++ source"
  exit 0
fi
mapfile -t sources < <(printf '%s\n' "${sources[@]}" | sort -u)
[ -f build-asan/compile_commands.json ] || bash scripts/build.sh asan configure
# Only the files a build compiles have compile commands (a benchmark left out, say).
checked=()
for f in "${sources[@]}"; do
  if grep -qF "\"file\": \"$PWD/$f\"" build-asan/compile_commands.json; then
    checked+=("$f")
  else
    echo "lint: $f is compiled by no target of build-asan; clang-tidy skips it"
  fi
done
[ ${#checked[@]} -gt 0 ] || exit 0
echo "lint: clang-tidy over the ${#checked[@]} files $rev changed"
# Each file's count of the warnings the configuration leaves out is left out too.
printf '%s\n' "${checked[@]}" |
  xargs -P "$(nproc)" -n 1 clang-tidy -p build-asan --quiet --warnings-as-errors='*' 2>&1 |
  { grep -v '^[0-9]* warnings\? generated\.$' || true; }

#!/usr/bin/env bash
# Makes the Debian package from a build tree and tries it: unpacks it into a scratch root with
# dpkg -x, checks what it holds and its Depends, and runs the installed quorvath (--version,
# no arguments, the demo export from the installed examples).
# Usage: scripts/package-check.sh [BUILD_DIR]   (default build-release)
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-release}
version=$(sed -n 's/^project(Quorvath VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
arch=$(dpkg --print-architecture)
deb="$dir/quorvath_${version}_${arch}.deb"
rm -f "$deb"
(cd "$dir" && cpack -G DEB >/dev/null)
[ -f "$deb" ] || { echo "package-check: $deb was not made" >&2; exit 1; }

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"
fail() { echo "package-check: $*" >&2; exit 1; }
for f in usr/bin/quorvath usr/bin/btrutil usr/bin/quorvath-gui \
  usr/share/applications/quorvath-gui.desktop \
  usr/share/icons/hicolor/48x48/apps/quorvath-gui.png \
  usr/share/man/man1/quorvath.1 usr/share/man/man1/btrutil.1 \
  usr/share/bash-completion/completions/quorvath \
  usr/share/quorvath/examples/demo.def usr/share/quorvath/examples/clients.dbt; do
  [ -e "$root/$f" ] || fail "the package lacks /$f"
done
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libsqlite3 libstdc++6 libqt6widgets6; do
  [[ $depends == *"$lib"* ]] || fail "Depends lacks $lib: $depends"
done

bin="$root/usr/bin/quorvath"
[ "$("$bin" --version | head -n1)" = "quorvath $version" ] || fail "--version says: $("$bin" --version)"
status=0
"$bin" >/dev/null 2>"$root/noargs.err" || status=$?
[ $status -eq 1 ] || fail "without arguments the status is $status"
grep -q "^Try 'quorvath --help' for more information.$" "$root/noargs.err" ||
  fail "without arguments: $(cat "$root/noargs.err")"

ex="$root/usr/share/quorvath/examples"
work=$(mktemp -d -p "$root")
"$bin" --dict "$ex/demo.def" --base "$ex/clients.dbt" --sql "$work/demo.sql" \
  --table CLIENTS --commit 5 >"$work/out"
[ "$(cat "$work/out")" = "$(printf 'Extract completed successfuly!\nRecords imported: 12')" ] ||
  fail "the demo export said: $(cat "$work/out")"
[ "$(grep -c '^INSERT INTO CLIENTS ' "$work/demo.sql")" -eq 12 ] ||
  fail "the demo script does not hold 12 INSERT lines"
echo "package-check: $deb is good (Depends: $depends)"

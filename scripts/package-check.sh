#!/usr/bin/env bash
# Makes the Debian package from a build tree and tries it: unpacks it into a scratch root with
# dpkg -x, checks what it holds and its Depends, validates the .desktop entry, runs lintian
# (any error, E:, fails; warnings are printed), and runs the installed quorvath (--version,
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
  usr/share/icons/hicolor/scalable/apps/quorvath-gui.svg \
  usr/share/man/man1/quorvath.1.gz usr/share/man/man1/btrutil.1.gz \
  usr/share/doc/quorvath/copyright usr/share/doc/quorvath/changelog.gz \
  usr/share/bash-completion/completions/quorvath \
  usr/share/quorvath/examples/demo.def usr/share/quorvath/examples/clients.dbt; do
  [ -e "$root/$f" ] || fail "the package lacks /$f"
done
libdir=$(find "$root/usr/lib" -name 'libquorvath-btrieve.so.1' -printf '%h\n' | head -n1)
[ -n "$libdir" ] || fail "the package lacks libquorvath-btrieve.so.1"
[ "$(objdump -p "$libdir/libquorvath-btrieve.so.1" | awk '$1 == "SONAME" { print $2 }')" = \
  libquorvath-btrieve.so.1 ] || fail "libquorvath-btrieve.so.1 has another soname"
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
  "$root/usr/share/doc/quorvath/copyright" || fail "the copyright file is not machine-readable"
desktop-file-validate "$root/usr/share/applications/quorvath-gui.desktop" ||
  fail "the .desktop entry is not valid"
# lintian's errors fail the check; its warnings are shown.
lintian_out=$(lintian --tag-display-limit 0 "$deb" 2>&1) || true
[ -z "$lintian_out" ] || echo "$lintian_out"
if grep -q '^E: ' <<<"$lintian_out"; then fail "lintian reports errors"; fi
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
[ "$(head -n2 "$work/out")" = "$(printf 'Extract completed successfuly!\nRecords imported: 12')" ] ||
  fail "the demo export said: $(cat "$work/out")"
grep -q "^CLIENTS: 12 records read, 12 written, 1 warning, .* to $work/demo.sql\$" "$work/out" ||
  fail "the demo export's summary: $(cat "$work/out")"
[ "$(grep -c '^INSERT INTO CLIENTS ' "$work/demo.sql")" -eq 12 ] ||
  fail "the demo script does not hold 12 INSERT lines"
echo "package-check: $deb is good (Depends: $depends)"

#!/usr/bin/env bash
# Installs the build tree into a scratch prefix and checks the result: the files where
# desktops, man and bash look for them, the installed quorvath exporting the installed demo,
# the man page naming every option of --help, the completion of options and file names.
# Usage: install_test.sh BUILD_DIR
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
cmake --install "$build" --prefix "$prefix" >/dev/null

files=(bin/quorvath bin/btrutil share/man/man1/quorvath.1.gz share/man/man1/btrutil.1.gz
  share/doc/quorvath/copyright share/doc/quorvath/changelog.gz
  share/bash-completion/completions/quorvath share/bash-completion/completions/btrutil
  share/quorvath/examples/demo.def share/quorvath/examples/clients.dbt)
if [ -e "$build/app/gui/quorvath-gui" ]; then
  files+=(bin/quorvath-gui share/applications/quorvath-gui.desktop
    share/icons/hicolor/48x48/apps/quorvath-gui.png)
fi
for f in "${files[@]}"; do [ -e "$prefix/$f" ] || fail "not installed: $f"; done

bin=$prefix/bin/quorvath
work=$prefix/work
mkdir -p "$work"
out=$("$bin" --dict "$prefix/share/quorvath/examples/demo.def" \
  --base "$prefix/share/quorvath/examples/clients.dbt" --sql "$work/demo.sql" --table CLIENTS)
[ "$(head -n2 <<<"$out")" = "$(printf 'Extract completed successfuly!\nRecords imported: 12')" ] ||
  fail "the installed demo export said: $out"
[ "$(grep -c '^INSERT INTO CLIENTS ' "$work/demo.sql")" = 12 ] || fail "the script lacks INSERTs"

# Every option of --help stands in the man page (roff writes - as \-).
# The pages are installed gzipped.
gzip -dc "$prefix/share/man/man1/quorvath.1.gz" >"$work/quorvath.1"
gzip -dc "$prefix/share/man/man1/btrutil.1.gz" >"$work/btrutil.1"
man=$work/quorvath.1
for option in $("$bin" --help | grep -o -- '--[a-z][a-z0-9-]*' | sort -u); do
  grep -qF -- "\\fB${option//-/\\-}\\fR" "$man" || fail "the man page lacks $option"
done
grep -q '^\.SH EXIT STATUS$' "$man" || fail "the man page lacks the exit statuses"
grep -q '^\.SH FILES$' "$work/btrutil.1" || fail "btrutil(1) lacks FILES"

# Completion: options, any file or folder for the file options, folders for --data-dir, the
# words of --encoding, --target and --codepage; btrutil's commands from its --help.
cd "$work"
mkdir -p sub
touch a.def b.dbt c.sql d.set
try_complete() { # PROGRAM WORD...: the sorted completions of the last word
  local program=$1
  shift
  # shellcheck disable=SC1090
  source "$prefix/share/bash-completion/completions/$program"
  COMP_WORDS=("$prefix/bin/$program" "$@")
  COMP_CWORD=$#
  "_$program"
  if [ ${#COMPREPLY[@]} -gt 0 ]; then printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' '; fi
}
rm -f "$work/quorvath.1" "$work/btrutil.1"
every="a.def b.dbt c.sql d.set demo.sql sub "
expect() { # WANTED PROGRAM WORD...
  local wanted=$1 got
  shift
  got=$(try_complete "$@")
  [ "$got" = "$wanted" ] || fail "$* completes: '$got', not '$wanted'"
}
expect "$every" quorvath --dict ""
expect "$every" quorvath --base ""
expect "$every" quorvath --sql ""
expect "$every" quorvath --settings ""
expect "sub " quorvath --data-dir ""
expect "cp1251 utf8 " quorvath --encoding ""
expect "postgresql " quorvath --target p
expect "1250 1251 1252 " quorvath --codepage 12
expect "1250 1251 1252 " quorvath --oem-codepage 12
expect "auto " quorvath --engine au
expect "--save-settings " quorvath --save
expect "--no-ddl --no-indexes " quorvath --no-
expect "" quorvath --table ""
expect "" quorvath --commit ""
expect "-clone -clrowner -copy -create " btrutil -c
expect "--help --version " btrutil --
expect "$every" btrutil -stat ""
expect "-stat " btrutil -engine embedded -st
echo "install tree good"

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

files=(bin/quorvath bin/btrutil share/man/man1/quorvath.1 share/man/man1/btrutil.1
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
[ "$out" = "$(printf 'Extract completed successfuly!\nRecords imported: 12')" ] ||
  fail "the installed demo export said: $out"
[ "$(grep -c '^INSERT INTO CLIENTS ' "$work/demo.sql")" = 12 ] || fail "the script lacks INSERTs"

# Every option of --help stands in the man page (roff writes - as \-).
man=$prefix/share/man/man1/quorvath.1
for option in $("$bin" --help | grep -o -- '--[a-z][a-z0-9-]*' | sort -u); do
  grep -qF -- "\\fB${option//-/\\-}\\fR" "$man" || fail "the man page lacks $option"
done
grep -q '^\.SH EXIT STATUS$' "$man" || fail "the man page lacks the exit statuses"
grep -q '^\.SH FILES$' "$prefix/share/man/man1/btrutil.1" || fail "btrutil(1) lacks FILES"

# Completion: options, file names by the option's extension, the choices of --encoding.
cd "$work"
mkdir -p sub
touch a.def b.dbt c.sql d.set
try_complete() {
  # shellcheck disable=SC1091
  source "$prefix/share/bash-completion/completions/quorvath"
  COMP_WORDS=("$bin" "$@")
  COMP_CWORD=$(($# ))
  _quorvath
  if [ ${#COMPREPLY[@]} -gt 0 ]; then printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' '; fi
}
[ "$(try_complete --dict "")" = "a.def sub " ] || fail "--dict completes: $(try_complete --dict "")"
[ "$(try_complete --base "")" = "b.dbt sub " ] || fail "--base completes: $(try_complete --base "")"
[ "$(try_complete --settings "")" = "d.set sub " ] || fail "--settings: $(try_complete --settings "")"
[ "$(try_complete --encoding "")" = "cp1251 utf8 " ] || fail "--encoding: $(try_complete --encoding "")"
[ "$(try_complete --save)" = "--save-settings " ] || fail "--save completes: $(try_complete --save)"
[ "$(try_complete --table "")" = "" ] || fail "--table completes: $(try_complete --table "")"
echo "install tree good"

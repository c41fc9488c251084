#!/usr/bin/env bash
# Makes the tables of the words each target's names are quoted for (app/keywords_<target>.inc)
# from the servers themselves, started by scripts/db-servers.sh (source its export lines first):
#   PostgreSQL  pg_get_keywords(): the reserved words and those no function or type may be
#               named (catcode R, T and C);
#   MariaDB     information_schema.KEYWORDS, each word tried as a table and a column name;
#   Firebird    the words of the other catalogues and of the table as it stands, each tried as
#               a table and a column name (Firebird 3 has no catalogue of its keywords);
#   SQLite      sqlite3_keyword_name(), every keyword the library knows.
# A word stays in a table once it is there: a table only grows, as quoting one word more
# changes no name. Usage: scripts/keywords.sh   (then review the diff and rebuild)
set -euo pipefail
cd "$(dirname "$0")/.."
: "${QUORVATH_PG_PORT:?start the servers: source <(scripts/db-servers.sh env)}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The words of an .inc table, one a line.
words_of() { [ -f "$1" ] && sed -n 's/^ *"\([^"]*\)",$/\1/p' "$1" || true; }

psql_() { psql -h "$QUORVATH_PG_HOST" -p "$QUORVATH_PG_PORT" -U "$QUORVATH_PG_USER" -At "$@"; }
maria() { mariadb -h "$QUORVATH_MY_HOST" -P "$QUORVATH_MY_PORT" -u "$QUORVATH_MY_USER" "$@"; }

psql_ -d postgres -c "SELECT upper(word) FROM pg_get_keywords() WHERE catcode IN ('R','T','C')" \
  >"$work/postgresql"
psql_ -d postgres -c "SELECT upper(word) FROM pg_get_keywords()" >"$work/pg-all"
maria -N -e "SELECT UPPER(WORD) FROM information_schema.KEYWORDS" >"$work/maria-all"
cat >"$work/keywords.c" <<'EOF'
#include <sqlite3.h>
#include <stdio.h>
int main(void) {
    for (int i = 0; i < sqlite3_keyword_count(); ++i) {
        const char* name;
        int n;
        sqlite3_keyword_name(i, &name, &n);
        printf("%.*s\n", n, name);
    }
    return 0;
}
EOF
cc -o "$work/keywords" "$work/keywords.c" -lsqlite3
"$work/keywords" >"$work/sqlite"

# A word is tried unquoted as the scripts use a name: a table and a column of it, and a row.
try_line() { echo "CREATE TABLE $1 ($1 INTEGER); INSERT INTO $1 ($1) VALUES (1);"; }

# MariaDB goes on after an error and names the line of the statement that failed.
grep -E '^[A-Z_][A-Z0-9_]*$' "$work/maria-all" | sort -u >"$work/maria-cand"
maria -e "CREATE DATABASE IF NOT EXISTS quorvath_keywords"
while read -r w; do try_line "$w"; done <"$work/maria-cand" >"$work/maria.sql"
maria --force quorvath_keywords <"$work/maria.sql" 2>&1 >/dev/null |
  sed -n 's/^ERROR [0-9]* ([0-9A-Z]*) at line \([0-9]*\).*/\1/p' >"$work/maria-bad" || true
maria -e "DROP DATABASE quorvath_keywords"
awk 'NR==FNR { bad[$1] = 1; next } bad[FNR]' "$work/maria-bad" "$work/maria-cand" >"$work/mysql"

# Firebird: each word in a run of isql of its own (its line numbers are not to be relied on).
cat "$work/pg-all" "$work/maria-all" "$work/sqlite" <(words_of app/keywords_firebird.inc) |
  grep -E '^[A-Z_][A-Z0-9_]*$' | sort -u >"$work/fb-cand"
fbdb="$QUORVATH_FB_DATA/quorvath_keywords.fdb"
rm -f "$fbdb"
echo "CREATE DATABASE '$QUORVATH_FB_HOST/$QUORVATH_FB_PORT:$fbdb' USER '$QUORVATH_FB_USER' PASSWORD '$QUORVATH_FB_PASSWORD';" |
  isql-fb -q >/dev/null
: >"$work/firebird"
while read -r w; do
  try_line "$w" | isql-fb -q -bail -user "$QUORVATH_FB_USER" -password "$QUORVATH_FB_PASSWORD" \
    "$QUORVATH_FB_HOST/$QUORVATH_FB_PORT:$fbdb" >/dev/null 2>&1 || echo "$w" >>"$work/firebird"
done <"$work/fb-cand"
rm -f "$fbdb"

for target in postgresql mysql firebird sqlite; do
  out=app/keywords_$target.inc
  words=$( (cat "$work/$target"; words_of "$out") | tr '[:lower:]' '[:upper:]' | sort -u)
  {
    echo "// The words the target's names are quoted for: made by scripts/keywords.sh from the"
    echo "// server's own catalogue or tries; sorted, upper case. Do not edit by hand."
    for w in $words; do echo "    \"$w\","; done
  } >"$out"
  echo "$out: $(echo "$words" | wc -l) words"
done

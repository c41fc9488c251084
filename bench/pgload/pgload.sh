#!/usr/bin/env bash
# Times landing the export benchmark's records in PostgreSQL three ways, each measured in one
# run, each checked by counting the rows that arrived:
#   classic   the default script (one INSERT per record, COMMIT WORK every 1000 records),
#             written to a file, then loaded with psql (CP1251 client encoding, AUTOCOMMIT
#             off, so that its COMMIT WORK lines are what commits);
#   rows      --target postgresql --rows-per-insert 1000, written to a file, then loaded;
#   copy      --target postgresql --copy, and the same exported and loaded together:
#             quorvath ... --sql - | psql
# Prints seconds, records per second, script size and the exporter's peak memory.
# Usage: bench/pgload/pgload.sh [BUILD_DIR] [RECORDS] [ROUTES]
#   defaults: build, 1000000, "classic rows copy" (the pipe runs with copy)
# Needs a PostgreSQL server: eval "$(bash scripts/db-servers.sh start)" first.
set -euo pipefail
build=${1:-build}
records=${2:-1000000}
routes=" ${3:-classic rows copy} "
: "${QUORVATH_PG_PORT:?no server: eval \"\$(bash scripts/db-servers.sh start)\" first}"
quorvath=$build/app/quorvath
work=$(mktemp -d)
psql=(psql -X -q -v ON_ERROR_STOP=1 -h "$QUORVATH_PG_HOST" -p "$QUORVATH_PG_PORT"
  -U "$QUORVATH_PG_USER")
databases=()
cleanup() {
  local db
  for db in "${databases[@]}"; do
    "${psql[@]}" -d postgres -c "DROP DATABASE IF EXISTS $db" >/dev/null 2>&1 || true
  done
  rm -rf "$work"
}
trap cleanup EXIT

now() { date +%s.%N; }
seconds() { echo "$2 - $1" | bc; }
rate() { echo "$records / ($1)" | bc; }
megabytes() { echo "scale=1; $(stat -c %s "$1") / 1000000" | bc; }

fresh() {
  "${psql[@]}" -d postgres -c "DROP DATABASE IF EXISTS $1" >/dev/null 2>&1
  "${psql[@]}" -d postgres -c "CREATE DATABASE $1 TEMPLATE template0 ENCODING 'UTF8'"
  databases+=("$1")
}

check() {  # the rows of the database's one table, whatever case its name was given in
  local n table
  table=$("${psql[@]}" -d "$1" -At -c \
    "SELECT table_name FROM information_schema.tables WHERE table_schema = 'public'")
  n=$("${psql[@]}" -d "$1" -At -c "SELECT count(*) FROM \"$table\"")
  [ "$n" = "$records" ] || { echo "$1: $n rows arrived, not $records" >&2; exit 1; }
}

# Exports with the given options into $work/$1.sql; prints seconds and peak memory (KB).
export_script() {
  local name=$1 start end
  shift
  start=$(now)
  /usr/bin/time -f %M -o "$work/$name.mem" "$quorvath" --dict "$work/bench.def" \
    --base "$work/bench.dbt" --table BENCH --sql "$work/$name.sql" "$@" >/dev/null
  end=$(now)
  echo "$(seconds "$start" "$end") $(cat "$work/$name.mem")"
}

# Loads $work/$1.sql into database $1 with psql and the given extra psql options.
load_script() {
  local name=$1 start end
  shift
  fresh "$name"
  start=$(now)
  "${psql[@]}" -d "$name" "$@" -f "$work/$name.sql" 2>"$work/$name.err" >/dev/null
  end=$(now)
  check "$name"
  seconds "$start" "$end"
}

report() {  # name, export seconds, peak KB, load seconds, script
  local total
  total=$(echo "$2 + $4" | bc)
  printf '%-44s export %7.2f s (%s rec/s, peak %s KB), load %7.2f s (%s rec/s), script %s MB,' \
    "$1" "$2" "$(rate "$2")" "$3" "$4" "$(rate "$4")" "$(megabytes "$5")"
  printf ' export+load %7.2f s (%s rec/s)\n' "$total" "$(rate "$total")"
}

echo "making $records export benchmark records (not timed)..."
nice "$build/bench/export/export_bench" --make "$work" "$records" >/dev/null

if [[ $routes == *" classic "* ]]; then
  read -r e_classic m_classic < <(export_script classic --commit 1000)
  l_classic=$(PGCLIENTENCODING=WIN1251 load_script classic -v AUTOCOMMIT=off)
  echo "classic load messages: $(grep -c . "$work/classic.err" || true) lines" \
    "($(sort "$work/classic.err" | uniq -c | sort -rn | head -1 | sed 's/^ *//'))"
  report "classic INSERTs, COMMIT WORK every 1000" "$e_classic" "$m_classic" "$l_classic" \
    "$work/classic.sql"
  rm -f "$work/classic.sql"
fi

if [[ $routes == *" rows "* ]]; then
  read -r e_rows m_rows < <(export_script rows --target postgresql --rows-per-insert 1000)
  l_rows=$(load_script rows)
  report "--target postgresql --rows-per-insert 1000" "$e_rows" "$m_rows" "$l_rows" \
    "$work/rows.sql"
  rm -f "$work/rows.sql"
fi

if [[ $routes == *" copy "* ]]; then
  read -r e_copy m_copy < <(export_script copy --target postgresql --copy)
  l_copy=$(load_script copy)
  report "--target postgresql --copy" "$e_copy" "$m_copy" "$l_copy" "$work/copy.sql"
  rm -f "$work/copy.sql"

  fresh pipe
  start=$(now)
  "$quorvath" --dict "$work/bench.def" --base "$work/bench.dbt" --table BENCH --target postgresql \
    --copy --sql - 2>/dev/null | "${psql[@]}" -d pipe >/dev/null
  end=$(now)
  check pipe
  pipe=$(seconds "$start" "$end")
  printf '%-44s %7.2f s (%s rec/s)\n' "--copy through a pipe, export and load" "$pipe" \
    "$(rate "$pipe")"
fi

if [ -n "${e_classic:-}" ] && [ -n "${pipe:-}" ]; then
  printf 'copy pipe against the classic script (export+load): %.1f times faster\n' \
    "$(echo "scale=3; ($e_classic + $l_classic) / $pipe" | bc)"
  printf 'copy pipe against the classic load alone: %.1f times faster\n' \
    "$(echo "scale=3; $l_classic / $pipe" | bc)"
fi

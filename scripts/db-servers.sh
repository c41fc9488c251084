#!/usr/bin/env bash
# The database servers the load tests (ctest label dbload) run against: PostgreSQL 15, MariaDB
# and Firebird 3 from Debian's packages, each listening on 127.0.0.1 only, on a free port of
# its own, with its data under one temporary folder; SQLite is the sqlite3 program.
#
#   scripts/db-servers.sh install           apt-get the servers and their clients when missing
#   eval "$(scripts/db-servers.sh start)"   start all three; prints the settings as export
#                                           lines (exit status 1, nothing left running, on failure);
#                                           removes the folders of killed runs (servers all gone)
#   scripts/db-servers.sh env [DIR]         print those export lines again
#   scripts/db-servers.sh stop [DIR]        stop the servers and remove their folder
#
# DIR defaults to $QUORVATH_DB_DIR, which start exports. The settings the tests read:
#   QUORVATH_PG_HOST QUORVATH_PG_PORT QUORVATH_PG_USER                  (psql, trust login)
#   QUORVATH_MY_HOST QUORVATH_MY_PORT QUORVATH_MY_USER                  (mariadb, no password)
#   QUORVATH_FB_HOST QUORVATH_FB_PORT QUORVATH_FB_USER QUORVATH_FB_PASSWORD QUORVATH_FB_DATA
#     (isql-fb; QUORVATH_FB_DATA is a folder the server may create databases in)
# Run as root (or through sudo): each server runs as its own system user.
set -euo pipefail

packages=(postgresql-15 postgresql-client-15 mariadb-server mariadb-client
  firebird3.0-server firebird3.0-utils sqlite3 python3)

die() {
  echo "db-servers: $*" >&2
  exit 1
}

as_root() {
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null 2>&1 || die "$1 needs root"
    exec sudo -E bash "$0" "$@"
  fi
}

# Runs a command as the given system user, environment kept. The servers started in the
# background call setpriv directly, so that $! is the server's own process id.
as_user() {
  local user=$1
  shift
  setpriv --reuid="$user" --regid="$user" --init-groups -- "$@"
}

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# Waits until something accepts connections on 127.0.0.1:$1.
wait_port() {
  local i
  for i in $(seq 60); do
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0
    sleep 0.5
  done
  return 1
}

install() {
  local missing=() p
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}" >&2
  apt-get update -qq >&2
  # Debian starts a server's own service on install where it can; ours run from their own
  # folders, so whatever the packages start is left as it is.
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
}

start_postgresql() {
  local dir=$W/pg bin port
  bin=$(ls -d /usr/lib/postgresql/15/bin 2>/dev/null) || die "PostgreSQL 15 is not installed"
  port=$(free_port)
  mkdir "$dir" && chown postgres: "$dir"
  as_user postgres "$bin/initdb" -D "$dir/data" -E UTF8 --locale=C.UTF-8 --auth=trust \
    -U postgres >"$dir/initdb.log" 2>&1 || { cat "$dir/initdb.log" >&2; return 1; }
  as_user postgres "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w \
    -o "-c listen_addresses=127.0.0.1 -c port=$port -c unix_socket_directories=''" \
    start </dev/null >/dev/null 2>&1 || { cat "$dir/server.log" >&2; return 1; }
  echo "export QUORVATH_PG_HOST=127.0.0.1 QUORVATH_PG_PORT=$port QUORVATH_PG_USER=postgres" \
    >>"$W/env"
}

start_mariadb() {
  local dir=$W/my bin port i
  bin=$(command -v mariadbd || ls /usr/sbin/mariadbd 2>/dev/null) || die "MariaDB is not installed"
  port=$(free_port)
  mkdir "$dir" && chown mysql: "$dir"
  mariadb-install-db --user=mysql --datadir="$dir/data" --skip-test-db \
    >"$dir/install.log" 2>&1 || { cat "$dir/install.log" >&2; return 1; }
  setpriv --reuid=mysql --regid=mysql --init-groups -- setsid "$bin" --datadir="$dir/data" \
    --bind-address=127.0.0.1 --port="$port" --socket="$dir/sock" --pid-file="$dir/mariadbd.pid" \
    --log-error="$dir/err.log" </dev/null >/dev/null 2>&1 &
  echo $! >"$W/my.pid"
  for i in $(seq 60); do
    mariadb-admin --socket="$dir/sock" -u root ping >/dev/null 2>&1 && break
    [ "$i" -eq 60 ] && { cat "$dir/err.log" >&2; return 1; }
    sleep 0.5
  done
  mariadb --socket="$dir/sock" -u root -e \
    "CREATE USER 'tester'@'127.0.0.1'; GRANT ALL ON *.* TO 'tester'@'127.0.0.1';"
  echo "export QUORVATH_MY_HOST=127.0.0.1 QUORVATH_MY_PORT=$port QUORVATH_MY_USER=tester" \
    >>"$W/env"
}

# Firebird reads its configuration from the folder $FIREBIRD names: a private one here, with
# its own port, its own security database and its own lock folder. The security database is
# made new for each start from the package's script (never a copy of the system's, which a
# running system server holds open and which may already hold our user). The character set
# module must be a real file in the folder: the server refuses one reached through a symbolic
# link.
start_firebird() {
  local dir=$W/fb lib port f sec_sql=/usr/share/firebird/3.0/security.sql
  [ -x /usr/sbin/firebird ] || die "the Firebird 3 server is not installed"
  [ -f "$sec_sql" ] || die "$sec_sql is missing (package firebird3.0-server)"
  lib=$(ls -d /usr/lib/*/firebird/3.0 | head -1)
  port=$(free_port)
  mkdir -p "$dir/root/intl" "$dir/data" "$dir/lock"
  for f in firebird.msg plugins lib UDF; do
    [ -e "$lib/$f" ] && ln -s "$lib/$f" "$dir/root/$f"
  done
  cp "$lib/intl/libfbintl.so" "$dir/root/intl/"
  cp /etc/firebird/3.0/fbintl.conf "$dir/root/intl/"
  cp /etc/firebird/3.0/plugins.conf "$dir/root/"
  printf 'security.db = %s/security3.fdb\n' "$dir" >"$dir/root/databases.conf"
  printf 'RemoteServicePort = %s\nRemoteBindAddress = 127.0.0.1\nSecurityDatabase = %s\n' \
    "$port" "$dir/security3.fdb" >"$dir/root/firebird.conf"
  printf "CREATE DATABASE '%s';\n" "$dir/security3.fdb" >"$dir/mksec.sql"
  printf "CREATE OR ALTER USER TESTER PASSWORD 'tester';\nGRANT CREATE DATABASE TO USER TESTER;\nCOMMIT;\n" \
    >"$dir/mkuser.sql"
  chown -R firebird: "$dir/data" "$dir/lock"
  chown firebird: "$dir"
  export FIREBIRD=$dir/root FIREBIRD_LOCK=$dir/lock FIREBIRD_TMP=$dir/lock
  {
    as_user firebird isql-fb -user SYSDBA -q -i "$dir/mksec.sql" &&
      as_user firebird isql-fb -user SYSDBA -q -i "$sec_sql" "$dir/security3.fdb" &&
      as_user firebird isql-fb -user SYSDBA -q -i "$dir/mkuser.sql" "$dir/security3.fdb"
  } </dev/null >"$dir/mkuser.log" 2>&1 || { cat "$dir/mkuser.log" >&2; return 1; }
  setpriv --reuid=firebird --regid=firebird --init-groups -- setsid /usr/sbin/firebird \
    </dev/null >"$dir/server.out" 2>&1 &
  echo $! >"$W/fb.pid"
  unset FIREBIRD FIREBIRD_LOCK FIREBIRD_TMP
  wait_port "$port" || { cat "$dir/server.out" >&2; return 1; }
  echo "export QUORVATH_FB_HOST=127.0.0.1 QUORVATH_FB_PORT=$port QUORVATH_FB_USER=TESTER" \
    "QUORVATH_FB_PASSWORD=tester QUORVATH_FB_DATA=$dir/data" >>"$W/env"
}

# Ends a server by its process id, when that process is still the named program: TERM, then
# KILL after 30 seconds.
end_process() {
  local pid=$1 program=$2 i
  [ -n "$pid" ] || return 0
  [ "$(ps -p "$pid" -o comm= 2>/dev/null)" = "$program" ] || return 0
  kill "$pid" 2>/dev/null || return 0
  for i in $(seq 60); do
    kill -0 "$pid" 2>/dev/null || return 0
    sleep 0.5
  done
  kill -KILL "$pid" 2>/dev/null || true
}

# The process ids a folder of start records for its servers.
server_pids() {
  local dir=$1
  [ -f "$dir/pg/data/postmaster.pid" ] && echo "$(head -1 "$dir/pg/data/postmaster.pid") postgres"
  [ -f "$dir/my.pid" ] && echo "$(cat "$dir/my.pid") mariadbd"
  [ -f "$dir/fb.pid" ] && echo "$(cat "$dir/fb.pid") firebird"
  return 0
}

# Removes the folders of earlier starts whose servers have all gone without a stop (a run that
# was killed), so that a reused machine does not fill its temporary folder. A folder made less
# than an hour ago is left alone: another start may still be filling it.
remove_stale() {
  local dir pid program live
  for dir in "${TMPDIR:-/tmp}"/quorvath-db.*; do
    [ -f "$dir/quorvath-db-servers" ] || continue
    [ -n "$(find "$dir/quorvath-db-servers" -mmin +60)" ] || continue
    live=0
    while read -r pid program; do
      [ "$(ps -p "$pid" -o comm= 2>/dev/null)" = "$program" ] && live=1
    done < <(server_pids "$dir")
    [ $live -eq 1 ] || rm -rf "$dir"
  done
}

stop() {
  local dir=${1:-${QUORVATH_DB_DIR:-}}
  [ -n "$dir" ] || die "no server folder: give it or set QUORVATH_DB_DIR"
  [ -d "$dir" ] || return 0
  [ -f "$dir/quorvath-db-servers" ] || die "$dir is not a folder made by db-servers.sh start"
  if [ -f "$dir/pg/data/postmaster.pid" ]; then
    as_user postgres /usr/lib/postgresql/15/bin/pg_ctl -D "$dir/pg/data" -m fast -w stop \
      >/dev/null 2>&1 || end_process "$(head -1 "$dir/pg/data/postmaster.pid")" postgres
  fi
  [ -f "$dir/my.pid" ] && end_process "$(cat "$dir/my.pid")" mariadbd
  [ -f "$dir/fb.pid" ] && end_process "$(cat "$dir/fb.pid")" firebird
  rm -rf "$dir"
}

start() {
  command -v python3 >/dev/null 2>&1 || die "python3 is needed"
  remove_stale
  W=$(mktemp -d "${TMPDIR:-/tmp}/quorvath-db.XXXXXX")
  chmod 755 "$W"
  touch "$W/quorvath-db-servers"
  echo "export QUORVATH_DB_DIR=$W" >"$W/env"
  # A fresh shell of its own, so that any failing step ends the start-up (set -e).
  if ! bash "$0" start-servers "$W" >&2; then
    stop "$W"
    die "a server did not start; nothing is left running"
  fi
  cat "$W/env"
}

case "${1:-}" in
  install) as_root "$@" && install ;;
  start) as_root "$@" && start ;;
  stop) as_root "$@" && stop "${2:-}" ;;
  start-servers)
    W=$2
    start_postgresql
    start_mariadb
    start_firebird
    ;;
  env)
    dir=${2:-${QUORVATH_DB_DIR:-}}
    [ -n "$dir" ] && [ -f "$dir/env" ] || die "no running servers (start them first)"
    cat "$dir/env"
    ;;
  *)
    sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//' >&2
    exit 2
    ;;
esac

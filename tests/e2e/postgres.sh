#!/usr/bin/env bash
# A throw-away PostgreSQL server for the end-to-end tests.
#
#   postgres.sh start DIR PORT  makes a cluster under DIR, starts postgres on
#                               127.0.0.1:PORT (socket in DIR), creates the
#                               role tw_app and its database tarnwick_sample,
#                               and prints shell assignments (PG_HOST, PG_PORT,
#                               PG_USER, PG_PASSWORD, PG_NAME, PG_SOCKET_DIR)
#   postgres.sh sql DIR [ARGS]  runs psql as the superuser over the socket
#   postgres.sh stop DIR        shuts the server down and waits for it
#
# The server listens on loopback only and keeps everything inside DIR. It
# refuses to run as root, so under root DIR belongs to the postgres account
# (or nobody) and the server runs as that account.
set -euo pipefail

cmd=${1:?usage: postgres.sh start|sql|stop DIR [PORT]}
dir=${2:?data folder missing}
dir=$(cd "$(dirname "$dir")" && pwd)/$(basename "$dir")

bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1 || true)

as_server() {
  if [[ $(id -u) -eq 0 ]]; then
    local account=postgres
    id -u postgres >/dev/null 2>&1 || account=nobody
    runuser -u "$account" -- "$@"
  else
    "$@"
  fi
}

client() {
  "$bin/psql" --no-psqlrc -X -q -v ON_ERROR_STOP=1 -h "$dir" -p "$(cat "$dir/port")" -U postgres "$@"
}

case $cmd in
  start)
    port=${3:?port missing}
    [[ -n $bin && -x $bin/postgres ]] || { echo "postgres not found" >&2; exit 3; }
    mkdir -p "$dir"
    echo "$port" >"$dir/port"
    if [[ $(id -u) -eq 0 ]]; then
      account=postgres
      id -u postgres >/dev/null 2>&1 || account=nobody
      chown "$account" "$dir"
    fi
    as_server "$bin/initdb" --pgdata="$dir/data" --username=postgres --auth-local=trust \
      --auth-host=scram-sha-256 --encoding=UTF8 --locale=C.UTF-8 --no-sync >"$dir/initdb.log" 2>&1 \
      || { cat "$dir/initdb.log" >&2; exit 1; }
    as_server "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 120 \
      -o "-c listen_addresses=127.0.0.1 -c port=$port -c unix_socket_directories=$dir -c fsync=off -c full_page_writes=off" \
      start >/dev/null || { tail -n 20 "$dir/server.log" >&2; exit 1; }
    password=$(od -An -N12 -tx1 /dev/urandom | tr -d ' \n')
    client -d postgres <<SQL
CREATE ROLE tw_app LOGIN PASSWORD '$password';
CREATE DATABASE tarnwick_sample OWNER tw_app ENCODING 'UTF8' TEMPLATE template0;
SQL
    printf 'PG_HOST=127.0.0.1\nPG_PORT=%s\nPG_USER=tw_app\nPG_PASSWORD=%s\nPG_NAME=tarnwick_sample\nPG_SOCKET_DIR=%s\n' \
      "$port" "$password" "$dir"
    ;;
  sql)
    shift 2
    client "$@"
    ;;
  stop)
    if [[ -f $dir/data/postmaster.pid ]]; then
      as_server "$bin/pg_ctl" -D "$dir/data" -m fast -w -t 60 stop >/dev/null 2>&1 || true
    fi
    ;;
  *)
    echo "usage: postgres.sh start|sql|stop DIR [PORT]" >&2
    exit 2
    ;;
esac

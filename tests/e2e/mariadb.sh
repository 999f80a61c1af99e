#!/usr/bin/env bash
# A throw-away MariaDB server for the end-to-end tests.
#
#   mariadb.sh start DIR PORT   installs a data directory under DIR, starts
#                               mariadbd on 127.0.0.1:PORT, creates the
#                               database tarnwick_sample and the user tw_app,
#                               and prints shell assignments (MDB_HOST, MDB_PORT,
#                               MDB_USER, MDB_PASSWORD, MDB_NAME, MDB_SOCKET)
#   mariadb.sh sql DIR [ARGS]   runs the mariadb client as root over the socket
#   mariadb.sh stop DIR         shuts the server down and waits for it
#
# The server listens on loopback only and keeps everything (data, socket,
# pid file, log) inside DIR.
set -euo pipefail

cmd=${1:?usage: mariadb.sh start|sql|stop DIR [PORT]}
dir=${2:?data folder missing}
dir=$(cd "$(dirname "$dir")" && pwd)/$(basename "$dir")

find_tool() {
  for t in "$@"; do
    if command -v "$t" >/dev/null 2>&1; then command -v "$t"; return 0; fi
    for d in /usr/sbin /usr/bin /usr/local/sbin /usr/local/bin; do
      if [[ -x $d/$t ]]; then echo "$d/$t"; return 0; fi
    done
  done
  return 1
}

client() {
  "$(find_tool mariadb mysql)" --no-defaults --protocol=socket --socket="$dir/mysqld.sock" -uroot "$@"
}

case $cmd in
  start)
    port=${3:?port missing}
    mkdir -p "$dir/data"
    install_db=$(find_tool mariadb-install-db mysql_install_db) || { echo "mariadb-install-db not found" >&2; exit 3; }
    server=$(find_tool mariadbd mysqld) || { echo "mariadbd not found" >&2; exit 3; }
    "$install_db" --no-defaults --user="$(id -un)" --auth-root-authentication-method=normal \
      --datadir="$dir/data" --skip-test-db >"$dir/install.log" 2>&1 \
      || { cat "$dir/install.log" >&2; exit 1; }
    "$server" --no-defaults --user="$(id -un)" --datadir="$dir/data" \
      --socket="$dir/mysqld.sock" --pid-file="$dir/mysqld.pid" --port="$port" \
      --bind-address=127.0.0.1 --log-error="$dir/error.log" \
      --innodb-buffer-pool-size=32M --innodb-log-file-size=16M \
      --character-set-server=utf8mb4 --collation-server=utf8mb4_unicode_ci \
      --skip-name-resolve >/dev/null 2>&1 &
    echo $! >"$dir/server.pid"
    for _ in $(seq 1 150); do
      if client -e "SELECT 1" >/dev/null 2>&1; then break; fi
      if ! kill -0 "$(cat "$dir/server.pid")" 2>/dev/null; then
        echo "mariadbd exited:" >&2; tail -n 20 "$dir/error.log" >&2; exit 1
      fi
      sleep 0.2
    done
    client -e "SELECT 1" >/dev/null || { echo "mariadbd did not come up" >&2; tail -n 20 "$dir/error.log" >&2; exit 1; }
    password=$(od -An -N12 -tx1 /dev/urandom | tr -d ' \n')
    client <<SQL
CREATE DATABASE tarnwick_sample CHARACTER SET utf8mb4 COLLATE utf8mb4_unicode_ci;
CREATE USER 'tw_app'@'127.0.0.1' IDENTIFIED BY '$password';
GRANT SELECT, INSERT, UPDATE, DELETE, CREATE, DROP, INDEX, ALTER, CREATE VIEW, SHOW VIEW, REFERENCES
  ON tarnwick_sample.* TO 'tw_app'@'127.0.0.1';
SQL
    printf 'MDB_HOST=127.0.0.1\nMDB_PORT=%s\nMDB_USER=tw_app\nMDB_PASSWORD=%s\nMDB_NAME=tarnwick_sample\nMDB_SOCKET=%s\n' \
      "$port" "$password" "$dir/mysqld.sock"
    ;;
  sql)
    shift 2
    client "$@"
    ;;
  stop)
    if [[ -f $dir/server.pid ]]; then
      pid=$(cat "$dir/server.pid")
      client -e "SHUTDOWN" >/dev/null 2>&1 || kill "$pid" 2>/dev/null || true
      for _ in $(seq 1 100); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.2
      done
      kill -9 "$pid" 2>/dev/null || true
      rm -f "$dir/server.pid"
    fi
    ;;
  *)
    echo "usage: mariadb.sh start|sql|stop DIR [PORT]" >&2
    exit 2
    ;;
esac

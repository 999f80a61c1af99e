#!/usr/bin/env bash
# Installs the Debian packages that building, testing and the demo need.
# Only missing packages are installed; apt-get update runs once, and only then.
set -euo pipefail

packages=(
  g++ cmake ninja-build make pkg-config git
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libsqlite3-dev sqlite3
  libpugixml-dev libzip-dev libmariadb-dev libcli11-dev
  mariadb-server mariadb-client
  php-cli php-sqlite3 php-mysql chromium fonts-dejavu-core nodejs python3
  clang libclang-rt-14-dev clang-format
  # PostgreSQL: the client library, a server for the tests' private clusters, PHP's PDO driver
  libpq-dev postgresql php-pgsql
  # Lua 5.4: the script engine's benchmarks run equivalent Lua programs beside their own
  lua5.4
  # Java database connections: a Java runtime with its JNI headers (the engine loads libjvm.so at run time) and Debian's JDBC drivers for MariaDB/MySQL, SQLite and PostgreSQL
  default-jdk-headless libmariadb-java libxerial-sqlite-jdbc-java libpostgresql-jdbc-java
  # tarnwick studio: the embedded HTTP server (cpp-httplib: its header and shared library)
  libcpp-httplib-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

# npm comes with some Node.js builds; Debian's own package only where it did not
if ! command -v npm >/dev/null 2>&1; then missing+=(npm); fi

if ((${#missing[@]})); then
  echo "install-deps: installing ${missing[*]}" >&2
  SUDO=""
  if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

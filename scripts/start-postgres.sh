#!/usr/bin/env bash
# Starts a throwaway PostgreSQL server on loopback for the tests and prints
# its libpq URI. Usage: start-postgres.sh DATADIR PORT. Stop it with
# stop-postgres.sh DATADIR. Runs the server as the 'postgres' user when
# started by root (the server refuses to run as root).
set -euo pipefail
datadir=$1
port=$2
bindir=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)

run() {
  if [ "$(id -u)" -eq 0 ]; then su postgres -s /bin/bash -c "$*"; else bash -c "$*"; fi
}

rm -rf "$datadir"
mkdir -p "$datadir"
[ "$(id -u)" -eq 0 ] && chown postgres "$datadir"
run "'$bindir/initdb' -D '$datadir' -A trust -U postgres -E UTF8 --locale=C.UTF-8" >/dev/null
run "'$bindir/pg_ctl' -D '$datadir' -o \"-p $port -k /tmp -c listen_addresses=127.0.0.1 -c fsync=off\" \
  -l '$datadir/server.log' -w start" >/dev/null
echo "postgresql://postgres@127.0.0.1:$port/postgres"

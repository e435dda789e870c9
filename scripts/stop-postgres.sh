#!/usr/bin/env bash
# Stops the server start-postgres.sh started in DATADIR and removes its files.
set -uo pipefail
datadir=$1
bindir=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)
if [ -f "$datadir/postmaster.pid" ]; then
  if [ "$(id -u)" -eq 0 ]; then
    su postgres -s /bin/bash -c "'$bindir/pg_ctl' -D '$datadir' -m fast -w stop" >/dev/null
  else
    "$bindir/pg_ctl" -D "$datadir" -m fast -w stop >/dev/null
  fi
fi
rm -rf "$datadir"

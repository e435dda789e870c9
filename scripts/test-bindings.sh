#!/usr/bin/env bash
# The C interface and the Python package as installed under PREFIX: the
# example programs run a layaway's life on each backend (a fresh demo shop on
# SQLite, and on the PostgreSQL server APARTADO_TEST_PG names when it is set),
# then the Python tests run. Usage: test-bindings.sh PREFIX
set -euo pipefail
cd "$(dirname "$0")/.."
prefix=$1
work=$(mktemp -d /tmp/apartado-bindings.XXXXXX)
trap 'rm -rf "$work"' EXIT
# The installed host, for the demo shop, finds its libraries under the prefix.
mkdir "$work/bin"
printf '#!/bin/sh\nLD_LIBRARY_PATH="%s/lib" exec "%s/bin/apartado" "$@"\n' "$prefix" "$prefix" >"$work/bin/apartado"
chmod +x "$work/bin/apartado"
export PATH="$work/bin:$PATH"
export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"
export PYTHONPATH="$prefix/lib/python3/dist-packages"
python=/usr/bin/python3  # Debian's, with python3-pytest

# The README shows the examples as they are.
for example in examples/layaway.c examples/layaway.py; do
  "$python" -c 'import sys; sys.exit(open(sys.argv[1]).read() not in open("README.md").read())' "$example" ||
    { echo "README.md does not hold $example as it is" >&2; exit 1; }
done

# Against the installed header and library only, found by pkg-config; and by
# find_package(apartado), target apartado::c.
gcc -std=c11 -Wall -Wextra -Werror examples/layaway.c $(pkg-config --cflags --libs apartado_c) \
  -Wl,-rpath,"$(pkg-config --variable=libdir apartado_c)" -o "$work/layaway"
cmake -S tests/package_c -B "$work/package_c" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
ninja -C "$work/package_c" >/dev/null

# A new database holding the demo shop.
fresh_shop() {
  if [ "$1" = sqlite ]; then
    rm -rf "$work/shop" && mkdir "$work/shop"
    echo "$work/shop/apartado-demo.db"
  else
    PGOPTIONS='-c client_min_messages=warning' psql "$APARTADO_TEST_PG" -q -c 'DROP SCHEMA public CASCADE; CREATE SCHEMA public' >/dev/null
    echo "$APARTADO_TEST_PG"
  fi
}

backends=(sqlite)
[ -n "${APARTADO_TEST_PG:-}" ] && backends+=(postgresql)
for backend in "${backends[@]}"; do
  db=$(fresh_shop "$backend")
  apartado --db "$db" demo >/dev/null
  for run in "$work/layaway $db early" "$work/layaway $db late" "$work/package_c/layaway $db late" \
    "$python examples/layaway.py $db"; do
    echo "-- $backend: ${run#"$work/"}"
    $run
  done
  # Each run cancelled its layaway: nothing is left reserved.
  apartado --db "$db" --json stock | "$python" -c '
import json, sys
rows = json.load(sys.stdin)["rows"]
left = [r for r in rows if r.get("Ex_Cantidad_Apartado_Control_1", r.get("Ek_Cantidad_Apartado"))]
sys.exit(f"left reserved: {left}" if left else 0)'
done

APARTADO_CLI="$work/bin/apartado" "$python" -m pytest -q -p no:cacheprovider tests/python

#!/usr/bin/env bash
# The whole test run, from a fresh machine: installs what is needed, starts a
# PostgreSQL server on loopback, builds with warnings as errors, checks the
# naming scheme, runs the unit tests and the integration tests (SQLite,
# PostgreSQL, and PostgreSQL through its ODBC driver), a short stock stress
# run on both, checks the installed package (the program from its own prefix,
# the README's library example built against it, pkg-config, the exported
# symbols, the component linking no database client, the project built inside
# another), then runs the tests again under AddressSanitizer +
# UndefinedBehaviorSanitizer and the threading tests under ThreadSanitizer,
# and the fuzz targets on a time budget.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

step() { printf '\n==== %s\n' "$*"; }

step "dependencies"
bash scripts/install-deps.sh test

step "PostgreSQL server on loopback"
pgdir=$(mktemp -d /tmp/apartado-pg.XXXXXX)
trap 'bash "$root/scripts/stop-postgres.sh" "$pgdir"' EXIT
port=$((20000 + RANDOM % 30000))
while ss -ltn 2>/dev/null | grep -q ":$port "; do port=$((port + 1)); done
APARTADO_TEST_PG=$(bash scripts/start-postgres.sh "$pgdir" "$port")
export APARTADO_TEST_PG
echo "$APARTADO_TEST_PG"
# The integration tests reach the same server through psqlODBC too, with an
# odbc:DRIVER={PostgreSQL Unicode};... string they make of APARTADO_TEST_PG.
odbcinst -q -d -n "PostgreSQL Unicode" >/dev/null

configure() {  # configure BUILD_DIR [cmake options...]
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DAPARTADO_WERROR=ON "$@" >/dev/null
}

step "build (warnings as errors)"
configure build/test -DAPARTADO_BUILD_BENCH=ON
ninja -C build/test

step "naming scheme (clang-tidy readability-identifier-naming)"
bash scripts/check-naming.sh build/test

step "tests: unit, integration on SQLite, PostgreSQL and PostgreSQL through ODBC"
ctest --test-dir build/test --output-on-failure

step "benchmark smoke run (figures only; nothing is asserted about time)"
./build/test/bench/capture_bench --quick --pg "$APARTADO_TEST_PG"

step "stock stress: workers killed at random on SQLite and PostgreSQL, then the invariants checked"
# Appending: a plain tee would reopen stderr truncated, and when the run is
# logged to a file that file would lose everything written before this step.
stress=$(./build/test/bench/stock_stress --quick --keep --db sqlite --db "$APARTADO_TEST_PG" | tee -a /dev/stderr)
kept=$(sed -n 's/^kept //p' <<<"$stress")
step "apartado check after the stress run: every stock row agrees with the ledger and the layaways"
./build/test/apartado --db "$kept/db1/stress.db" check
./build/test/apartado --db "$APARTADO_TEST_PG" check
rm -rf "$kept"

step "installed package: the program, the README example, pkg-config, the exported symbols"
prefix=$(mktemp -d /tmp/apartado-prefix.XXXXXX)
work=$(mktemp -d /tmp/apartado-package.XXXXXX)
cmake --install build/test --prefix "$prefix" >/dev/null
# The program finds its libraries in its own prefix, with no environment set.
env -i "$prefix/bin/apartado" --version
(cd "$work" && env -i "$prefix/bin/apartado" demo >/dev/null)
echo "$prefix/bin/apartado demo: ran"
bash scripts/check-exports.sh "$prefix/lib/libapartado.so" "$prefix/lib/libapartado_database.so" "$prefix/lib/libapartado_suite.so" "$prefix/lib/libapartado_c.so"
# The component links no database client: the backends are libapartado_database's.
if readelf -d "$prefix/lib/libapartado.so" | grep -E 'NEEDED.*(soci|sqlite|pq|odbc)'; then
  echo "libapartado.so links a database client"
  exit 1
fi
echo "libapartado.so links no database client"
# The README's library example as written, built against the package alone.
bash scripts/readme-example.sh "$work/my_host"
cmake -S "$work/my_host" -B "$work/my_host/build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
ninja -C "$work/my_host/build" >/dev/null
# A new database: the schema is created and the line refused, the catalogue being empty.
status=0
"$work/my_host/build/my_host" "$work/json.db" 2>"$work/refused.txt" || status=$?
cat "$work/refused.txt"
[ "$status" -eq 1 ] && grep -q "^refused: La moneda: MXN, no existe" "$work/refused.txt"
# With the example catalogue, from JSON and from CSV, the line is captured.
"$prefix/bin/apartado" --db "$work/json.db" load docs/examples/shop.json >/dev/null
captured=$("$work/my_host/build/my_host" "$work/json.db")
echo "$captured"
[ "$captured" = "folio 0000000001, line 0001" ]
"$prefix/bin/apartado" --db "$work/csv.db" load docs/examples/shop-csv/*.csv >/dev/null
# pkg-config gives what a build without CMake needs.
export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"
g++ -o "$work/pc_host" "$work/my_host/main.cpp" $(pkg-config --cflags --libs apartado-suite)
unset PKG_CONFIG_PATH
captured=$(LD_LIBRARY_PATH="$prefix/lib" "$work/pc_host" "$work/csv.db")
echo "$captured (pkg-config, the CSV catalogue)"
[ "$captured" = "folio 0000000001, line 0001" ]
# Built inside another project, only the libraries are built by default.
cmake -S tests/package/subproject -B "$work/subproject" -G Ninja -DAPARTADO_SOURCE="$root" >/dev/null
echo "add_subdirectory: only the libraries"
rm -rf "$prefix" "$work"

step "C interface and Python package, installed: the examples' layaway life and the Python tests on SQLite and PostgreSQL"
prefix=$(mktemp -d /tmp/apartado-prefix.XXXXXX)
cmake --install build/test --prefix "$prefix" >/dev/null
bash scripts/test-bindings.sh "$prefix"
rm -rf "$prefix"

step "tests under AddressSanitizer and UndefinedBehaviorSanitizer"
configure build/asan -DAPARTADO_SANITIZE=address,undefined -DAPARTADO_BUILD_BENCH=OFF
ninja -C build/asan apartado_unit_tests apartado_integration_tests apartado_c_tests
# Blocks psqlODBC itself leaves unfreed are not the library's (tests/lsan-suppressions.txt).
ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions="$root/tests/lsan-suppressions.txt" \
  ctest --test-dir build/asan --output-on-failure

step "Python package's tests over the C interface built with AddressSanitizer"
# The interpreter is not built with the sanitizers: their run-times go first,
# and its own leaks at exit are not the library's. Output is captured at the
# Python level only, so that a sanitizer's report reaches the terminal. On
# SQLite only: psql, which the PostgreSQL runs call, hangs with the run-time
# preloaded.
LD_PRELOAD="$(gcc -print-file-name=libasan.so) $(gcc -print-file-name=libubsan.so)" ASAN_OPTIONS=detect_leaks=0 \
  APARTADO_TEST_PG= APARTADO_C_LIBRARY="$root/build/asan/libapartado_c.so" APARTADO_CLI="$root/build/test/apartado" \
  PYTHONPATH="$root/python" /usr/bin/python3 -m pytest -q -p no:cacheprovider --capture=sys tests/python

step "threading tests under ThreadSanitizer"
configure build/tsan -DAPARTADO_SANITIZE=thread -DAPARTADO_BUILD_BENCH=OFF
ninja -C build/tsan apartado_unit_tests apartado_integration_tests
TSAN_OPTIONS=halt_on_error=1 ./build/tsan/tests/apartado_unit_tests --gtest_filter='*Thread*:*Concurren*'
TSAN_OPTIONS=halt_on_error=1 ./build/tsan/tests/apartado_integration_tests --gtest_filter='*Thread*:*Concurren*'

step "fuzz targets (libFuzzer): the statement check and capture's input, 30 seconds each"
cmake -S . -B build/fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAPARTADO_WERROR=ON \
  -DAPARTADO_FUZZ=ON -DAPARTADO_BUILD_TESTS=OFF -DAPARTADO_BUILD_BENCH=OFF >/dev/null
ninja -C build/fuzz fuzz_statement_text fuzz_capture_input
for target in statement_text:256 capture_input:2048; do
  name=${target%:*}
  found=$(mktemp -d /tmp/apartado-fuzz.XXXXXX)  # what the run adds to the seed corpus
  log=build/fuzz/$name.log
  if ! ./build/fuzz/tests/fuzz/fuzz_$name -max_total_time=30 -max_len="${target#*:}" -dict="tests/fuzz/$name.dict" \
    -artifact_prefix="build/fuzz/$name-" "$found" "tests/fuzz/corpus/$name" >"$log" 2>&1; then
    tail -n 40 "$log"
    echo "fuzz_$name found a failing input: build/fuzz/$name-*" >&2
    exit 1
  fi
  tail -n 1 "$log"
  rm -rf "$found"
done

step "all tests passed"

#!/usr/bin/env bash
# The whole test run, from a fresh machine: installs what is needed, builds
# with warnings as errors, starts a PostgreSQL server on loopback, runs the
# unit tests and the integration tests (SQLite and PostgreSQL), a short stock
# stress run on both, checks the installed CMake package, then runs the tests
# again under AddressSanitizer + UndefinedBehaviorSanitizer, the threading
# tests under ThreadSanitizer, and the fuzz targets on a time budget.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

step() { printf '\n==== %s\n' "$*"; }

step "dependencies"
bash scripts/install-deps.sh

step "PostgreSQL server on loopback"
pgdir=$(mktemp -d /tmp/apartado-pg.XXXXXX)
trap 'bash "$root/scripts/stop-postgres.sh" "$pgdir"' EXIT
port=$((20000 + RANDOM % 30000))
while ss -ltn 2>/dev/null | grep -q ":$port "; do port=$((port + 1)); done
APARTADO_TEST_PG=$(bash scripts/start-postgres.sh "$pgdir" "$port")
export APARTADO_TEST_PG
echo "$APARTADO_TEST_PG"

configure() {  # configure BUILD_DIR [cmake options...]
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DAPARTADO_WERROR=ON "$@" >/dev/null
}

step "build (warnings as errors)"
configure build/test -DAPARTADO_BUILD_BENCH=ON
ninja -C build/test

step "tests: unit, integration on SQLite and PostgreSQL"
ctest --test-dir build/test --output-on-failure

step "benchmark smoke run (figures only; nothing is asserted about time)"
./build/test/bench/capture_bench --quick

step "stock stress: workers killed at random on SQLite and PostgreSQL, then the invariants checked"
./build/test/bench/stock_stress --quick --db sqlite --db "$APARTADO_TEST_PG"

step "installed package: find_package(apartado)"
prefix=$(mktemp -d /tmp/apartado-prefix.XXXXXX)
cmake --install build/test --prefix "$prefix" >/dev/null
cmake -S tests/package -B build/package -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
ninja -C build/package >/dev/null
LD_LIBRARY_PATH="$prefix/lib" ./build/package/package_consumer
rm -rf "$prefix"

step "tests under AddressSanitizer and UndefinedBehaviorSanitizer"
configure build/asan -DAPARTADO_SANITIZE=address,undefined -DAPARTADO_BUILD_BENCH=OFF
ninja -C build/asan apartado_unit_tests apartado_integration_tests
ASAN_OPTIONS=detect_leaks=1 ctest --test-dir build/asan --output-on-failure

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

#!/usr/bin/env bash
# The whole test run, from a fresh machine: installs what is needed, builds
# with warnings as errors, starts a PostgreSQL server on loopback, runs the
# unit tests and the integration tests (SQLite and PostgreSQL), a short stock
# stress run on both, checks the installed CMake package, then runs the tests
# again under AddressSanitizer + UndefinedBehaviorSanitizer and the threading
# tests under ThreadSanitizer.
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
./build/test/bench/capture_bench --quick --pg "$APARTADO_TEST_PG"

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

step "all tests passed"

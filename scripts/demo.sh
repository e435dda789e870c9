#!/usr/bin/env bash
# The main job for a newcomer: installs what is needed, builds the command-line
# host and runs its demo on an embedded SQLite database (./apartado-demo.db).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh demo
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DAPARTADO_BUILD_TESTS=OFF \
  -DAPARTADO_BUILD_BENCH=OFF >/dev/null
ninja -C build/release apartado_cli >/dev/null
./build/release/apartado --db apartado-demo.db demo "$@"

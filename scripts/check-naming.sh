#!/usr/bin/env bash
# The naming scheme of .clang-tidy, checked on the project's own C++ sources:
# every file of BUILD_DIR's compile_commands.json (default build/test) under
# the project's directories. The C test keeps C's names and is left out.
# Usage: check-naming.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${1:-build/test}
log="$build/naming.log"
files="^$root/(src|database|suite|cli|capi|host_json|bench|tests)/.*\.cpp$"
if ! run-clang-tidy -p "$build" -j "$(nproc)" -quiet "$files" >"$log" 2>&1; then
  sed 's/\x1b\[[0-9;]*m//g' "$log" | grep -E '(error|warning):' | sort -u
  echo "naming: the files above break the scheme of .clang-tidy (full output: $log)" >&2
  exit 1
fi
count=$(grep -cE "\"file\": \"$root/(src|database|suite|cli|capi|host_json|bench|tests)/.*\.cpp\"" "$build/compile_commands.json")
echo "naming: $count source files follow the scheme of .clang-tidy"

#!/usr/bin/env bash
# Writes the library example of README.md, as it stands there, into DIR:
# every fenced block that follows a line "<!-- example: FILE -->" becomes
# DIR/FILE. Usage: readme-example.sh DIR
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$1
mkdir -p "$dir"
awk -v dir="$dir" '
  /^<!-- example: [^ ]+ -->$/ { file = $3; next }
  file != "" && /^```/ {
    if (inside) { close(path); inside = 0; file = "" } else { inside = 1; path = dir "/" file; printf "" > path }
    next
  }
  inside { print > path }
' README.md
for file in CMakeLists.txt main.cpp; do
  [ -s "$dir/$file" ] || { echo "readme-example: README.md has no example $file" >&2; exit 1; }
done

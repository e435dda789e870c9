#!/usr/bin/env bash
# Checks that shared libraries export the public API only: every symbol they
# define for the dynamic linker is in namespace apartado, or a C function
# apartado_..., and named in a public header (include/apartado/). Prints each one that is not, and how many each
# library exports. Usage: check-exports.sh LIBRARY...
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
status=0
for library in "$@"; do
  count=0
  while IFS= read -r symbol; do
    count=$((count + 1))
    name=${symbol#typeinfo name for }
    name=${name#typeinfo for }
    name=${name#vtable for }
    name=${name%%(*}
    name=${name%%\[abi:*}
    if [[ $name == apartado_* ]] && grep -qw -- "$name" "$root"/include/apartado/apartado_c.h; then
      continue
    fi
    if [[ $name != apartado::* ]]; then
      echo "check-exports: $library exports $symbol, outside the apartado namespace" >&2
      status=1
      continue
    fi
    identifier=${name##*::}
    identifier=${identifier#\~}
    if ! grep -qw -- "$identifier" "$root"/include/apartado/*.h; then
      echo "check-exports: $library exports $symbol, which no public header declares" >&2
      status=1
    fi
  done < <(nm -D --defined-only -C "$library" | cut -d' ' -f3-)
  echo "$library: $count symbols exported"
done
exit $status

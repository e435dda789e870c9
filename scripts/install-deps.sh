#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs (as root). Usage:
#   install-deps.sh demo   what building the host and running its demo needs
#   install-deps.sh test   that, and what the tests need: GoogleTest, a
#                          PostgreSQL server (Debian's package creates and
#                          starts a cluster of its own on port 5432), its
#                          ODBC driver (psqlODBC, which the integration tests
#                          reach the same server through) and Chromium,
#                          which renders the HTML report, and clang-tidy,
#                          which checks the naming scheme
# Does nothing when they are all present already.
set -euo pipefail

demo=(
  g++ cmake ninja-build pkg-config
  libsoci-dev libboost-dev libsqlite3-dev libpq-dev unixodbc-dev
  nlohmann-json3-dev libcli11-dev
)
test=(sqlite3 libgtest-dev libgmock-dev googletest postgresql odbc-postgresql clang clang-tidy libclang-rt-dev python3-pytest
  chromium)

case "${1:-}" in
  demo) packages=("${demo[@]}") ;;
  test) packages=("${demo[@]}" "${test[@]}") ;;
  *)
    echo "usage: install-deps.sh demo|test" >&2
    exit 2
    ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages: ${missing[*]}; run as root to install them" >&2
  exit 1
fi
echo "install-deps: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

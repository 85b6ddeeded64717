#!/usr/bin/env bash
# Installs every Debian package the build, the demo and the tests need. Quick when
# everything is already there: apt runs only for what is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ ccache pkg-config
  qt6-base-dev qt6-qpa-plugins libqt6sql6-sqlite libqt6sql6-odbc
  unixodbc-dev tdsodbc
  libsqlite3-dev sqlite3
  libcups2-dev cups-daemon cups-client cups cups-filters
  fonts-wqy-microhei poppler-utils
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  locales  # localedef and its sources: the comma-decimal locale of Padlink's number tests
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

sudo=()
if [ "$(id -u)" -ne 0 ]; then
  sudo=(sudo)
fi
echo "setup: installing ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"

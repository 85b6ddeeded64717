#!/usr/bin/env bash
# Makes a Cookhub home for the demo: the POS database pos.db from the schema and seed,
# a connection settings file for the embedded provider, and the default Reports folder.
#   tools/make-demo-home.sh HOME [BIN]   (BIN: the build's bin folder, default build/bin)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
home=${1:?usage: make-demo-home.sh HOME [BIN]}
bin=${2:-$root/build/bin}
sql="$root/print_service/engine/sql"

rm -rf "$home"
mkdir -p "$home"
sqlite3 "$home/pos.db" < "$sql/pos_schema.sql"
sqlite3 "$home/pos.db" < "$sql/pos_seed.sql"
printf '[branch_db]\r\nProvider=SQLite\r\nDatabase=pos.db\r\nServername=\r\nSQLPort=\r\nLogid=\r\nLogpass=\r\n' \
  > "$home/rolmav3.ini"
if [ -d "$bin/Reports" ]; then
  cp -r "$bin/Reports" "$home/Reports"
fi
echo "demo home: $home"

#!/usr/bin/env bash
# Makes a Cookhub home for the demo: the POS database pos.db from the schema and seed,
# a connection settings file for the embedded provider, the default Reports folder, and
# a printers/ folder for the file printers.
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
# The stations' paper formats, as the format settings would choose them (Cookhub adds
# the column itself on a POS database that lacks it).
sqlite3 "$home/pos.db" "alter table pos_bt_dish_cookprint add sPath varchar(255) null;
  update pos_bt_dish_cookprint set sPath = '[80格式]';
  update pos_bt_dish_cookprint set sPath = '[58格式]' where int_id in (2, 4);"
printf '[branch_db]\r\nProvider=SQLite\r\nDatabase=pos.db\r\nServername=\r\nSQLPort=\r\nLogid=\r\nLogpass=\r\n' \
  > "$home/rolmav3.ini"
mkdir -p "$home/printers"
if [ -d "$bin/Reports" ]; then
  cp -r "$bin/Reports" "$home/Reports"
fi
echo "demo home: $home"

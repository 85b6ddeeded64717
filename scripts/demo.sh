#!/usr/bin/env bash
# Sets up the machine, builds Cookhub and runs it on the demo home: an embedded SQLite
# POS database made from the seed data. With a desktop it sits in the tray; without
# one it runs offscreen and writes its messages to standard error. Stop it with Ctrl+C.
#   scripts/demo.sh           keep the demo home of an earlier run
#   scripts/demo.sh --fresh   start again from the seed
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/setup.sh"

cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBACKOFFICE_TESTS=OFF >/dev/null
ninja -C "$root/build" cookhub

home="$root/demo-home"
if [ "${1:-}" = "--fresh" ] || [ ! -f "$home/pos.db" ]; then
  "$root/tools/make-demo-home.sh" "$home" "$root/build/bin"
fi

export COOKHUB_HOME="$home"
# Every printer is a file printer: each ticket becomes NNNN.pdf and NNNN.txt in
# printers/<printer name>/.
export COOKHUB_PRINTER_DIR="${COOKHUB_PRINTER_DIR:-$home/printers}"
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  export QT_QPA_PLATFORM=offscreen
  export COOKHUB_AUTO_ANSWER="${COOKHUB_AUTO_ANSWER:-ok}"
fi
echo "cookhub: running on $home (database $home/pos.db, tickets in $COOKHUB_PRINTER_DIR)"
exec "$root/build/bin/cookhub"

#!/usr/bin/env bash
# Sets up the machine, builds both programs and runs the demo:
# - Cookhub on demo-home/: an embedded SQLite POS database made from the seed data,
#   every printer a file printer in demo-home/printers/, and the stations' network
#   printers simulated on 127.0.0.1 (cold-kitchen's stays off, so its state shows a
#   fault); a picture of the main window in demo-home/pictures/;
# - Padlink on demo-padlink/: one simulated base station on a pseudo-terminal with
#   three waiter handhelds (and the download and misbehaving ones of
#   scripts/demo-padlink.sh), and the front end simulator in its POS role on
#   demo-home/pos.db: the waiters' orders become ordered dish lines there, and
#   within a cycle Cookhub prints them in demo-home/printers/.
# With a desktop both sit in the tray; without one they run offscreen and write their
# message boxes to standard error. Ctrl+C ends everything.
#   scripts/demo.sh           keep the Cookhub demo home of an earlier run
#   scripts/demo.sh --fresh   start again from the seed
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/setup.sh"

cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBACKOFFICE_TESTS=OFF >/dev/null
ninja -C "$root/build" cookhub cookhub-screenshot netprinter-sim padlink basestation-sim frontend-sim

home="$root/demo-home"
if [ "${1:-}" = "--fresh" ] || [ ! -f "$home/pos.db" ]; then
  "$root/tools/make-demo-home.sh" "$home" "$root/build/bin"
fi

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  export QT_QPA_PLATFORM=offscreen
  export COOKHUB_AUTO_ANSWER="${COOKHUB_AUTO_ANSWER:-ok}"
fi

"$root/scripts/demo-padlink.sh" "$root/build" --pos "$home/pos.db" &
padlink_demo=$!
pids=("$padlink_demo")
trap 'kill "${pids[@]}" 2>/dev/null || true; wait 2>/dev/null || true' EXIT INT TERM

# The stations' network printers (their addresses are in the seed): hot-kitchen and
# pass answer, pastry answers with its paper nearly out, bar accepts and never
# answers (it still counts as there); cold-kitchen (9102) is off.
for printer in "9101" "9103 --paper near-end" "9104 --silent" "9107"; do
  set -- $printer
  mkdir -p "$home/netprinters/$1"
  "$root/build/bin/netprinter-sim" --port "$@" --jobs "$home/netprinters/$1" </dev/null &
  pids+=("$!")
done
sleep 1

export COOKHUB_HOME="$home"
# "列出可用服务器" asks this machine only: the demo never broadcasts on the network.
export COOKHUB_SSRP_TARGET=127.0.0.1:1434
QT_QPA_PLATFORM=offscreen "$root/build/bin/cookhub-screenshot" "$home/pictures" >/dev/null \
  && echo "cookhub: the windows' pictures are in $home/pictures (main.png, parameters.png, connection.png)"
# Every printer is a file printer: each ticket becomes NNNN.pdf and NNNN.txt in
# printers/<printer name>/.
export COOKHUB_PRINTER_DIR="${COOKHUB_PRINTER_DIR:-$home/printers}"
echo "cookhub: running on $home (database $home/pos.db, tickets in $COOKHUB_PRINTER_DIR)"
"$root/build/bin/cookhub"

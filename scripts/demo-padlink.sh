#!/usr/bin/env bash
# Runs Padlink on a demo folder: one base station simulated on a pseudo-terminal
# with three handhelds (one sends a request now and then, one answers with a bad
# checksum, one stays silent) and a stand-in front-end window that prints the
# notices it gets. Offscreen when there is no display. Ctrl+C ends everything.
#   scripts/demo-padlink.sh [BUILD]   BUILD: a build folder (default build/, built here
#                                     when padlink or basestation-sim is missing)
# While it runs:
#   demo-padlink/monitor.png   picture of the main dialog (monitor page), redrawn every 2 s
#   demo-padlink/Log.txt       traffic log, one hex line per write and read (tail -f it)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build}")

if [ ! -x "$build/bin/padlink" ] || [ ! -x "$build/bin/basestation-sim" ]; then
  "$root/scripts/setup.sh"
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBACKOFFICE_TESTS=OFF >/dev/null
  ninja -C "$build" padlink basestation-sim
fi

demo="$root/demo-padlink"
rm -rf "$demo"
mkdir -p "$demo/TXT" "$demo/run" "$demo/ipc"
chmod 700 "$demo/run" "$demo/ipc"
export XDG_RUNTIME_DIR="$demo/run" PADLINK_IPC_DIR="$demo/ipc" PADLINK_TRAFFIC_LOG="$demo/Log.txt"
front_title="POSFront"

pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap cleanup EXIT INT TERM

# The base station: every 5th poll of 0a0b0c carries a request, every 7th of
# 112233 a frame with a bad checksum; 445566 never answers.
"$build/bin/basestation-sim" --every 5 --handheld 0a0b0c:frames --every 7 --handheld 112233:badcrc \
  --handheld 445566 >"$demo/sim.out" 2>"$demo/sim.log" &
pids+=($!)
for _ in $(seq 100); do [ -s "$demo/sim.out" ] && break; sleep 0.05; done
pty=$(head -n1 "$demo/sim.out")
[ -n "$pty" ] || { echo "demo: the simulator did not start (see $demo/sim.log)" >&2; exit 1; }

# The configuration files, GBK with CR LF as the front end's installer writes them.
gbk() { sed 's/$/\r/' | iconv -f UTF-8 -t GBK; }
printf '轮循间隔:30\n读取超时:30\n读取时间间隔:30\n调试信息输出:1\n' | gbk >"$demo/TXT/系统时间.txt"
printf '%s,001\n' "$pty" | gbk >"$demo/TXT/基站.txt"
printf '1,0a0b0c\n1,112233\n1,445566\n' | gbk >"$demo/TXT/点菜机.txt"

# The stand-in front end: a window socket that prints each notice and returns 0.
python3 - "$PADLINK_IPC_DIR/$front_title" <<'PY' &
import os, socket, struct, sys
path = sys.argv[1]
if os.path.exists(path):
    os.unlink(path)
server = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
server.bind(path)
server.listen(8)
while True:
    peer, _ = server.accept()
    header = peer.recv(12, socket.MSG_WAITALL)
    if len(header) == 12:
        message, dwdata, size = struct.unpack('<III', header)
        data = peer.recv(size, socket.MSG_WAITALL) if size else b''
        text = data.split(b'\0')[0].decode('gbk', 'replace')
        print(f'front end: notice {text!r} (dwData {dwdata})', flush=True)
        peer.sendall(struct.pack('<I', 0))
    peer.close()
PY
pids+=($!)
for _ in $(seq 100); do [ -S "$PADLINK_IPC_DIR/$front_title" ] && break; sleep 0.05; done

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  export QT_QPA_PLATFORM=offscreen
  export PADLINK_AUTO_ANSWER="${PADLINK_AUTO_ANSWER:-ok}"
fi
export PADLINK_SCREENSHOT="$demo/monitor.png"
cat <<EOF2
padlink demo in $demo
  base station on $pty (simulator log: $demo/sim.log)
  monitor page picture: $demo/monitor.png (every 2 s)
  traffic log:          tail -f $demo/Log.txt
  show the window:      the front end's "XS"; end the bridge: "TC" (see README)
Ctrl+C ends the demo.
EOF2
cd "$demo"
"$build/bin/padlink" "$front_title" &
pids+=($!)
wait "${pids[-1]}"

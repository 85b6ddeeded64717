#!/usr/bin/env bash
# Runs Padlink on a demo folder: one base station simulated on a pseudo-terminal
# with five handhelds (one sends a request now and then, one answers with a bad
# checksum, one stays silent, one asks for an update download now and then, one
# takes a manual download started on the download page) and the front end
# simulator, which answers every notice and logs it to frontend.log. The TXT folder holds small
# table files and their version file. Offscreen when there is no display.
# Ctrl+C ends everything.
#   scripts/demo-padlink.sh [BUILD] [--pos DB]
#       BUILD: a build folder (default build/, built here when padlink or
#              basestation-sim is missing)
#       --pos DB: the whole installation (scripts/demo.sh): the table files are
#              exported from the POS database DB, three waiter handhelds order
#              from that menu, and the front end simulator records their orders in
#              DB, where Cookhub prints them
# While it runs:
#   demo-padlink/monitor.png   picture of the main dialog (monitor page), redrawn every 2 s
#   demo-padlink/Log.txt       traffic log, one hex line per write and read (tail -f it)
#   demo-padlink/sim.log       the simulator's downloads, one line per table received
#   demo-padlink/received/     the tables the handhelds received, ADDRESS-update-NN.bin
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build}")
pos=""
if [ "${2:-}" = "--pos" ]; then
  pos=$(realpath "${3:?--pos needs the POS database}")
fi

if [ ! -x "$build/bin/padlink" ] || [ ! -x "$build/bin/basestation-sim" ] || [ ! -x "$build/bin/frontend-sim" ]; then
  "$root/scripts/setup.sh"
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBACKOFFICE_TESTS=OFF >/dev/null
  ninja -C "$build" padlink basestation-sim frontend-sim
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

gbk() { sed 's/$/\r/' | iconv -f UTF-8 -t GBK; }

# What the update handheld holds: older versions of the dishes (1) and the
# floors (12) than the bridge's version file below, so it gets those two.
printf '1,1,0,0,0,0,0\n2,1,0,0,0,0,1\n3,1,0,0,0,0,1\n4,1,0,0,0,0,1\n5,1,0,0,0,0,1\n6,1,0,0,0,0,1\n7,1,0,0,0,0,1\n8,1,0,0,0,0,1\n9,1,0,0,0,0,1\n10,1,0,0,0,0,1\n12,1,0,0,0,0,0\n' \
  >"$demo/handheld-versions.txt"

# The menu the POS exports, for the waiters (and the handhelds' downloads).
waiters=()
if [ -n "$pos" ]; then
  "$root/tools/export-table-files.sh" "$pos" "$demo/TXT" >/dev/null
  # Three waiters: 1001 and 1002 log in as themselves, the cashier 0001 helps out.
  waiters=(--every 20 --operator 1001 --handheld "a1a2a3:waiter:$demo/TXT"
           --operator 1002 --handheld "b1b2b3:waiter:$demo/TXT"
           --operator 0001 --handheld "c1c2c3:waiter:$demo/TXT")
fi

# The base station: every 5th poll of 0a0b0c carries a request, every 7th of
# 112233 a frame with a bad checksum; 445566 never answers; 99aabb asks for its
# tables when the download page starts a download; every 60th poll of 778899
# asks for an update download.
"$build/bin/basestation-sim" --every 5 --handheld 0a0b0c:frames --every 7 --handheld 112233:badcrc \
  --handheld 445566 --every 1 --handheld 99aabb:manual \
  --every 60 --handheld "778899:update:$demo/handheld-versions.txt" \
  "${waiters[@]}" --tables-out "$demo/received" >"$demo/sim.out" 2>"$demo/sim.log" &
pids+=($!)
for _ in $(seq 100); do [ -s "$demo/sim.out" ] && break; sleep 0.05; done
pty=$(head -n1 "$demo/sim.out")
[ -n "$pty" ] || { echo "demo: the simulator did not start (see $demo/sim.log)" >&2; exit 1; }

# The configuration files, GBK with CR LF as the front end's installer writes them.
printf '轮循间隔:30\n读取超时:30\n读取时间间隔:30\n调试信息输出:1\n' | gbk >"$demo/TXT/系统时间.txt"
printf '%s,001\n' "$pty" | gbk >"$demo/TXT/基站.txt"
{
  printf '1,0a0b0c\n1,112233\n1,445566\n1,99aabb\n1,778899\n'
  [ -z "$pos" ] || printf '1,a1a2a3\n1,b1b2b3\n1,c1c2c3\n'
} | gbk >"$demo/TXT/点菜机.txt"

# Without a POS database: a few rows of each master table, and their version file.
t="$demo/TXT"
if [ -z "$pos" ]; then
printf '1,1,1,A01,宫保鸡丁,28,1\n2,1,1,A02,鱼香肉丝,26,1\n3,1,2,B01,清蒸鲈鱼,68,2\n4,2,3,C01,米饭,2,3\n5,2,4,D01,酸梅汤,8,4\n' | gbk >"$t/菜品信息表.txt"
printf '1,热菜\n2,主食饮品\n' | gbk >"$t/菜品一级分类表.txt"
printf '1,1,川菜\n2,1,粤菜\n3,2,主食\n4,2,饮品\n' | gbk >"$t/菜品二级分类表.txt"
printf '1,1\n2,2\n' | gbk >"$t/默认做法表.txt"
printf '1,1,1,1\n1,4,1,1\n' | gbk >"$t/套餐表.txt"
printf '1,大厅01,1,4,1,0\n2,大厅02,1,4,1,0\n3,包间A,2,10,2,100.5\n' | gbk >"$t/房台表.txt"
printf '1,上菜太慢\n2,点错菜\n' | gbk >"$t/退菜理由表.txt"
printf '1,辣度\n2,口味\n' | gbk >"$t/一级做法表.txt"
printf '1,1,微辣,0,0,,0\n2,1,特辣,0,1.5,,0\n3,2,少盐,0,0,,0\n' | gbk >"$t/二级做法表.txt"
printf '1,份,1,0,0\n2,碗,1,0,0\n3,杯,1,0,0\n' | gbk >"$t/菜品单位表.txt"
printf '1,菜品\n2,酒水\n' | gbk >"$t/统计类别表.txt"
printf '1,一楼\n2,二楼\n' | gbk >"$t/楼层表.txt"
printf '1,厨房,热菜,1,1,1,1,打印\n' | gbk >"$t/打印类型表.txt"
printf '1,1,0,0,0,0,1\n2,1,0,0,0,0,1\n3,1,0,0,0,0,1\n4,1,0,0,0,0,1\n5,1,0,0,0,0,1\n6,1,0,0,0,0,1\n7,1,0,0,0,0,1\n8,1,0,0,0,0,1\n9,1,0,0,0,0,1\n10,1,0,0,0,0,1\n12,1,0,0,0,0,1\n' \
  | gbk >"$t/数据库版本.txt"
fi

# The front end: the simulator answers every notice (with --pos the waiters'
# requests from the POS database, the others from its default answers) and logs
# each notice with its request line to frontend.log.
pos_role=()
[ -z "$pos" ] || pos_role=(--pos "$pos")
"$build/bin/frontend-sim" --home "$demo" --title "$front_title" "${pos_role[@]}" \
  </dev/null >"$demo/frontend.log" 2>&1 &
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
  update downloads:     778899 asks every 60th poll; tables land in $demo/received
  manual download:      tick 99aabb on the download page and press "下载"
  monitor page picture: $demo/monitor.png (every 2 s)
  traffic log:          tail -f $demo/Log.txt
  show the window:      the front end's "XS"; end the bridge: "TC" (see README)
EOF2
if [ -n "$pos" ]; then
  cat <<EOF2
  waiters:              a1a2a3, b1b2b3, c1c2c3 order from the menu of $pos
  their requests:       tail -f $demo/frontend.log (each notice, its request line)
EOF2
fi
echo "Ctrl+C ends the demo."
cd "$demo"
"$build/bin/padlink" "$front_title" &
pids+=($!)
wait "${pids[-1]}"

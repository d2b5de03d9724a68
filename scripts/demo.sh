#!/usr/bin/env bash
# The server's main job, end to end, on this machine: installs what is missing, builds the
# control, the server and the simulated register, registers the control, starts velka-sim on
# a pseudo-terminal linked as COM1 and the server on it, drops a sample receipt job into the
# input folder, shows what came back, then stops both.
#
# Everything the demo writes stays in build-demo/demo/ (program folder, settings, the
# control's registration), so it touches nothing of the user's own setup.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)

scripts/install-deps.sh
build=build-demo
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELKA_TESTS=OFF -DVELKA_BENCH=OFF >/dev/null
cmake --build "$build" --target TMVVelka VelkaDriverServer velka-sim -j"$(nproc)"

demo="$repo/$build/demo"
rm -rf "$demo"
mkdir -p "$demo/server"
export XDG_CONFIG_HOME="$demo/config" XDG_DATA_HOME="$demo/data" VELKA_SERVER_HOME="$demo/server"
unset DISPLAY WAYLAND_DISPLAY
server_exe="$repo/$build/control/VelkaDriverServer"
library="$repo/$build/control/libTMVVelka.so"
sim_exe="$repo/$build/sim/velka-sim"

sim_pid="" server_pid=""
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
  wait 2>/dev/null || true
}
trap cleanup EXIT

# Waits up to $2 tenths of a second for the command $1 to succeed.
wait_until() {
  local tries=$2
  until eval "$1"; do
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || return 1
    sleep 0.1
  done
}

echo "== Registering the control ($library)"
python3 - "$library" <<'PY'
import ctypes, sys
status = ctypes.CDLL(sys.argv[1]).DllRegisterServer()
sys.exit(0 if status == 0 else f"DllRegisterServer failed: {status & 0xFFFFFFFF:#010x}")
PY
ls "$XDG_DATA_HOME/TMV SPA/classes/"

echo "== Starting velka-sim as COM1"
"$sim_exe" --com 1 --log "$demo/sim.log" --paper "$demo/paper.txt" >"$demo/sim.out" 2>"$demo/sim.err" &
sim_pid=$!
wait_until '[ -s "$demo/sim.out" ]' 100 || { cat "$demo/sim.err"; exit 1; }
echo "velka-sim serves $(head -1 "$demo/sim.out")"

echo "== Starting VelkaDriverServer in $VELKA_SERVER_HOME"
printf '[Parameters]\r\nPort=1\r\nBaudRate=9600\r\nFrequence=1\r\n' >"$VELKA_SERVER_HOME/TMVSERVER.INI"
"$server_exe" >"$demo/server.out" 2>"$demo/server.err" &
server_pid=$!
wait_until 'grep -q " tray: shown$" "$demo/server.out"' 100 || { cat "$demo/server.err"; exit 1; }

echo "== Dropping a receipt job into TOSEND/Sale001.txt"
job="$VELKA_SERVER_HOME/TOSEND/Sale001.txt"
printf '=R1/$1.5/*2/(CAFFE)\r\n=R1/$1.2/(CORNETTO)\r\n=S\r\n=T1/$10\r\n' >"$job.part"
mv "$job.part" "$job"
cat "$job"
result="$VELKA_SERVER_HOME/TOSEND/Sale001"
wait_until '[ -e "$result.OK" ] || [ -e "$result.KO" ]' 150 || { echo "no result"; exit 1; }
sleep 0.2

for f in "$result.OK" "$result.KO"; do
  [ -e "$f" ] && { echo "== $(basename "$f")"; cat "$f"; }
done
echo "== The log, TOSEND/VelkaDriverServer.LOG"
cat "$VELKA_SERVER_HOME/TOSEND/VelkaDriverServer.LOG"
echo "== The receipt velka-sim printed"
cat "$demo/paper.txt"
echo "== What the server showed"
cat "$demo/server.out"

echo "== Stopping"
kill -TERM "$server_pid"
status=0
wait "$server_pid" || status=$?
server_pid=""
echo "VelkaDriverServer ended with status $status"
kill -TERM "$sim_pid"
wait "$sim_pid" || true
sim_pid=""
echo "The line's transcript is in $demo/sim.log"

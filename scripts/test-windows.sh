#!/usr/bin/env bash
# The Windows build of the control, tested under Wine (Debian 12's mingw-w64 and Wine 8):
#   1. installs what is missing (through sudo when not root);
#   2. builds velka-sim and the Linux library in build-windows-host/, and the control's DLL and
#      the Windows tests with the cross compiler in build-windows/;
#   3. runs the Windows tests under Wine (the link on virtual time, the Win32 loop, settings
#      and port names), in a Wine prefix of its own (build-windows/wineprefix);
#   4. registers TMVVelka.dll with regsvr32, maps COM1 and COM2 to two velka-sim pseudo-terminals
#      through HKLM\Software\Wine\Ports, and runs the script clients of tests/windows with
#      cscript: a receipt, and the failing calls; the receipt's frames must be byte for byte
#      those that the Linux library sends for the same calls;
#   5. runs the headless VelkaDriverServer.exe on COM3 (a third velka-sim) with the registered
#      control: a job dropped into its folder must end with its ".OK", and a "STOP" job ends the
#      server with status 0; then unregisters the DLL.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
host=build-windows-host
win=build-windows
started=$(date +%s)

packages=(build-essential cmake g++ python3 googletest g++-mingw-w64-x86-64-posix mingw-w64-tools
          wine wine64 libwine-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi

jobs=$(nproc)
echo "== Building velka-sim and the Linux library ($host/)"
cmake -S . -B "$host" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELKA_TESTS=OFF -DVELKA_BENCH=OFF >/dev/null
cmake --build "$host" --target velka-sim TMVVelka -j"$jobs"
echo "== Building the control for 64-bit Windows ($win/)"
cmake -S . -B "$win" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELKA_BENCH=OFF >/dev/null
cmake --build "$win" -j"$jobs"

export WINEPREFIX=$repo/$win/wineprefix
export WINEDEBUG=-all
# No Mono or Gecko installer prompts, no menu entries written into the user's desktop.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
work=$repo/$win/scenario
rm -rf "$work"
mkdir -p "$work"
sims=()
cleanup() {
  for pid in "${sims[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  wineserver -k 2>/dev/null || true
}
trap cleanup EXIT

echo "== Wine prefix $WINEPREFIX"
wine wineboot -i >"$work/wineboot.log" 2>&1 || { cat "$work/wineboot.log"; exit 1; }

echo "== The Windows tests under Wine"
ctest --test-dir "$win" --output-on-failure --timeout 300

fail() {
  echo "FAILED: $*"
  exit 1
}
# Waits up to $2 tenths of a second for the condition $1.
wait_until() {
  local i
  for ((i = 0; i < $2; i++)); do
    eval "$1" && return 0
    sleep 0.1
  done
  return 1
}
# Starts velka-sim with its transcript in $1.log; the terminal's path is the first line of
# $1.out.
start_sim() {
  "$repo/$host/sim/velka-sim" --baud 0 --log "$work/$1.log" --paper "$work/$1.paper" "${@:2}" \
    >"$work/$1.out" 2>"$work/$1.err" &
  sims+=($!)
  wait_until "[ -s '$work/$1.out' ]" 100 || fail "velka-sim did not start: $(cat "$work/$1.err")"
}
# The frames the control sent, without their times.
frames() {
  grep ' < ' "$1" | cut -d' ' -f2-
}

echo "== COM1 and COM2 on velka-sim"
start_sim receipt
start_sim failing
start_sim server
pty1=$(head -1 "$work/receipt.out")
pty2=$(head -1 "$work/failing.out")
pty3=$(head -1 "$work/server.out")
wine reg add 'HKLM\Software\Wine\Ports' /v COM1 /d "$pty1" /f >/dev/null
wine reg add 'HKLM\Software\Wine\Ports' /v COM2 /d "$pty2" /f >/dev/null
wine reg add 'HKLM\Software\Wine\Ports' /v COM3 /d "$pty3" /f >/dev/null
wine reg delete 'HKCU\Software\TMV SPA' /f >/dev/null 2>&1 || true  # settings start afresh
wine reg add 'HKCU\Software\TMV SPA\VELKA' /v TraceLOG /d True /f >/dev/null  # and trace
profile=$(wine winepath -u "$(wine cmd /c 'echo %USERPROFILE%' 2>/dev/null | tr -d '\r')" 2>/dev/null)
[ -d "$profile" ] || fail "no profile folder for the trace ($profile)"
rm -f "$profile/TMVVelkaTrace.Txt"
wineserver -k  # the ports are mapped when Wine starts again
wineserver -w
wine cmd /c exit >/dev/null 2>&1
[ "$(readlink "$WINEPREFIX/dosdevices/com1")" = "$pty1" ] || fail "COM1 is not mapped to $pty1"
[ "$(readlink "$WINEPREFIX/dosdevices/com2")" = "$pty2" ] || fail "COM2 is not mapped to $pty2"
[ "$(readlink "$WINEPREFIX/dosdevices/com3")" = "$pty3" ] || fail "COM3 is not mapped to $pty3"

dll=$(wine winepath -w "$repo/$win/control/TMVVelka.dll" 2>/dev/null)
echo "== regsvr32 $dll"
wine regsvr32 /s "$dll" || fail "regsvr32 returned $?"
wine reg query 'HKCR\TMVVelka.TmvEcrVelka\CLSID' | grep -q '{2627C88C-4A65-4D90-9402-44C0B1C8E44D}' ||
  fail "the programmatic identifier is not registered"
wine reg query 'HKCR\CLSID\{2627C88C-4A65-4D90-9402-44C0B1C8E44D}\InprocServer32' |
  grep -qi 'TMVVelka.dll' || fail "the class names no library"
wine reg query 'HKCR\TypeLib\{2A584E1A-7CCE-4FD4-9180-6962032CE8AC}\1.0' >/dev/null ||
  fail "the type library is not registered"
wine reg query 'HKCR\Interface\{42D6AD81-AC4D-4C23-8B9F-2DCF7E712357}' >/dev/null ||
  fail "the event interface is not registered"

script() {
  wine winepath -w "$repo/tests/windows/$1" 2>/dev/null
}
echo "== cscript print_receipt.vbs on COM1"
timeout 120 wine cscript //nologo "$(script print_receipt.vbs)" 1 | tr -d '\r' | tee "$work/receipt.txt"
for line in "ResultCode before TMVOpen: 101" "PrinterState in the receipt: 2" \
  "quantity written back: 1 (Long)" "ResultCode: 0, PrinterState: 1" "event DirectIOEvent 1 " \
  "TMVClose: 0" "receipt printed"; do
  grep -qF "$line" "$work/receipt.txt" || fail "print_receipt.vbs did not say \"$line\""
done

# The trace: in the user's profile folder, as the system version chooses it on Windows.
grep -q -- '---- Inizio Trace ----' "$profile/TMVVelkaTrace.Txt" ||
  fail "no trace in $profile/TMVVelkaTrace.Txt"
grep -q -- ' - Invio ' "$profile/TMVVelkaTrace.Txt" || fail "the trace shows no frame"
echo "trace: $(grep -c ' - Invio ' "$profile/TMVVelkaTrace.Txt") frames in $profile/TMVVelkaTrace.Txt"

echo "== cscript failing_calls.vbs on COM2 (COM8 has no device)"
timeout 120 wine cscript //nologo "$(script failing_calls.vbs)" 2 8 | tr -d '\r' |
  tee "$work/failing.txt"
diff -u "$repo/tests/windows/failing_calls.expected" "$work/failing.txt" ||
  fail "failing_calls.vbs did not answer as expected"

echo "== VelkaDriverServer.exe on COM3, headless"
home=$work/server-home
mkdir -p "$home/TOSEND"
printf '[Parameters]\r\nPort=3\r\nBaudRate=9600\r\nFrequence=1\r\n' >"$home/TMVSERVER.INI"
VELKA_SERVER_HOME=$(wine winepath -w "$home" 2>/dev/null | tr '\\' '/') \
  timeout 120 wine "$repo/$win/control/VelkaDriverServer.exe" >"$work/server.txt" 2>"$work/server.err" &
server_pid=$!
job=$home/TOSEND/Sale001
printf '=R1/$1.5/*2/(CAFFE)\r\n=R1/$1.2/(CORNETTO)\r\n=S\r\n=T1/$10\r\n' >"$job.part"
mv "$job.part" "$job.txt"
wait_until "[ -e '$job.OK' ] || [ -e '$job.KO' ]" 300 ||
  fail "the server wrote no result: $(cat "$work/server.txt" "$work/server.err")"
sleep 0.3
[ -e "$job.OK" ] || fail "the job failed: $(cat "$job.KO")"
echo "Sale001.OK:"
tr -d '\r' <"$job.OK"
printf 'STOP\r\n' >"$home/TOSEND/Quit.part"
mv "$home/TOSEND/Quit.part" "$home/TOSEND/Quit.txt"
status=0
wait "$server_pid" || status=$?
[ "$status" -eq 0 ] || fail "the server ended with status $status: $(cat "$work/server.err")"
tr -d '\r' <"$home/TOSEND/VelkaDriverServer.LOG" | tail -2
grep -q 'CAFFE' "$work/server.paper" || fail "the register printed no receipt for the job"

echo "== regsvr32 /u"
wine regsvr32 /s /u "$dll" || fail "regsvr32 /u returned $?"
if wine reg query 'HKCR\TMVVelka.TmvEcrVelka' >/dev/null 2>&1 ||
  wine reg query 'HKCR\CLSID\{2627C88C-4A65-4D90-9402-44C0B1C8E44D}' >/dev/null 2>&1 ||
  wine reg query 'HKCR\TypeLib\{2A584E1A-7CCE-4FD4-9180-6962032CE8AC}' >/dev/null 2>&1; then
  fail "the registration was not removed"
fi

echo "== The same receipt from the Linux library"
linux_home=$work/linux-home
mkdir -p "$linux_home"
export HOME=$linux_home XDG_CONFIG_HOME=$linux_home/config XDG_DATA_HOME=$linux_home/data
start_sim linux --com 9
wait_until "[ -e '$linux_home/config/TMV SPA/ports/com9' ]" 100 || fail "no com9 link"
PYTHONPATH="$repo/python" python3 tests/windows/print_receipt_linux.py 9 \
  "$repo/$host/control/libTMVVelka.so" >"$work/linux.txt" 2>&1 || fail "$(cat "$work/linux.txt")"
frames "$work/linux.log" >"$work/linux.frames"
frames "$work/receipt.log" >"$work/wine.frames"
[ -s "$work/linux.frames" ] || fail "the Linux run sent no frame"
diff -u "$work/linux.frames" "$work/wine.frames" || fail "the frames differ from Linux"
echo "the register got the same $(wc -l <"$work/wine.frames") frames from Windows as from Linux"

echo "Windows tests passed in $(($(date +%s) - started)) s"

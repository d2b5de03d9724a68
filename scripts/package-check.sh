#!/usr/bin/env bash
# Checks the Debian package as a till receives it: its file list and declared dependencies,
# its installation with apt, `VelkaDriverServer --version` from it, the control registered for
# the machine and found by the service account with an empty home, the C surface built with
# pkg-config, the service unit through `systemd-analyze verify`, a first receipt printed by the
# installed server run as the service account against the installed velka-sim (through a
# ports link of the machine, as the unit runs it), then removal and purge.
#   scripts/package-check.sh [--scratch-root] [DEB]     (DEB default: build-deb/velka-driver_*.deb)
# The package is installed on this machine and removed again: meant for a throw-away machine
# (CI). With --scratch-root it runs inside an overlay of this machine's root that is thrown
# away afterwards (needs root and the right to mount), so that nothing here changes.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)

if [ "${1:-}" = "--scratch-root" ]; then
  shift
  deb=$(realpath "${1:-$(ls build-deb/velka-driver_*.deb)}")
  scratch=$(mktemp -d /tmp/velka-scratch-root.XXXXXX)
  status=0
  unshare --mount --propagation private -- bash -euc '
    scratch=$1 repo=$2 deb=$3
    mount -t tmpfs tmpfs "$scratch"
    mkdir "$scratch/upper" "$scratch/work" "$scratch/root"
    mount -t overlay overlay -o "lowerdir=/,upperdir=$scratch/upper,workdir=$scratch/work" \
      "$scratch/root"
    for m in /proc /sys /dev; do mount --rbind "$m" "$scratch/root$m"; done
    mkdir -p "$scratch/root/var/tmp/velka-check"
    cp "$deb" "$scratch/root/var/tmp/velka-check/"
    chroot "$scratch/root" "$repo/scripts/package-check.sh" \
      "/var/tmp/velka-check/$(basename "$deb")"
  ' _ "$scratch" "$repo" "$deb" || status=$?
  rmdir "$scratch"
  exit "$status"
fi

deb=$(realpath "${1:-$(ls build-deb/velka-driver_*.deb)}")
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
scripts/install-deps.sh --packaging

fail() {
  echo "package-check: $*" >&2
  exit 1
}
step() { echo "== $*"; }

multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
version=$(dpkg-deb -f "$deb" Version)
classes="/usr/share/TMV SPA/classes"
machine_ports="/etc/xdg/TMV SPA/ports"
till=/var/lib/velka/package-check

step "file list of $(basename "$deb")"
expected=$(sed "s/@MULTIARCH@/$multiarch/" packaging/file-list.txt | sort)
actual=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {
  line = $6; for (i = 7; i <= NF; i++) line = line " " $i; sub(/^\./, "", line); print line }' |
  sort)
diff -u <(echo "$expected") <(echo "$actual") || fail "the file list differs (- expected, + packed)"
depends=$(dpkg-deb -f "$deb" Depends)
for needed in adduser libqt6svg6 libqt6widgets6 libc6; do
  [[ ", $depends," == *", $needed"[\ ,]* ]] || fail "Depends lacks $needed: $depends"
done
control=$(dpkg-deb --ctrl-tarfile "$deb" | tar -t)
for script in postinst prerm postrm triggers; do
  grep -qx "./$script" <<<"$control" || fail "no $script"
done

step "apt-get install"
$SUDO apt-get install -y --no-install-recommends "$deb" >/dev/null
[ "$(VelkaDriverServer --version)" = "VelkaDriverServer $version" ] || fail "--version"
grep -qw dialout <<<"$(id -nG velka)" || fail "the account velka is not in the group dialout"

step "the control registered for the machine"
library=/usr/lib/$multiarch/libTMVVelka.so.1.0.0
grep -qx "Library=$library" "$classes/{"*"}.class" || fail "no machine registration of $library"
[ -f "$classes/TMVVelka.TmvEcrVelka.progid" ] || fail "no $classes/TMVVelka.TmvEcrVelka.progid"
# A program as the service account, with only the environment given (HOME first).
as_velka() {
  $SUDO setpriv --reuid=velka --regid=velka --init-groups \
    env -i PATH=/usr/bin:/bin HOME="$1" "${@:2}"
}
# The same in the background, its output in the file $1; $! is the program itself.
start_as_velka() {
  local out=$1
  shift
  (exec $SUDO setpriv --reuid=velka --regid=velka --init-groups \
    env -i PATH=/usr/bin:/bin HOME="$1" "${@:2}") >"$out" 2>&1 &
}
described=$(as_velka /nonexistent velka-typeinfo) || fail "velka-typeinfo as velka: $described"
grep -q "53 members" <<<"$described" ||
  fail "velka-typeinfo does not find the control as velka with no home"

step "the C surface through pkg-config"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The tree's example, as the package also ships it (a minimal image may leave out /usr/share/doc).
cc $(pkg-config --cflags tmvvelka) examples/c/async_receipt.c $(pkg-config --libs tmvvelka) \
  -o "$work/async_receipt" || fail "the C example does not build against the installed header"

step "systemd-analyze verify velka-server@.service"
ln -s /usr/lib/systemd/system/velka-server@.service "$work/velka-server@till1.service"
# The man page is checked with the file list (a minimal image may leave out /usr/share/man).
verify=$(systemd-analyze verify --man=no "$work/velka-server@till1.service" 2>&1) ||
  fail "$verify"
[ -z "$verify" ] || fail "systemd-analyze verify: $verify"

step "a first receipt: velka-sim and VelkaDriverServer as velka, as the unit runs it"
$SUDO install -d -o velka -g velka "$till"
sim_pid="" server_pid=""
stop_programs() {
  [ -n "$server_pid" ] && $SUDO kill "$server_pid" 2>/dev/null || true
  [ -n "$sim_pid" ] && $SUDO kill "$sim_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  $SUDO rm -f "$machine_ports/com1"
  rm -rf "$work"
}
trap stop_programs EXIT
start_as_velka "$work/sim.out" "$till" velka-sim --baud 0 --paper "$till/paper.txt"
sim_pid=$!
wait_for() {  # a condition, tenths of a second
  for _ in $(seq "$2"); do eval "$1" && return 0; sleep 0.1; done
  return 1
}
wait_for '[ -s "$work/sim.out" ]' 100 || fail "velka-sim: $(cat "$work/sim.out")"
$SUDO mkdir -p "$machine_ports"
$SUDO ln -sfn "$(head -1 "$work/sim.out")" "$machine_ports/com1"
printf '[Parameters]\r\nPort=1\r\nFrequence=1\r\n' | $SUDO tee "$till/TMVSERVER.INI" >/dev/null
start_as_velka "$work/server.out" "$till" VELKA_SERVER_HOME="$till" VelkaDriverServer
server_pid=$!
wait_for 'grep -q " tray: shown$" "$work/server.out"' 100 || fail "server: $(cat "$work/server.out")"
printf '=R1/$1.5/*2/(CAFFE)\r\n=T1/$10\r\n' | $SUDO tee "$till/TOSEND/.Sale001.part" >/dev/null
$SUDO mv "$till/TOSEND/.Sale001.part" "$till/TOSEND/Sale001.txt"
wait_for '$SUDO test -e "$till/TOSEND/Sale001.OK" -o -e "$till/TOSEND/Sale001.KO"' 150 ||
  fail "no result: $(cat "$work/server.out")"
$SUDO grep -q ";Dump=" "$till/TOSEND/Sale001.OK" || fail "the job failed"
$SUDO grep -q CAFFE "$till/paper.txt" || fail "nothing printed"
$SUDO kill -TERM "$server_pid"
status=0
wait "$server_pid" || status=$?
server_pid=""
[ "$status" -eq 0 ] || fail "VelkaDriverServer ended with status $status: $(cat "$work/server.out")"
cat "$work/server.out"

step "apt-get remove, purge"
stop_programs
trap - EXIT
$SUDO apt-get remove -y velka-driver >/dev/null
[ ! -e "$classes" ] || fail "the machine registration stays after removal: $(ls "$classes")"
[ ! -e /usr/bin/VelkaDriverServer ] || fail "VelkaDriverServer stays after removal"
$SUDO apt-get purge -y velka-driver >/dev/null
[ ! -e /var/lib/velka ] || fail "/var/lib/velka stays after purge"
echo "package-check: $(basename "$deb") passed"

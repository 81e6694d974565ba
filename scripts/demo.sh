#!/usr/bin/env bash
# A first look at Zentimo: builds zenctl and zensvc, runs zenctl on a rules database in a
# fresh temporary root, then the service in debug mode on the same root. Nothing outside that
# directory is read or written (ZEN_ROOT and --root point there; under such a root the
# service never talks to systemd and takes the console user from the file run/zentimo/seat).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh

echo "== building zenctl and zensvc"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target zenctl zensvc -j "$(nproc)" >/dev/null

root=$(mktemp -d -t zentimo-demo.XXXXXX)
export ZEN_ROOT=$root
zenctl() { build/tools/zenctl --root "$root" "$@"; }
step() { printf '\n$ zenctl %s\n' "$*"; zenctl "$@"; }

step init
step group add Kids
step user add alice Kids --any
step forbid Kids internet weekdays 08:00-15:00
step limit Kids computer 60
step limit Kids computer on
step users
printf '\n$ zenctl show Kids   (abridged: the fields and the Internet timetable)\n'
zenctl show Kids | sed -n '1,10p'
echo "..."
zenctl show Kids | sed -n '/^internet timetable (#/,/^internet daily limit/p'
zenctl show Kids | grep '^computer daily limit'
step check alice internet --at "Mon 09:00"
step check alice internet --at "Mon 16:00"

# The service runs as root (its stop event is root's alone), still only under the demo root.
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo env "ZEN_ROOT=$root")
run=$root/run/zentimo

printf '\n== zensvc -debug, with "bob" (unknown so far) at the console\n'
echo bob >"$run/seat"
"${as_root[@]}" build/service/zensvc -debug 2>"$root/zensvc.log" &
service=$!
trap '"${as_root[@]}" kill "$service" 2>/dev/null || true' EXIT
until grep -q "zensvc: tick:" "$root/zensvc.log" 2>/dev/null; do sleep 0.2; done
cat "$root/zensvc.log"
step users

printf '\n$ ask the time socket %s\n' "$run/ZenNamedPipe"
/usr/bin/python3 - "$run/ZenNamedPipe" <<'PY'
import socket, struct, sys
with socket.socket(socket.AF_UNIX) as s:
    s.connect(sys.argv[1])
    data = s.recv(64)
y, mo, wd, d, h, mi, sec, ms = struct.unpack("<8H", data)
print(f"{len(data)} bytes: {y:04}-{mo:02}-{d:02} {h:02}:{mi:02}:{sec:02}.{ms:03} UTC, weekday {wd}")
PY

printf '\n$ send control code 129 (as root) to %s\n' "$run/control"
"${as_root[@]}" /usr/bin/python3 - "$run/control" <<'PY'
import socket, struct, sys
with socket.socket(socket.AF_UNIX) as s:
    s.connect(sys.argv[1])
    s.sendall(struct.pack("<I", 129))
    print("answer:", struct.unpack("<I", s.recv(4))[0])
PY
wait "$service" || true
trap - EXIT
tail -n 1 "$root/zensvc.log"

# ---- Computer time: a forbidden quarter hour ends in a warning, then a logoff -------------
# The service runs on a clock ten times as fast (faketime), so its minute of warning takes
# six seconds. Under the demo root the logoff is written to run/zentimo/actions.log instead.
printf '\n== computer time: alice is at the console during a forbidden quarter hour\n'
hour=$((10#$(date +%H)))
from=$(printf '%02d:00' "$hour")
to=$(printf '%02d:00' "$((hour + 2 > 24 ? 24 : hour + 2))")
step timetable Kids computer on
step forbid Kids computer all "$from-$to"
step set Kids ShutDown logoff
step check alice computer
echo alice >"$run/seat"
# libfaketime is preloaded directly (not through the faketime wrapper, which would stay the
# parent), so that $service is zensvc itself; the loader expands $LIB.
faked=(env 'LD_PRELOAD=/usr/$LIB/faketime/libfaketime.so.1' 'FAKETIME=+0 x10')
printf '\n$ FAKETIME="+0 x10" zensvc -debug   (libfaketime preloaded)\n'
"${as_root[@]}" "${faked[@]}" build/service/zensvc -debug 2>"$root/zensvc-time.log" &
service=$!
trap '"${as_root[@]}" kill "$service" 2>/dev/null || true' EXIT
until [[ $(zenctl messages) == *"logged out"* ]]; do sleep 0.2; done
step messages
step log warnings
until [ -s "$run/actions.log" ]; do sleep 0.2; done
printf '\n$ cat %s   (a minute later on the service'"'"'s clock)\n' "$run/actions.log"
cat "$run/actions.log"
"${as_root[@]}" kill "$service"  # SIGTERM: the system's shutdown stops the service
wait "$service" || true
trap - EXIT
# ---- end of computer time ------------------------------------------------------------------
# ---- the Internet filter ------------------------------------------------------------------
# A client of alice run through libzensp.so now, in hours her timetable forbids: its socket
# call fails with EACCES, and the warning and her message appear. The filter reads the
# machine's clock and the root's etc/localtime, never the program's (no faketime here).
printf '\n== the Internet filter: python3 as alice through libzensp.so, Internet forbidden now\n'
step forbid Kids internet all "$from-$to"
cmake --build build --target zensp -j "$(nproc)" >/dev/null
alice_uid=$(id -u)
as_alice=()
if [ "$alice_uid" -eq 0 ]; then
    alice_uid=60123  # named only in the demo root's etc/passwd
    as_alice=(setpriv --reuid "$alice_uid" --regid "$alice_uid" --clear-groups)
fi
mkdir -p "$root/etc"
echo "alice:x:$alice_uid:$alice_uid::/nonexistent:/bin/sh" >>"$root/etc/passwd"
cp -L /etc/localtime "$root/etc/localtime" 2>/dev/null || true
chmod 755 "$root"
"${as_alice[@]}" env LD_PRELOAD="$PWD/build/filter/libzensp.so" /usr/bin/python3 -c '
import socket
try:
    socket.create_connection(("127.0.0.1", 9), timeout=2)
except OSError as error:
    print("python3:", error)'
step log warnings
step messages
# ---- end of the Internet filter ----------------------------------------------------------

printf '\nThe demonstration root is %s (remove it with: rm -rf %s)\n' "$root" "$root"

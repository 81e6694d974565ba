#!/usr/bin/env bash
# A first look at Zentimo: builds zenctl and runs it on a rules database in a fresh temporary
# root. Nothing outside that directory is read or written (ZEN_ROOT and --root point there).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh

echo "== building zenctl"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target zenctl -j "$(nproc)" >/dev/null

root=$(mktemp -d -t zentimo-demo.XXXXXX)
export ZEN_ROOT=$root
zenctl() { build/tools/zenctl --root "$root" "$@"; }
step() { printf '\n$ zenctl %s\n' "$*"; zenctl "$@"; }

step init
step group add Kids
step user add alice Kids
step forbid Kids internet weekdays 08:00-15:00
step limit Kids computer 60
step limit Kids computer on
step users
printf '\n$ zenctl show Kids   (abridged: the fields and the Internet timetable)\n'
zenctl show Kids | sed -n '1,10p'
echo "..."
zenctl show Kids | sed -n '/^Internet timetable/,/^Internet daily limit/p'
zenctl show Kids | grep '^Power daily limit'
step check alice internet --at "Mon 09:00"
step check alice internet --at "Mon 16:00"

printf '\nThe demonstration root is %s (remove it with: rm -rf %s)\n' "$root" "$root"

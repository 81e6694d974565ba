#!/bin/sh
# Takes the control panel's screenshots into docs/screenshots at 100 % and 200 % scale, on a
# virtual X server, from a built test_panel (default build/tests/test_panel).
set -eu
cd "$(dirname "$0")/.."
test_panel=${1:-build/tests/test_panel}
out=$(pwd)/docs/screenshots
mkdir -p "$out"
for scale in 1 2; do
    QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=$scale ZEN_SCREENSHOT_DIR="$out" \
        xvfb-run -a -s "-screen 0 1920x1400x24" \
        "$test_panel" --gtest_filter='Screenshots*'
done
ls -l "$out"

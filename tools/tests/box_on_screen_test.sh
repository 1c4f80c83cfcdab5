#!/bin/sh
# With a display, a tool's box goes on the screen and waits there for OK:
# nothing is printed, and the tool is still waiting when the time is up.
# Usage: box_on_screen_test.sh TOOL
set -u
command -v xvfb-run >/dev/null || { echo "xvfb-run missing: skipped"; exit 77; }
bench=$(mktemp -d)
trap 'rm -rf "$bench"' EXIT
cd "$bench"
# A port that cannot exist, so that the first box is the port message.
printf 'ComPortName = ttyNOSUCHPORT\n' > Preferences.ini
unset QT_QPA_PLATFORM
timeout -k 5 8 xvfb-run -a "$1" > out.txt 2> err.txt
status=$?
if [ "$status" -ne 124 ]; then
    echo "the tool ended (status $status) instead of waiting on its box"; cat out.txt err.txt; exit 1
fi
if [ -s out.txt ]; then
    echo "the box was printed instead of shown:"; cat out.txt; exit 1
fi
echo "box shown and waiting"

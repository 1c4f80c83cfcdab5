#!/usr/bin/env bash
# Run beside a program on a display (scripts/wine-run --xvfb --beside): waits
# for a window with exactly this title, then presses Enter on it, as a user
# answers a message box, until the window is gone (a key that comes before
# the box has the focus is lost, so it is pressed again). Waits as long as
# the program runs (WINE_RUN_PROGRAM_PID; the test's own time-out bounds a
# hang), so a slow start on a loaded machine is no failure; fails when the
# program ends without such a window.
#   press_enter_on.sh TITLE
set -u
program=${WINE_RUN_PROGRAM_PID:?run by scripts/wine-run --beside}
find_window() { xdotool search --name "^$1\$" 2>/dev/null | head -n 1; }

while :; do
    window=$(find_window "$1")
    [ -n "$window" ] && break
    kill -0 "$program" 2>/dev/null || { echo "the program ended without a window \"$1\""; exit 1; }
    sleep 0.1
done
echo "window \"$(xdotool getwindowname "$window")\" on the screen"
presses=0
while [ -n "$(find_window "$1")" ] && kill -0 "$program" 2>/dev/null; do
    if [ $((presses % 20)) -eq 0 ]; then  # every 2 s while the box stays
        xdotool windowactivate --sync "$window" >/dev/null 2>&1 || true
        xdotool key Return
    fi
    presses=$((presses + 1))
    sleep 0.1
done
echo "answered"
exit 0

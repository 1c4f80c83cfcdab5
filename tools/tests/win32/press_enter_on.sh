#!/usr/bin/env bash
# Run beside a program on a display (scripts/wine-run --xvfb --beside): waits
# for a window with exactly this title, then presses Enter on it, as a user
# answers a message box. Fails when no such window comes within 30 s.
#   press_enter_on.sh TITLE
set -u
for _ in $(seq 1 300); do
    window=$(xdotool search --name "^$1\$" 2>/dev/null | head -n 1)
    if [ -n "$window" ]; then
        echo "window \"$(xdotool getwindowname "$window")\" on the screen"
        xdotool windowactivate --sync "$window" >/dev/null 2>&1 || true
        xdotool key Return
        exit 0
    fi
    sleep 0.1
done
echo "no window \"$1\" came"
exit 1

#!/bin/sh
# Without Preferences.ini a tool falls back to COM1, /dev/ttyS0. Where that is
# the system console the port is refused: the tool says it cannot open COM1,
# one line on standard error says why, and the exit code is 0. Run in a
# private mount namespace where /dev/ttyS0 is /dev/null and the console list
# is the test's own, so no real port is ever opened.
# Usage: console_refused_test.sh TOOL
set -u
bench=$(mktemp -d)
trap 'rm -rf "$bench"' EXIT
printf 'ttyS0\n' > "$bench/active"
cd "$bench"
unshare -m sh -c "mount --bind /dev/null /dev/ttyS0 && mount --bind '$bench/active' /sys/class/tty/console/active" \
    2>/dev/null || { echo "no private mount namespace here: skipped"; exit 77; }
unshare -m sh -c "mount --bind /dev/null /dev/ttyS0 && mount --bind '$bench/active' /sys/class/tty/console/active &&
                  exec env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen '$1'" > out.txt 2> err.txt
status=$?
printf 'Ошибка\nФайл Preferences.ini не найден\n\nОшибка\nНе удалось открыть порт COM1\n\n' > expected.txt
cat out.txt err.txt
[ "$status" -eq 0 ] || { echo "exit code $status"; exit 1; }
cmp -s out.txt expected.txt || { echo "boxes differ from:"; cat expected.txt; exit 1; }
[ "$(grep -c 'системная консоль' err.txt)" -eq 1 ] && [ "$(wc -l < err.txt)" -eq 1 ] || { echo "not one line about the console"; exit 1; }
echo "console refused"

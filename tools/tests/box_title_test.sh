#!/bin/sh
# With a display, a box with an empty caption has an empty title, not the
# program's name. pic-write-ids ends with such a box on the virtual programmer.
# Usage: box_title_test.sh TOOL
set -u
for needed in xvfb-run xwininfo xprop; do
    command -v "$needed" >/dev/null || { echo "$needed missing: skipped"; exit 77; }
done
bench=$(mktemp -d)
trap 'rm -rf "$bench"' EXIT
cd "$bench"
printf 'ComPortName = VIRTUAL\nVantrel_Delay = 20\n' > Preferences.ini
cat > look.sh <<'EOF'
"$1" > out.txt 2>&1 &
tool=$!
box=
for i in $(seq 1 150); do
    sleep 0.1
    # The box is the one top-level window of some size; Qt's helpers are tiny.
    box=$(xwininfo -root -children | grep -E ' [0-9]{3,}x[0-9]{2,}\+' | awk '{print $1; exit}')
    [ -n "$box" ] && break
done
cat out.txt; [ -n "$box" ] && xprop -id "$box" WM_NAME _NET_WM_NAME
kill "$tool"
[ -n "$box" ]
EOF
unset QT_QPA_PLATFORM
timeout -k 5 40 xvfb-run -a sh look.sh "$1" > names.txt 2>&1 || { echo "no box appeared"; cat names.txt; exit 1; }
cat names.txt
if grep -E '= ".+"' names.txt; then
    echo "the box has a title of its own"; exit 1
fi
echo "box shown with an empty title"

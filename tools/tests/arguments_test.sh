#!/bin/sh
# Any argument makes a program say what it is and end, touching nothing: the
# usage text on standard error and exit code 2, or for --version alone the
# version on standard output and exit code 0. Run in a directory whose
# Preferences.ini names the virtual programmer, which would leave its chip
# file behind if a tool went to work, and without a display, where a program
# that went on would print its boxes or its need of a display.
# Usage: arguments_test.sh VERSION PROGRAM...
set -u
version=$1
shift
bench=$(mktemp -d)
trap 'rm -rf "$bench"' EXIT
cd "$bench"
printf 'ComPortName = VIRTUAL\nVantrel_Delay = 0\n' > Preferences.ini
failed=0
fail() { echo "$1: $2"; failed=1; }
for program in "$@"; do
    name=$(basename "$program")
    for args in "--help" "-h" "--version extra" "COM1"; do
        # shellcheck disable=SC2086
        env -u DISPLAY -u WAYLAND_DISPLAY XDG_CACHE_HOME="$bench/cache" "$program" $args > out.txt 2> err.txt
        status=$?
        [ "$status" -eq 2 ] || fail "$name $args" "exit code $status"
        [ -s out.txt ] && fail "$name $args" "wrote to standard output: $(head -c 200 out.txt)"
        grep -q "не принимает аргументов" err.txt && grep -q "man $name\$" err.txt ||
            fail "$name $args" "no usage text: $(head -c 300 err.txt)"
    done
    env -u DISPLAY -u WAYLAND_DISPLAY XDG_CACHE_HOME="$bench/cache" "$program" --version > out.txt 2> err.txt
    status=$?
    [ "$status" -eq 0 ] || fail "$name --version" "exit code $status"
    [ "$(cat out.txt)" = "$name $version" ] || fail "$name --version" "printed '$(cat out.txt)'"
    [ -s err.txt ] && fail "$name --version" "wrote to standard error: $(head -c 200 err.txt)"
    [ "$(ls -A | xargs)" = "Preferences.ini err.txt out.txt" ] || fail "$name" "left files: $(ls -A | xargs)"
done
[ "$failed" -eq 0 ] && echo "every program answered its arguments and touched nothing"
exit "$failed"

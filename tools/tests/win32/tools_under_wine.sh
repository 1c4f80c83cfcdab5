#!/usr/bin/env bash
# The seven Windows tools end to end under Wine, each run in a scratch working
# directory as a user would run it: the message boxes they call (caption,
# text and style, read by scripts/wine-run --boxes from Wine's trace of
# MessageBoxW), and, through tool_record_check.exe, the line record and the
# chip the virtual programmer leaves beside them.
#
#   tools_under_wine.sh WINE_RUN PREFIX BIN_DIR CHECKER PARTIAL_DLL CASE
set -euo pipefail
wine_run=$(realpath "$1") prefix=$(realpath "$2") bin=$(realpath "$3") checker=$(realpath "$4")
partial_dll=$(realpath "$5") case=$6
here=$(dirname "$(realpath "$0")")

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
failed=0

# Preferences.ini as Windows editors write it: code page 1251, CR LF.
preferences() { printf '%s\r\n' "; стенд" "$@" | iconv -f UTF-8 -t CP1251 >"$dir/Preferences.ini"; }

# The boxes a run is expected to show, as wine-run --boxes prints them.
boxes=
box() { boxes+=$(printf '[%s] %s\n%s\n\n.' "$1" "$2" "$3"); boxes=${boxes%.}; }
lines() { printf '%s\n' "$@"; }
ten() { local v=$1; lines "$v" "$v" "$v" "$v" "$v" "$v" "$v" "$v" "$v" "$v"; }
program_words() { box 0x40 "Чтение памяти программ" "$(lines "$@")"$'\n'; }
data_bytes() { box 0x40 "Чтение памяти данных" "$(lines "$@")"$'\n'; }
ids() { box 0x40 "Чтение идентификаторов и конфигурации" \
    "Идентификаторы:"$'\n'"$(lines "$1" "$2" "$3" "$4")"$'\n\n'"Конфигурация: $5"; }
no_programmer() { box 0x10 "Ошибка" "Не найден программатор"; }

expect() {  # expect TOOL [wine-run options]: runs it and compares with the boxes set up before
    local tool=$1 actual status
    shift
    actual=$("$wine_run" --boxes --dir "$dir" "$@" "$prefix" "$dir/$tool.exe"; echo "status $?")
    status=${actual##*status }
    actual=${actual%status *}
    if [ "$actual" != "$boxes" ] || [ "$status" != 0 ]; then
        echo "FAIL: $tool (exit code $status)"
        diff <(printf '%s' "$boxes") <(printf '%s' "$actual") || true
        failed=1
    else
        echo "ok: $tool"
    fi
    boxes=
}

check_record() {  # check_record SUITE: the checker's tests for what the last tool left
    "$wine_run" --dir "$dir" "$prefix" "$checker" --gtest_filter="$1.*" --gtest_brief=1 || failed=1
}

cp "$bin"/*.exe "$bin/Vantrel_PIC.dll" "$dir/"

case "$case" in
program)
    preferences "Vantrel_Delay = 20" "ComPortName = VIRTUAL"
    program_words $(ten 3FFF)
    expect pic-read-program
    box 0x40 "Память программ" "Программирование завершено"
    expect pic-write-program
    check_record WriteProgram
    program_words 0001 0002 0003 0004 0005 0006 0007 0008 0009 000A
    expect pic-read-program
    check_record ReadProgram
    ;;
data)
    preferences "Vantrel_Delay = 20" "ComPortName = VIRTUAL"
    data_bytes $(ten FF)
    expect pic-read-data-dyn
    box 0x40 "Память данных" "Программирование завершено"
    expect pic-write-data
    check_record WriteData
    data_bytes 01 02 03 04 05 06 07 08 09 0A
    expect pic-read-data
    check_record ReadData
    data_bytes 01 02 03 04 05 06 07 08 09 0A
    expect pic-read-data-dyn
    check_record ReadData
    ;;
ids)
    preferences "vantrel_delay = 20" "COMPORTNAME =   VIRTUAL  "
    ids 3FFF 3FFF 3FFF 3FFF 3FFF
    expect pic-read-ids
    box 0x40 "" "Запись идентификаторов и конфигурации завершена"
    expect pic-write-ids
    check_record WriteIds
    ids 0001 0002 0003 0004 3FF1
    expect pic-read-ids
    check_record ReadIds
    ;;
failures)
    # No such port: its message alone, and the chip is never touched.
    preferences "ComPortName = COM7"
    for tool in pic-read-ids pic-write-ids pic-read-data pic-read-data-dyn pic-read-program pic-write-data \
        pic-write-program; do
        box 0x10 "Ошибка" "Не удалось открыть порт COM7"
        expect "$tool"
    done
    [ ! -e "$dir/virtual-pic.hex" ] || { echo "FAIL: the chip file was made"; failed=1; }
    # Nothing attached: reported, and the job runs all the same.
    preferences "Vantrel_Delay = 20" "ComPortName = VIRTUAL-NOADAPTER"
    no_programmer
    data_bytes $(ten 00)
    expect pic-read-data
    no_programmer
    data_bytes $(ten 00)
    expect pic-read-data-dyn
    no_programmer
    box 0x40 "Память программ" "Программирование завершено"
    expect pic-write-program
    # No settings file: its message, then the default port COM1 (here a pty
    # without modem lines) with the default settings.
    rm "$dir/Preferences.ini"
    box 0x10 "Ошибка" "Файл Preferences.ini не найден"
    no_programmer
    program_words $(ten 0000)
    expect pic-read-program --com-echo 1
    ;;
library)
    # Without the DLL beside it: only the library's message, with no caption,
    # and the settings file is not even looked for.
    rm "$dir/Vantrel_PIC.dll"
    box 0x10 "" "Файл Vantrel_PIC.dll не найден!"
    expect pic-read-data-dyn
    # A DLL without Vantrel_InByteData: that call is skipped and counts as 0.
    cp "$partial_dll" "$dir/Vantrel_PIC.dll"
    preferences "Vantrel_Delay = 20" "ComPortName = VIRTUAL"
    data_bytes $(ten 00)
    expect pic-read-data-dyn
    ;;
screen)
    # On a display the box is the system's own, with its Russian caption, and
    # the tool ends (exit code 0) once it is answered.
    preferences "ComPortName = COM7"
    "$wine_run" --xvfb --beside "$here/press_enter_on.sh Ошибка" --dir "$dir" "$prefix" \
        "$dir/pic-read-ids.exe" || { echo "FAIL: pic-read-ids on the screen"; failed=1; }
    ;;
*)
    echo "unknown case $case" >&2
    exit 2
    ;;
esac
exit $failed

#!/usr/bin/env bash
# pic-prog.exe under Wine on the virtual programmer, as a user runs it from a
# folder of their own: a program assembled with gpasm, under a Russian file
# name, written and verified, the chip read back into another Russian name,
# verified against that and not overwritten, and a broken file refused with
# its line. Standard
# error is a pipe here, so its messages must arrive as UTF-8 bytes.
#
#   pic_prog_under_wine.sh WINE_RUN PREFIX PIC_PROG_EXE
set -euo pipefail
wine_run=$(realpath "$1") prefix=$(realpath "$2") exe=$(realpath "$3")

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
failed=0

cp "$exe" "$dir/pic-prog.exe"
printf 'ComPortName = VIRTUAL\r\nVantrel_Delay = 10\r\n' >"$dir/Preferences.ini"
cat >"$dir/blink.asm" <<'ASM'
        list    p=16f84a
        #include <p16f84a.inc>
        __CONFIG _CP_OFF & _WDT_OFF & _PWRTE_ON & _XT_OSC
        __IDLOCS 0x1234
        org     0
loop:   incf    PORTB, f
        goto    loop
        org     0x2100
        de      "Hi"
        end
ASM
(cd "$dir" && gpasm -q -o прошивка.hex blink.asm) || { echo "gpasm failed (scripts/install-deps installs gputils)"; exit 1; }
printf ':020000040000FA\n:0A000000831686018312860A032886\n:02400E00F13F81\n:00000001FF\n' >"$dir/bad.hex"

# expect CODE STDERR-PATTERN ARGUMENTS...: the exit code, nothing on standard
# output, and standard error (CR LF, as the C runtime writes text) matching
# the extended regular expression whole.
expect() {
    local code=$1 pattern="^$2"$'\r\n''$' status=0 err
    shift 2
    "$wine_run" --dir "$dir" "$prefix" "$dir/pic-prog.exe" "$@" >"$dir/out" 2>"$dir/err" || status=$?
    err=$(cat "$dir/err"; echo .)
    if [ "$status" != "$code" ] || [ -s "$dir/out" ] || ! iconv -f UTF-8 -t UTF-8 "$dir/err" >/dev/null ||
        ! [[ ${err%.} =~ $pattern ]]; then
        echo "FAIL: pic-prog $* (exit code $status, expected $code)"
        echo "standard output:"; head -c 2000 "$dir/out" | cat -v; echo
        echo "standard error:"; head -c 4000 "$dir/err" | cat -v; echo
        failed=1
    else
        echo "ok: pic-prog $*"
    fi
}

held='память программ — 2 слова, память данных — 2 байта, идентификаторы — 4 слова, слово конфигурации'
expect 0 "pic-prog: PIC16F84A записан и проверен за [0-9]+,[0-9] с: $held" write прошивка.hex
expect 0 "pic-prog: PIC16F84A совпадает с файлом, проверено за [0-9]+,[0-9] с: $held" verify прошивка.hex
expect 0 "pic-prog: PIC16F84A прочитан в копия.hex за [0-9]+,[0-9] с: .*" read копия.hex
expect 0 "pic-prog: PIC16F84A совпадает с файлом, проверено за [0-9]+,[0-9] с: .*" verify копия.hex
expect 2 "pic-prog: файл копия.hex уже есть; чтобы заменить его, добавьте --force" read копия.hex
expect 2 "pic-prog: bad.hex: строка 3: неверная контрольная сумма: в записи 0x81, по её байтам должно быть 0x80" \
    write bad.hex
exit $failed

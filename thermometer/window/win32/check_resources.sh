#!/usr/bin/env bash
# Static check of Ambrel.exe's own resources, read back with windres:
#   check_resources.sh WINDRES Ambrel.exe
# one icon of one 32 x 32 image with 16 colours; a version record 0.0.0.0
# (file and product) whose only text entry is the thermometer's ids.
set -euo pipefail
rc=$("$1" -i "$2" -O rc)
failed=0
fail() { echo "FAIL: $*"; failed=1; }

grep -Eq 'Has 1 elements\. *\*/' <<<"$rc" || fail "the icon group does not hold exactly one image"
grep -q '"\\040\\040\\020\\000", 1, 4,' <<<"$rc" || fail "the icon is not 32 x 32 with 16 colours"
[ "$(grep -c 'RT_GROUP_ICON' <<<"$rc")" = 1 ] || fail "not exactly one icon"
# windres leaves version numbers of 0.0.0.0 out.
if grep -Eq '^ *(FILEVERSION|PRODUCTVERSION) ' <<<"$rc"; then
    fail "version is not 0.0.0.0: $(grep -E '^ *(FILEVERSION|PRODUCTVERSION) ' <<<"$rc" | xargs)"
fi
texts=$(sed -n '/BLOCK "StringFileInfo"/,/BLOCK "VarFileInfo"/p' <<<"$rc" | grep 'VALUE' || true)
echo "text entries: $texts"
[ "$(wc -l <<<"$texts")" = 1 ] || fail "more than one text entry"
grep -qF 'VALUE "PrivateBuild", "PID - EF04H;  VID - AAAAH"' <<<"$texts" || fail "no private build entry with the ids"
[ $failed -eq 0 ] && echo "ok: $2"
exit $failed

#!/usr/bin/env bash
# The locale check must reject each kind of fault it exists for; a check
# that passes everything would hide broken translations.
#   checker_rejects_faults.sh LOCALE_DIR SOURCE_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
locale_dir=${1:?locale folder}
source_dir=${2:?source folder}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# expect_rejected NAME SED_SCRIPT FILE: break FILE in a copy, the check must fail.
expect_rejected() {
    rm -rf "$work/locale"
    cp -r "$locale_dir" "$work/locale"
    sed -i "$2" "$work/locale/$3"
    if "$here/check_locales.sh" "$work/locale" "$source_dir" >/dev/null 2>&1; then
        echo "not rejected: $1" >&2
        failures=$((failures + 1))
    fi
}

"$here/check_locales.sh" "$locale_dir" "$source_dir" >/dev/null ||
    { echo "the real locale files must pass first" >&2; exit 1; }

expect_rejected "a missing key" '/^ConfirmDelete=/d' de-DE.ini
expect_rejected "a dropped %1" '/^LoadHotkey=/s/%1/X/' ja-JP.ini
expect_rejected "an extra %2" '/^Modified=/s/%1/%1 %2/' fr-FR.ini
expect_rejected "a key the code does not use" '$a Unused="never shown"' es-ES.ini
expect_rejected "an unused key in en-US too" '$a Unused="never shown"' en-US.ini
expect_rejected "a key given twice" '$a Title="again"' pt-BR.ini
expect_rejected "an empty text" 's/^Load=.*/Load=""/' zh-CN.ini
expect_rejected "an unquoted value" 's/^Save="\(.*\)"/Save=\1/' de-DE.ini
expect_rejected "invalid UTF-8" '1s/^/\xff/' fr-FR.ini
expect_rejected "a text the code looks up but en-US lacks" '/^SearchNotFound=/d' en-US.ini

[ "$failures" -eq 0 ] || exit 1
echo "every planted fault was rejected"

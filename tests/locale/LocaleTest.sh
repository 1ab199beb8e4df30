#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Every locale file holds en-US's keys, once each, with a non-empty text that
# keeps the place markers %1 and %2 of en-US; en-US has a text for every key
# the code looks up and no key the code never names.
#   LocaleTest.sh LOCALE_DIR SOURCE_DIR
export LC_ALL=C.UTF-8
locales=${1:?locale folder} src=${2:?source folder} ref=$1/en-US.ini
problems=$(
    for file in "$locales"/*.ini; do
        iconv -f UTF-8 -t UTF-8 "$file" >/dev/null 2>&1 || { echo "${file##*/}: not UTF-8"; continue; }
        awk -v name="${file##*/}" '
            function marks(t) { return (index(t, "%1") ? 1 : "") (index(t, "%2") ? 2 : "") }
            $0 == "" { next }
            !match($0, /^[A-Za-z0-9_.]+="/) || !/"$/ { print name ": malformed line: " $0; next }
            { key = substr($0, 1, RLENGTH - 2); text = substr($0, RLENGTH + 1, length($0) - RLENGTH - 1) }
            FNR == NR { ref[key] = marks(text); next }
            seen[key]++ { print name ": " key " given twice"; next }
            !(key in ref) { print name ": " key " is not in en-US.ini"; next }
            text == "" || marks(text) != ref[key] { print name ": " key " is empty or loses a place marker" }
            END { for (key in ref) if (!(key in seen)) print name ": missing " key }' "$ref" "$file"
    done
    named=$(grep -rhoE '"[A-Za-z0-9_.]+"' "$src" | tr -d '"' | sort -u)
    for key in $(grep -rhoE '\b(localeText|texts|obs_module_text|error)\("[A-Za-z0-9_.]+"' "$src" | sed 's/.*("//; s/"$//' | sort -u); do
        grep -q "^$key=" "$ref" || echo "en-US.ini: the code looks up $key, which has no text"
    done
    for key in $(sed -n 's/^\([A-Za-z0-9_.]*\)=.*/\1/p' "$ref"); do
        grep -qxF "$key" <<<"$named" || echo "en-US.ini: $key is used nowhere in the code"
    done
)
[ -z "$problems" ] || { echo "$problems" >&2; exit 1; }
echo "$(ls "$locales"/*.ini | wc -l) locale files, all consistent"

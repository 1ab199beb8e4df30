#!/usr/bin/env bash
# Checks the locale files against en-US.ini and the source code:
#   check_locales.sh LOCALE_DIR SOURCE_DIR
# Every file holds exactly en-US's keys, once each, with non-empty values
# that keep each %1 and %2; en-US holds every key the code looks up and no
# key the code never names.
set -uo pipefail
export LC_ALL=C.UTF-8
locale_dir=${1:?locale folder}
source_dir=${2:?source folder}
reference=$locale_dir/en-US.ini
failures=0

problem() {
    echo "$*" >&2
    failures=$((failures + 1))
}

keys() { sed -n 's/^\([A-Za-z0-9_.]*\)=.*/\1/p' "$1" | sort; }

# One pass per file: the line form, duplicates, keys against en-US, empty
# texts and the place markers %1 and %2 of each text.
compare_to_reference() {
    awk -v name="$2" '
        function markers(text,    out, i) {
            out = ""
            for (i = 1; i <= 2; i++)
                out = out (gsub("%" i, "&", text) > 0 ? i : "")
            return out
        }
        function parse(line) {
            if (!match(line, /^[A-Za-z0-9_.]+="/) || line !~ /"$/)
                return 0
            key = substr(line, 1, RLENGTH - 2)
            text = substr(line, RLENGTH + 1, length(line) - RLENGTH - 1)
            return 1
        }
        FNR == NR { if (parse($0)) reference[key] = markers(text); next }
        $0 == "" { next }
        !parse($0) { print name ": malformed line: " $0; next }
        seen[key]++ { print name ": " key " given twice"; next }
        !(key in reference) { print name ": " key " is not a key of en-US.ini"; next }
        text == "" { print name ": " key " is empty" }
        markers(text) != reference[key] { print name ": " key " does not keep the place markers of en-US" }
        END { for (key in reference) if (!(key in seen)) print name ": missing " key }
    ' "$reference" "$1"
}

[ -f "$reference" ] || {
    echo "no $reference" >&2
    exit 1
}

for file in "$locale_dir"/*.ini; do
    name=$(basename "$file")
    if ! iconv -f UTF-8 -t UTF-8 "$file" >/dev/null 2>&1; then
        problem "$name: not valid UTF-8"
        continue
    fi
    while IFS= read -r line; do
        problem "$line"
    done < <(compare_to_reference "$file" "$name")
done

# Keys the code looks up directly must exist...
looked_up=$(grep -rhoE '\b(text|obs_module_text|error)\("[A-Za-z0-9_.]+"' "$source_dir" |
    sed 's/.*("\(.*\)"/\1/' | sort -u)
[ -n "$looked_up" ] || problem "found no text(\"Key\") look-ups in $source_dir"
for key in $looked_up; do
    grep -q "^$key=" "$reference" || problem "en-US.ini: the code looks up $key, which has no text"
done
# ...and every key must be named somewhere in the code (tables pass keys on).
literals=$(grep -rhoE '"[A-Za-z0-9_.]+"' "$source_dir" | tr -d '"' | sort -u)
for key in $(comm -23 <(keys "$reference" | uniq) <(echo "$literals")); do
    problem "en-US.ini: $key is used nowhere in the code"
done

if [ "$failures" -gt 0 ]; then
    echo "$failures locale problem(s)" >&2
    exit 1
fi
echo "$(ls "$locale_dir"/*.ini | wc -l) locale files, $(keys "$reference" | wc -l) keys: all consistent"

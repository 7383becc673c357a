#!/usr/bin/env bash
# Signs a release for the update server with minisign: FOLDER/firmware.txt, FOLDER/lastfw.bin and
# the user's copy (the file in FOLDER named like the end of firmware.txt's second field, or COPY),
# each with the trusted comment "version=<first field>", next to each file as FILE.minisig.
# Usage: sign-release.sh [-s SECRET_KEY] FOLDER [COPY]   (minisign's default key without -s)
set -euo pipefail

key=()
if [ "${1:-}" = -s ]; then
    key=(-s "$2")
    shift 2
fi
if [ $# -lt 1 ] || [ $# -gt 2 ]; then
    echo "Aufruf: $0 [-s GEHEIMER_SCHLÜSSEL] ORDNER [KOPIE]" >&2
    exit 2
fi
folder="$1"
command -v minisign >/dev/null || { echo "minisign fehlt (apt-get install minisign)" >&2; exit 1; }
for f in firmware.txt lastfw.bin; do
    [ -f "$folder/$f" ] || { echo "$folder/$f fehlt" >&2; exit 1; }
done

# The fields are separated by commas or line ends; blanks, quotes and a CR around them go.
field() {
    tr '\r' '\n' <"$folder/firmware.txt" | tr ',' '\n' | sed 's/^[[:space:]]*//; s/"//g' |
        grep -v '^$' | sed -n "${1}p"
}
version="$(field 1)"
[ -n "$version" ] || { echo "$folder/firmware.txt nennt keine Version" >&2; exit 1; }
copy="${2:-$folder/$(basename "$(field 2 | sed 's/[?#].*//')")}"

files=("$folder/firmware.txt" "$folder/lastfw.bin")
if [ -f "$copy" ] && [ "$(realpath "$copy")" != "$(realpath "$folder/lastfw.bin")" ]; then
    files+=("$copy")
elif [ ! -f "$copy" ]; then
    echo "Kopie $copy nicht gefunden: nur firmware.txt und lastfw.bin werden signiert" >&2
fi
for f in "${files[@]}"; do
    minisign -S "${key[@]}" -m "$f" -t "version=$version"
    echo "signiert: $f.minisig (version=$version)"
done

#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR and checks what a user gets: the installed tree
# with each package's copyright and changelog, the desktop entries and metainfo (both validators
# must pass without a warning), the English and German man pages, which must render without a
# complaint and describe every option --help prints.
# Usage: check-install.sh BUILD_DIR SOURCE_DIR
set -uo pipefail

build="$1"
source="$2"
root="$(mktemp -d)"
trap 'rm -rf "$root"' EXIT
failures=0
fail() { echo "FEHLER: $*" >&2; failures=$((failures + 1)); }

if ! DESTDIR="$root" cmake --install "$build" --prefix /usr >"$root.log" 2>&1; then
    cat "$root.log" >&2; rm -f "$root.log"; exit 1
fi
rm -f "$root.log"
usr="$root/usr"

programs=(iveva-configurator iveva-flasher iveva-gauge-sim)
ids=(de.rozid.IvevaConfigurator de.rozid.IvevaFlasher)

# The English page and its German original, as "language folder" pairs.
pages=("en man1" "de de/man1")

for p in "${programs[@]}"; do
    [ -x "$usr/bin/$p" ] || fail "bin/$p fehlt"
done
[ -s "$usr/share/doc/iveva-tools/README.md" ] || fail "doc/iveva-tools/README.md fehlt"
for package in iveva-tools iveva-gauge-sim; do
    doc="$usr/share/doc/$package"
    grep -q '^License: GPL-3.0+' "$doc/copyright" 2>/dev/null || fail "doc/$package/copyright fehlt"
    gzip -t "$doc/changelog.gz" 2>/dev/null || fail "doc/$package/changelog.gz fehlt"
done
newest="$(grep -m1 -oE '^## [0-9.]+' "$source/CHANGELOG.md" | cut -c4-)"
[[ "$(zcat "$usr/share/doc/iveva-tools/changelog.gz" | sed -n 1p)" == "iveva-tools ($newest) "* ]] ||
    fail "changelog.gz beginnt nicht mit $newest, der neuesten Version aus CHANGELOG.md"

for id in "${ids[@]}"; do
    desktop="$usr/share/applications/$id.desktop"
    metainfo="$usr/share/metainfo/$id.metainfo.xml"
    [ -s "$usr/share/icons/hicolor/scalable/apps/$id.svg" ] || fail "Symbol $id.svg fehlt"
    grep -qx "Icon=$id" "$desktop" || fail "$id.desktop nennt sein Symbol nicht"
    desktop-file-validate "$desktop" || fail "desktop-file-validate $id.desktop"
    # Pedantic, apart from the capitals the reverse-DNS ids have had since the first release.
    appstreamcli validate --pedantic --no-net "$metainfo" 2>&1 |
        grep -vE 'cid-contains-uppercase-letter|^$|^(✔|Validation)' >"$root/as.log"
    [ -s "$root/as.log" ] &&
        { cat "$root/as.log" >&2; fail "appstreamcli validate --pedantic $id.metainfo.xml"; }
    grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
        fail "$id.metainfo.xml startet nicht $id.desktop"
    # The entry's StartupWMClass is the name the program gives itself; both come from one
    # place only if the program's binary is the one Exec names.
    exec_name="$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")"
    grep -qx "StartupWMClass=$exec_name" "$desktop" || fail "$id.desktop: StartupWMClass"
    [ -x "$usr/bin/$exec_name" ] || fail "$id.desktop startet $exec_name, das fehlt"
done

for p in "${programs[@]}"; do
    help="$("$usr/bin/$p" --help 2>&1)" || fail "$p --help endet nicht mit 0"
    # --help-all is Qt's alias of --help. A page may list more: options on their way into --help.
    options="$(grep -oE '^ +(-[a-z?], )?--[a-z][a-z-]*' <<<"$help" | grep -oE -- '--[a-z][a-z-]*' |
        grep -vx -- --help-all)"
    [ -n "$options" ] || fail "$p --help listet keine Optionen"
    statuses="$(sed -n '/^Exit-Status:/,$s/^  \([0-9]\+\)  .*/\1/p' <<<"$help")"
    for entry in "${pages[@]}"; do
        read -r language folder <<<"$entry"
        page="$usr/share/man/$folder/$p.1.gz"
        name="$folder/$p.1 ($language)"
        [ -s "$page" ] || { fail "$name fehlt"; continue; }
        zgrep -q '@[A-Z_]*@' "$page" && fail "$name enthält einen nicht ersetzten Platzhalter"
        for locale in C C.UTF-8; do
            complaints="$(LC_ALL=$locale MANWIDTH=80 man -l "$page" 2>&1 >/dev/null)"
            [ -z "$complaints" ] || fail "man -l $name ($locale): $complaints"
        done
        documented="$(zcat "$page" | sed 's/\\-/-/g')"
        for option in $options; do
            grep -qE -- "(^|[^a-z-])$option([^a-z-]|\$)" <<<"$documented" ||
                fail "$name beschreibt $option nicht ($p --help nennt es)"
        done
        # Every exit status --help names is in the page's EXIT STATUS (EXIT-STATUS) section too.
        page_statuses="$(sed -n '/^\.SH EXIT[ -]STATUS/,/^\.SH /p' <<<"$documented")"
        for status in $statuses; do
            grep -qE "(^|[^0-9])$status([^0-9]|\$)" <<<"$page_statuses" ||
                fail "$name nennt den Exit-Status $status nicht ($p --help nennt ihn)"
        done
    done
done

# Started from the menu, the working folder is the user's home: the installed configurator's
# window keeps port.dll and configs.eep in the user's data folder and leaves the folder it was
# started in alone.
home="$root/home"
started="$root/started"
data="$home/.local/share/ROZID/iveva-configurator"
mkdir -p "$home" "$started"
(cd "$started" && exec env HOME="$home" XDG_DATA_HOME="$home/.local/share" \
    "$usr/bin/iveva-configurator" >/dev/null 2>&1) &
window=$!
for _ in $(seq 150); do [ -e "$data/port.dll" ] && break; sleep 0.2; done
kill "$window" 2>/dev/null
wait "$window" 2>/dev/null
[ -e "$data/port.dll" ] || fail "Konfigurator-Fenster: port.dll nicht in $data"
[ -z "$(ls -A "$started")" ] || fail "Konfigurator-Fenster schreibt in den Startordner: $(ls -A "$started")"

[ "$failures" -eq 0 ] || { echo "$failures Fehler" >&2; exit 1; }
echo "Installation geprüft: ${#programs[@]} Programme, ${#ids[@]} Desktop-Einträge"

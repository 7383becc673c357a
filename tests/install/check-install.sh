#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR and checks what a user gets: the installed tree,
# the desktop entries and metainfo (both validators must pass without a warning), man pages
# that render without a complaint, and a man page entry for every option --help prints.
# Usage: check-install.sh BUILD_DIR SOURCE_DIR
set -uo pipefail

build="$1"
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

for p in "${programs[@]}"; do
    [ -x "$usr/bin/$p" ] || fail "bin/$p fehlt"
    [ -s "$usr/share/man/man1/$p.1" ] || fail "man1/$p.1 fehlt"
done
for f in README.md CHANGELOG.md; do
    [ -s "$usr/share/doc/iveva-tools/$f" ] || fail "doc/iveva-tools/$f fehlt"
done

for id in "${ids[@]}"; do
    desktop="$usr/share/applications/$id.desktop"
    metainfo="$usr/share/metainfo/$id.metainfo.xml"
    [ -s "$usr/share/icons/hicolor/scalable/apps/$id.svg" ] || fail "Symbol $id.svg fehlt"
    grep -qx "Icon=$id" "$desktop" || fail "$id.desktop nennt sein Symbol nicht"
    desktop-file-validate "$desktop" || fail "desktop-file-validate $id.desktop"
    appstreamcli validate --no-net "$metainfo" >"$root/as.log" 2>&1 ||
        { cat "$root/as.log" >&2; fail "appstreamcli validate $id.metainfo.xml"; }
    grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
        fail "$id.metainfo.xml startet nicht $id.desktop"
    # The entry's StartupWMClass is the name the program gives itself; both come from one
    # place only if the program's binary is the one Exec names.
    exec_name="$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")"
    grep -qx "StartupWMClass=$exec_name" "$desktop" || fail "$id.desktop: StartupWMClass"
    [ -x "$usr/bin/$exec_name" ] || fail "$id.desktop startet $exec_name, das fehlt"
done

for p in "${programs[@]}"; do
    page="$usr/share/man/man1/$p.1"
    grep -q '@[A-Z_]*@' "$page" && fail "$p.1 enthält einen nicht ersetzten Platzhalter"
    for locale in C C.UTF-8; do
        complaints="$(LC_ALL=$locale MANWIDTH=80 man -l "$page" 2>&1 >/dev/null)"
        [ -z "$complaints" ] || fail "man -l $p.1 ($locale): $complaints"
    done
    # Every option the program lists must be in its man page (--help-all is Qt's alias of
    # --help). The page may list more: options still on their way into --help.
    documented="$(sed 's/\\-/-/g' "$page")"
    help="$("$usr/bin/$p" --help 2>&1)" || fail "$p --help endet nicht mit 0"
    options="$(grep -oE '^ +(-[a-z?], )?--[a-z][a-z-]*' <<<"$help" | grep -oE -- '--[a-z][a-z-]*')"
    [ -n "$options" ] || fail "$p --help listet keine Optionen"
    for option in $options; do
        [ "$option" = --help-all ] && continue
        grep -qE -- "(^|[^a-z-])$option([^a-z-]|\$)" <<<"$documented" ||
            fail "$p.1 beschreibt $option nicht"
    done
    # Every exit status --help names is in the page's EXIT-STATUS section too.
    page_statuses="$(sed -n '/^\.SH EXIT-STATUS/,/^\.SH /p' "$page")"
    for status in $(sed -n '/^Exit-Status:/,$s/^  \([0-9]\+\)  .*/\1/p' <<<"$help"); do
        grep -qE "(^|[^0-9])$status([^0-9]|\$)" <<<"$page_statuses" ||
            fail "$p.1 nennt den Exit-Status $status nicht"
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

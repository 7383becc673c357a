#!/usr/bin/env bash
# Builds everything and starts the flasher (iveva-flasher). With IVEVA_PORT_DIR set, the flasher
# uses the ports in that folder (a real gauge); otherwise a gauge simulator runs as COM1 in a
# private port folder until the flasher ends. Without a display, the flasher cannot show its
# window: without arguments it then uploads a small demo EEPROM file into a simulator in batch
# mode instead. Arguments are passed on to iveva-flasher (e.g. --help, or a batch command).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
iveva_build

work="$(mktemp -d "${TMPDIR:-/tmp}/iveva-flasher.XXXXXX")"
cleanup() {
    iveva_stop_simulator
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

if ! iveva_has_display && [ $# -eq 0 ]; then
    echo "Keine Anzeige (DISPLAY und WAYLAND_DISPLAY sind leer): das Fenster kann nicht starten."
    echo "Stattdessen lädt der Flasher ohne Fenster eine kleine EEPROM-Demodatei in den Simulator."
    iveva_start_simulator "$work"
    printf '\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f\x10\x11\x12\x13\x14\x15' \
        >"$work/demo.eep"
    status=0
    "$IVEVA_BUILD/bin/iveva-flasher" --eeprom "$work/demo.eep" --port 1 || status=$?
    sleep 0.2
    cat "$work/sim.log"
    exit "$status"
fi

if [ -z "${IVEVA_PORT_DIR:-}" ]; then
    iveva_start_simulator "$work"
    echo "Kein Gerät angegeben: der Simulator spielt das Gerät an COM1 ($IVEVA_PORT_DIR)."
fi
status=0
"$IVEVA_BUILD/bin/iveva-flasher" "$@" || status=$?
exit "$status"

#!/usr/bin/env bash
# Builds everything and starts the flasher (iveva-flasher). With IVEVA_PORT_DIR set, the flasher
# uses the ports in that folder (a real gauge); otherwise a gauge simulator runs as COM1 in a
# private port folder until the flasher ends. Without a display, the flasher cannot show its
# window: it then uploads a small demo EEPROM file into a simulator in batch mode instead.
# Arguments are passed on to iveva-flasher (e.g. --help, or a batch command).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
iveva_build

work="$(mktemp -d)"
sim_pid=""
cleanup() {
    if [ -n "$sim_pid" ]; then
        kill "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

start_simulator() {
    mkdir -p "$work/ports" "$work/gauge"
    export IVEVA_PORT_DIR="$work/ports"
    "$IVEVA_BUILD/bin/iveva-gauge-sim" --port-dir "$IVEVA_PORT_DIR" --com 1 \
        --store "$work/gauge" >"$work/sim.log" 2>&1 &
    sim_pid=$!
    for _ in $(seq 100); do
        [ -e "$IVEVA_PORT_DIR/COM1" ] && break
        kill -0 "$sim_pid" 2>/dev/null || { cat "$work/sim.log" >&2; exit 1; }
        sleep 0.05
    done
    echo "Kein Gerät angegeben: der Simulator spielt das Gerät an COM1 ($IVEVA_PORT_DIR)."
}

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "Keine Anzeige (DISPLAY und WAYLAND_DISPLAY sind leer): das Fenster kann nicht starten."
    echo "Stattdessen lädt der Flasher ohne Fenster eine kleine EEPROM-Demodatei in den Simulator."
    start_simulator
    printf '\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f\x10\x11\x12\x13\x14\x15' \
        >"$work/demo.eep"
    status=0
    "$IVEVA_BUILD/bin/iveva-flasher" --eeprom "$work/demo.eep" --port 1 || status=$?
    sleep 0.2
    cat "$work/sim.log"
    exit "$status"
fi

[ -n "${IVEVA_PORT_DIR:-}" ] || start_simulator
status=0
"$IVEVA_BUILD/bin/iveva-flasher" "$@" || status=$?
exit "$status"

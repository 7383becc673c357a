#!/usr/bin/env bash
# Builds everything and starts the configurator window.
#
# Without a gauge (IVEVA_PORT_DIR not set) the gauge simulator plays the gauge as COM1 in a
# private port folder, and the configurator runs in a private working folder whose port.dll
# already names COM1: search, choose the port and upload without hardware.
# With a gauge, set IVEVA_PORT_DIR to a folder whose COMn entries link to the serial devices;
# the configurator then runs in the current folder with its port.dll.
# Without a display the main job runs headless instead: --upload of the default settings.
# Further arguments go to iveva-configurator.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
iveva_build

configurator="$IVEVA_BUILD/bin/iveva-configurator"
scratch=""
cleanup() {
    iveva_stop_simulator
    [ -z "$scratch" ] || rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

if [ -z "${IVEVA_PORT_DIR:-}" ]; then
    scratch="$(mktemp -d "${TMPDIR:-/tmp}/iveva-configurator.XXXXXX")"
    iveva_start_simulator "$scratch"
    mkdir -p "$scratch/work"
    cd "$scratch/work"
    printf '\001' > port.dll # COM1, so the port is ready for the upload
    echo "Ohne Gerät: der Simulator spielt das Gerät an COM1 (Portordner $IVEVA_PORT_DIR)."
fi

if ! iveva_has_display; then
    echo "Keine Anzeige (DISPLAY und WAYLAND_DISPLAY leer): das Fenster kann nicht erscheinen."
    echo "Stattdessen ohne Fenster: die Grundeinstellungen hochladen (iveva-configurator --upload)."
    "$configurator" --upload "$@"
    exit $?
fi

"$configurator" "$@"

#!/usr/bin/env bash
# Installs what the build needs (Debian 12 packages) when it is missing, then configures and
# builds everything into build/ (build-clang/ with CXX=clang++). Sourced by the run and test
# scripts.
set -euo pipefail

IVEVA_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

iveva_packages=(qt6-base-dev qt6-serialport-dev cmake g++ ninja-build lrzsz fonts-dejavu-core
    qt6-translations-l10n libqt6svg6 desktop-file-utils appstream man-db libsodium-dev pkg-config)

# The compiler is g++ unless CXX names another: CXX=clang++ builds with Clang into build-clang/,
# so both builds can stand side by side.
case "$(basename "${CXX:-g++}")" in
clang++*)
    iveva_packages+=(clang)
    IVEVA_BUILD="${IVEVA_BUILD:-$IVEVA_ROOT/build-clang}"
    ;;
*)
    IVEVA_BUILD="${IVEVA_BUILD:-$IVEVA_ROOT/build}"
    ;;
esac

iveva_install_missing() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installiere fehlende Pakete: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

iveva_build() {
    iveva_install_missing "${iveva_packages[@]}"
    cmake -S "$IVEVA_ROOT" -B "$IVEVA_BUILD" -G Ninja
    cmake --build "$IVEVA_BUILD"
}

# Starts the gauge simulator as COM1 in the port folder <folder>/ports, keeping what it receives
# in <folder>/gauge and its messages in <folder>/sim.log, and points IVEVA_PORT_DIR at it.
# iveva_stop_simulator ends it (the scripts call it on exit).
IVEVA_SIM_PID=""
iveva_start_simulator() {
    local folder="$1"
    mkdir -p "$folder/ports" "$folder/gauge"
    export IVEVA_PORT_DIR="$folder/ports"
    "$IVEVA_BUILD/bin/iveva-gauge-sim" --port-dir "$IVEVA_PORT_DIR" --com 1 \
        --store "$folder/gauge" >"$folder/sim.log" 2>&1 &
    IVEVA_SIM_PID=$!
    for _ in $(seq 100); do
        [ -e "$IVEVA_PORT_DIR/COM1" ] && return 0
        kill -0 "$IVEVA_SIM_PID" 2>/dev/null || break
        sleep 0.05
    done
    echo "Der Simulator ließ sich nicht starten:" >&2
    cat "$folder/sim.log" >&2
    exit 1
}

iveva_stop_simulator() {
    [ -n "$IVEVA_SIM_PID" ] || return 0
    kill "$IVEVA_SIM_PID" 2>/dev/null || true
    wait "$IVEVA_SIM_PID" 2>/dev/null || true
    IVEVA_SIM_PID=""
}

iveva_has_display() {
    [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]
}

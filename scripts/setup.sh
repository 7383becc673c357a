#!/usr/bin/env bash
# Installs what the build needs (Debian 12 packages) when it is missing, then configures and
# builds everything into build/. Sourced by the run and test scripts.
set -euo pipefail

IVEVA_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
IVEVA_BUILD="${IVEVA_BUILD:-$IVEVA_ROOT/build}"

iveva_packages=(qt6-base-dev qt6-serialport-dev cmake g++ ninja-build lrzsz fonts-dejavu-core
    qt6-translations-l10n)

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

#!/usr/bin/env bash
# Builds everything and starts the gauge simulator as COM1 in the port folder ./ports
# (or $IVEVA_PORT_DIR). Point the programs at it with IVEVA_PORT_DIR=<that folder>.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
iveva_build
export IVEVA_PORT_DIR="${IVEVA_PORT_DIR:-$IVEVA_ROOT/ports}"
mkdir -p "$IVEVA_PORT_DIR"
exec "$IVEVA_BUILD/bin/iveva-gauge-sim" --port-dir "$IVEVA_PORT_DIR" --com 1 "$@"

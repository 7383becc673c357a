#!/usr/bin/env bash
# Builds everything and runs the device-link benchmark (about a minute); "endtoend" runs only
# the real iveva-flasher against lrzsz sx, "window" only the update window's figures.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
iveva_build
exec "$IVEVA_BUILD/bin/iveva-devicelink-bench" "$@"

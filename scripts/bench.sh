#!/usr/bin/env bash
# Builds everything and runs the device-link benchmark (about 40 seconds).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
iveva_build
exec "$IVEVA_BUILD/bin/iveva-devicelink-bench" "$@"

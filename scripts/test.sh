#!/usr/bin/env bash
# Builds everything and runs every test through CTest.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
iveva_build
# No test may need a display, and none may open a real serial device.
export QT_QPA_PLATFORM=offscreen
cd "$IVEVA_BUILD"
ctest --output-on-failure -j "$(nproc)" "$@"

#!/usr/bin/env bash
# Builds Talvex and runs it (installs missing Debian packages first).
# Arguments are passed on to talvex, e.g. `scripts/run.sh filter in.png out.png`.
set -euo pipefail
source "$(dirname "$0")/common.sh"
"$TALVEX_ROOT/scripts/install-deps.sh"
configure_and_build "$TALVEX_ROOT/build" -DTALVEX_BUILD_TESTS=OFF -DTALVEX_BUILD_BENCH=OFF
exec "$TALVEX_ROOT/build/src/talvex" "$@"

#!/usr/bin/env bash
# Builds talvex and the soak, then churns beneath and around a running panel on a
# private Xvfb with openbox. Arguments go to the soak, e.g. `scripts/soak.sh --seconds 120`.
# A benchmark, not a test: it takes ten minutes by default.
set -euo pipefail
source "$(dirname "$0")/common.sh"
"$TALVEX_ROOT/scripts/install-deps.sh"

build="$TALVEX_ROOT/build-soak"
cmake -S "$TALVEX_ROOT" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$JOBS" --target talvex soak
# A screen of its own, never the desktop the script is started from: without DISPLAY,
# run_with_display starts a private Xvfb. The load average goes with the results.
unset DISPLAY
uptime
run_with_display "$build/bench/soak" --window-manager openbox "$@" "$build/src/talvex"

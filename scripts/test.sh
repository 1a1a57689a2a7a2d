#!/usr/bin/env bash
# Builds Talvex with its tests and runs them under X (a private Xvfb when there is no
# display), installing missing Debian packages first. With --sanitizers it then runs
# the suite again in an ASan/UBSan build and the capture-and-draw tests under TSan.
set -euo pipefail
source "$(dirname "$0")/common.sh"
"$TALVEX_ROOT/scripts/install-deps.sh"

sanitizers=0
[ "${1:-}" = "--sanitizers" ] && sanitizers=1

build="$TALVEX_ROOT/build-test"
configure_and_build "$build"
# One test at a time: display tests share one X server (pointer, stacking, focus).
run_with_display ctest --test-dir "$build" --output-on-failure

if [ "$sanitizers" = 1 ]; then
  # The whole suite again with ASan, LeakSanitizer and UBSan (any finding fails the
  # test), one test at a time for the same reason as above. Mesa loads its driver with
  # dlopen and unloads it before the leak check runs: whatever the driver's globals
  # held would then look leaked, from code no longer mapped. Preloading it keeps it
  # mapped (ASan need not come first for that: the programs link it themselves).
  configure_and_build "$TALVEX_ROOT/build-asan" -DTALVEX_SANITIZE=address -DTALVEX_BUILD_BENCH=OFF
  gl_driver="$(ls /usr/lib/*/dri/swrast_dri.so 2>/dev/null | head -n 1)"
  LD_PRELOAD="$gl_driver" ASAN_OPTIONS=detect_leaks=1:verify_asan_link_order=0 \
    LSAN_OPTIONS="suppressions=$TALVEX_ROOT/tests/lsan.supp:print_suppressions=0" \
    UBSAN_OPTIONS=print_stacktrace=1 run_with_display ctest --test-dir "$TALVEX_ROOT/build-asan" --output-on-failure

  # TSan runs only the suites named ...Threaded; they live in these three programs, so
  # the others are not built. --no-tests=error: a renamed suite must not turn this
  # phase into a silent pass.
  tsan="$TALVEX_ROOT/build-tsan"
  cmake -S "$TALVEX_ROOT" -B "$tsan" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTALVEX_SANITIZE=thread -DTALVEX_BUILD_BENCH=OFF >/dev/null
  cmake --build "$tsan" -j"$JOBS" --target test_platform test_app test_render
  TSAN_OPTIONS="halt_on_error=1 suppressions=$TALVEX_ROOT/tests/tsan.supp" \
    run_with_display ctest --test-dir "$tsan" --output-on-failure --no-tests=error \
    -R "Threaded\."
fi

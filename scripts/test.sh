#!/usr/bin/env bash
# Builds Talvex with its tests and runs them under X (a private Xvfb when there is no
# display), installing missing Debian packages first. With --sanitizers it then runs
# the suite again in an ASan/UBSan build and the capture-and-draw tests under TSan.
set -euo pipefail
source "$(dirname "$0")/common.sh"
"$TALVEX_ROOT/scripts/install-deps.sh"
# The lens is checked on headless compositors too: GNOME Shell (tests/gnome) and KWin
# (tests/kwin), the current generations in a cached Debian 13 chroot.
"$TALVEX_ROOT/scripts/install-gnome-deps.sh"
"$TALVEX_ROOT/scripts/install-kwin-deps.sh"

sanitizers=0
[ "${1:-}" = "--sanitizers" ] && sanitizers=1

# phase NAME CMD...: runs CMD and reports how long it took.
phase() {
  local name="$1" start=$SECONDS
  shift
  "$@"
  echo "-- $name: $((SECONDS - start)) s"
}

# Line tables only: enough for backtraces and sanitizer reports, and a third less
# compile time than full debug information. (The sanitizer builds add -O1 themselves.)
lines_only=(-DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG")

# The sources keep the project's format (.clang-format at the root); checked in a git
# checkout, where the list of sources is known.
if git -C "$TALVEX_ROOT" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  (cd "$TALVEX_ROOT" && git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror) ||
    { echo "Some sources are not formatted: run clang-format -i on them." >&2; exit 1; }
  # Only these files live at the root; anything else there is a stray (a redirection
  # gone wrong leaves a file named after its target).
  stray="$(cd "$TALVEX_ROOT" && git ls-files | grep -v / |
    grep -vxE '\.clang-format|\.gitignore|CMakeLists\.txt|README\.md' || true)"
  [ -z "$stray" ] || { echo "Stray files at the repository root: $stray" >&2; exit 1; }
  # Xlib stays in the X11 platform sources (and the GLX context).
  xlib="$(cd "$TALVEX_ROOT" && git grep -lE '#include <X11/' -- src ':!src/platform/x11' \
    ':!src/platform/gl' || true)"
  [ -z "$xlib" ] || { echo "X11 headers outside src/platform/x11: $xlib" >&2; exit 1; }
fi

build="$TALVEX_ROOT/build-test"
phase "plain build" configure_and_build "$build" "${lines_only[@]}"
# One test at a time: display tests share one X server (pointer, stacking, focus).
phase "plain tests" run_with_display ctest --test-dir "$build" --output-on-failure

if [ "$sanitizers" = 1 ]; then
  # The whole suite again with ASan, LeakSanitizer and UBSan (any finding fails the
  # test), one test at a time for the same reason as above. Only what the tests run is
  # built: the test programs, their helper tool and the application (the shell tests
  # start it), not the benchmarks. Mesa loads its driver with dlopen and unloads it
  # before the leak check runs: whatever the driver's globals held would then look
  # leaked, from code no longer mapped. Preloading it keeps it mapped (ASan need not
  # come first for that: the programs link it themselves).
  asan="$TALVEX_ROOT/build-asan"
  configure "$asan" "${lines_only[@]}" -DTALVEX_SANITIZE=address -DTALVEX_BUILD_BENCH=OFF
  phase "ASan build" cmake --build "$asan" -j"$JOBS"
  gl_driver="$(ls /usr/lib/*/dri/swrast_dri.so 2>/dev/null | head -n 1)"
  LD_PRELOAD="$gl_driver" ASAN_OPTIONS=detect_leaks=1:verify_asan_link_order=0 \
    LSAN_OPTIONS="suppressions=$TALVEX_ROOT/tests/lsan.supp:print_suppressions=0" \
    UBSAN_OPTIONS=print_stacktrace=1 phase "ASan tests" run_with_display ctest --test-dir "$asan" --output-on-failure

  # TSan runs only the suites named ...Threaded; a TSan tree builds them as one program
  # (test_threaded) and nothing else. --no-tests=error: a renamed suite must not turn
  # this phase into a silent pass.
  tsan="$TALVEX_ROOT/build-tsan"
  configure "$tsan" "${lines_only[@]}" -DTALVEX_SANITIZE=thread -DTALVEX_BUILD_BENCH=OFF
  phase "TSan build" cmake --build "$tsan" -j"$JOBS" --target test_threaded
  TSAN_OPTIONS="halt_on_error=1 suppressions=$TALVEX_ROOT/tests/tsan.supp" \
    phase "TSan tests" run_with_display ctest --test-dir "$tsan" --output-on-failure \
    --no-tests=error -R "Threaded\."
fi

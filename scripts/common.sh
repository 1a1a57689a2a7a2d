# Shared by the build and test scripts: where the sources are and how to build.
TALVEX_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
JOBS="$(nproc 2>/dev/null || echo 2)"

# configure_and_build BUILD_DIR [cmake options...]
configure_and_build() {
  local dir="$1"; shift
  cmake -S "$TALVEX_ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j"$JOBS"
}

# run_with_display CMD...: runs CMD on the current X server, or on a private Xvfb
# (1920x1080, depth 24, Composite and MIT-SHM on) when there is none.
run_with_display() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    "$@"
  else
    xvfb-run -a -s "-screen 0 1920x1080x24 +extension Composite -nolisten tcp" "$@"
  fi
}

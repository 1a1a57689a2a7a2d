# Shared by the build and test scripts: where the sources are and how to build.
TALVEX_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
JOBS="$(nproc 2>/dev/null || echo 2)"

# configure BUILD_DIR [cmake options...]: configures BUILD_DIR with
# Ninja (it keeps both cores busy across targets, where make waits for each library);
# a tree configured earlier with another generator is started afresh.
configure() {
  local dir="$1"; shift
  if [ -f "$dir/CMakeCache.txt" ] && ! grep -q '^CMAKE_GENERATOR:INTERNAL=Ninja$' "$dir/CMakeCache.txt"; then
    rm -rf "$dir"
  fi
  cmake -S "$TALVEX_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
}

# configure_and_build BUILD_DIR [cmake options...]
configure_and_build() {
  configure "$@"
  cmake --build "$1" -j"$JOBS"
}

# run_with_display CMD...: runs CMD on the current X server, or on a private Xvfb
# (1920x1080, depth 24, Composite and MIT-SHM on) when there is none. The private
# server picks a free display number itself (-displayfd), so parallel runs never meet.
run_with_display() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    "$@"
    return
  fi
  local fifo status
  fifo="$(mktemp -u)"
  mkfifo "$fifo"
  # -noreset: a test that opens and closes the only connection must not reset the
  # server under the next client.
  Xvfb -displayfd 3 -noreset -screen 0 1920x1080x24 +extension Composite -nolisten tcp \
    3>"$fifo" \
    >/dev/null 2>&1 &
  local xvfb=$!
  local number
  read -r number <"$fifo"
  rm -f "$fifo"
  status=0
  DISPLAY=":$number" "$@" || status=$?
  kill "$xvfb" 2>/dev/null
  wait "$xvfb" 2>/dev/null || true
  return "$status"
}

# install_missing PACKAGE...: installs those of the Debian packages that are missing, in
# one non-interactive apt-get; nothing when all are present.
install_missing() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

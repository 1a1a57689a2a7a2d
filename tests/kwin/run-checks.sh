#!/usr/bin/env bash
# run-checks.sh BUILD_DIR wayland|x11: builds the KWin effect for that session's KWin
# into BUILD_DIR/kwin-effect-SESSION and runs check-lens.sh on it, with the program
# BUILD_DIR/src/talvex for the reference stripes:
#   wayland  KWin 5.27 of this machine (kwin-dev);
#   x11      KWin 6 of the Debian 13 chroot, which is made (once, some minutes) and
#            given its packages here when missing.
# Exit status: check-lens.sh's; 77 when that KWin is not to be had here.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(realpath "$here/../..")"
build="$(realpath "$1")"
session="$2"
out="$build/kwin-effect-$session"

[ -x "$build/src/talvex" ] || { echo "the program is not built in $build"; exit 77; }
if [ "$session" = x11 ]; then
  chroot_script="$root/scripts/debian13-chroot.sh"
  "$chroot_script" install g++ cmake ninja-build extra-cmake-modules qt6-base-dev qt6-declarative-dev \
    kwin-dev kwin-x11 xvfb x11-utils imagemagick python3-dbus libglib2.0-bin dbus-daemon ||
    { echo "no Debian 13 chroot here"; exit 77; }
  binds=(--bind "$root")
  case "$out" in "$root"/*) ;; *) mkdir -p "$out"; binds+=(--bind "$out") ;; esac
  "$chroot_script" run "${binds[@]}" -- sh -c \
    "cmake -S '$root/kwin' -B '$out' -G Ninja >/dev/null && cmake --build '$out' -j2 >/dev/null"
else
  [ -d /usr/lib/x86_64-linux-gnu/cmake/KWinEffects ] || [ -n "$(find /usr/lib -maxdepth 3 -name KWinEffectsConfig.cmake -print -quit)" ] ||
    { echo "kwin-dev is not installed"; exit 77; }
  cmake -S "$root/kwin" -B "$out" -G Ninja >/dev/null
  cmake --build "$out" -j2 >/dev/null
fi
exec "$here/check-lens.sh" "$out/plugins" "$build/src/talvex" "$session"

#!/usr/bin/env bash
# run-checks.sh BUILD_DIR wayland|x11: builds the KWin effect for that session's KWin
# into BUILD_DIR/kwin-effect-SESSION and runs check-lens.sh on it, with the program
# BUILD_DIR/src/talvex for the reference stripes:
#   wayland  KWin 5.27 of this machine (kwin-dev);
#   x11      KWin 6 of the Debian 13 chroot (scripts/install-kwin-deps.sh makes it).
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
  chroot_dir="$("$chroot_script" path)"
  [ -x "$chroot_dir/usr/bin/kwin_x11" ] && [ -d "$chroot_dir/usr/lib/x86_64-linux-gnu/cmake/KWin" ] ||
    { echo "no Debian 13 chroot with KWin 6 here (scripts/install-kwin-deps.sh makes it)"; exit 77; }
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
# The clicks of the KWin 5.27 checks, through KWin's fake input protocol.
protocol=/usr/share/plasma-wayland-protocols/fake-input.xml
if [ "$session" = wayland ] && [ -f "$protocol" ] && command -v wayland-scanner >/dev/null; then
  wayland-scanner client-header "$protocol" "$out/fake-input-client-protocol.h"
  wayland-scanner private-code "$protocol" "$out/fake-input-protocol.c"
  cc -Wall -Wextra -I"$out" -o "$out/fake-click" "$here/fake-click.c" "$out/fake-input-protocol.c" \
    -lwayland-client && export TALVEX_FAKE_CLICK="$out/fake-click"
fi
exec "$here/check-lens.sh" "$out/plugins" "$build/src/talvex" "$session"

#!/usr/bin/env bash
# check-lens-debian13.sh SOURCE_DIR BUILD_DIR: the checks of check-lens.sh on the current
# GNOME Shell (48, Debian 13), in the cached Debian 13 chroot (scripts/debian13-chroot.sh):
#   1. the chroot is made if missing and given what building and the session need;
#   2. the program and the extension are built there (Qt 6.8), in BUILD_DIR/debian13;
#   3. check-lens.sh runs there against that build, with the module form.
# Exit 0 when all hold, 1 on a failure, 77 when the chroot or the shell cannot be had here.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source="$(realpath "$1")"
build="$(realpath -m "$2")/debian13"
chroot_script="$source/scripts/debian13-chroot.sh"

[ "$(id -u)" -eq 0 ] || { echo "the Debian 13 chroot needs root"; exit 77; }
unshare --mount true 2>/dev/null || { echo "no mount namespaces here"; exit 77; }

packages=(
  # building the program (Qt 6.8's OpenGL widgets come with qt6-base-dev)
  cmake ninja-build g++ make pkg-config qt6-base-dev qt6-base-dev-tools qt6-l10n-tools
  qt6-qpa-plugins help2man gzip libx11-dev libxext-dev libxcomposite-dev libxrender-dev
  libxrandr-dev libxfixes-dev libxdamage-dev libxi-dev libxtst-dev libx11-xcb-dev libgl-dev
  libegl-dev libgl1-mesa-dri libegl-mesa0 libglx-mesa0 liblcms2-dev
  # the session and the checks
  gnome-shell xwayland gjs gir1.2-gtk-4.0 dbus-daemon libglib2.0-bin iproute2 util-linux
  imagemagick fonts-dejavu-core
)
"$chroot_script" install "${packages[@]}" || { echo "the Debian 13 chroot cannot be made here"; exit 77; }

mkdir -p "$build"
inside() { "$chroot_script" run --bind "$source" --bind "$build" -- "$@"; }
inside sh -c 'cmake -S "$1" -B "$2" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTALVEX_BUILD_TESTS=OFF -DTALVEX_BUILD_BENCH=OFF >/dev/null &&
  cmake --build "$2" -j2 --target talvex gnome_extension >/dev/null' sh "$source" "$build" ||
  { echo "FAIL: the program does not build on Debian 13"; exit 1; }
inside "$here/check-lens.sh" "$build"

#!/usr/bin/env bash
# Installs what the KWin effect and its checks (tests/kwin) need: KWin 5.27 with its
# headers on this machine, and a Debian 13 chroot with KWin 6 (scripts/debian13-chroot.sh,
# made once: some minutes cold, under a second warm). Does nothing when all is present.
set -euo pipefail
source "$(dirname "$0")/common.sh"

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
packages=(kwin-dev kwin-wayland xwayland gjs gir1.2-gtk-4.0 python3-dbus libglib2.0-bin dbus-daemon
  imagemagick x11-utils mmdebstrap plasma-wayland-protocols libwayland-dev libkf5globalaccel-dev)
chroot_packages=(g++ cmake ninja-build extra-cmake-modules qt6-base-dev qt6-declarative-dev kwin-dev libkf6globalaccel-dev
  kglobalacceld kwin-x11 xvfb x11-utils xdotool imagemagick python3-dbus libglib2.0-bin dbus-daemon)

install_missing "${packages[@]}"
"$here/debian13-chroot.sh" install "${chroot_packages[@]}"

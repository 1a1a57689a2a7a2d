#!/usr/bin/env bash
# Installs what the checks on a headless GNOME Shell need (tests/gnome): the shell with
# Xwayland, and gjs for the native Wayland test window; mmdebstrap for the Debian 13
# chroot of the checks on GNOME Shell 48 (scripts/debian13-chroot.sh). Does nothing when
# present.
set -euo pipefail
source "$(dirname "$0")/common.sh"

packages=(gnome-shell xwayland gjs gir1.2-gtk-4.0 dbus-daemon libglib2.0-bin iproute2 util-linux
  mmdebstrap)

install_missing "${packages[@]}"

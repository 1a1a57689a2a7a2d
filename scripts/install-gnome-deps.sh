#!/usr/bin/env bash
# Installs what the checks on a headless GNOME Shell need (tests/gnome): the shell with
# Xwayland, and gjs for the native Wayland test window; mmdebstrap for the Debian 13
# chroot of the checks on GNOME Shell 48 (scripts/debian13-chroot.sh). Does nothing when
# present.
set -euo pipefail

packages=(gnome-shell xwayland gjs gir1.2-gtk-4.0 dbus-daemon libglib2.0-bin iproute2 util-linux
  mmdebstrap)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

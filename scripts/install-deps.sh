#!/usr/bin/env bash
# Installs the Debian packages that building, running, testing and packaging Talvex need.
# Does nothing when they are all present; otherwise one non-interactive apt-get.
# --print: only prints their names (for installing them elsewhere, e.g. into a chroot).
set -euo pipefail
source "$(dirname "$0")/common.sh"

packages=(
  # toolchain
  cmake ninja-build g++ make pkg-config clang-format
  # toolkit and resources
  qt6-base-dev qt6-base-dev-tools qt6-l10n-tools qt6-qpa-plugins libqt6opengl6-dev
  # X11 and OpenGL
  libx11-dev libxext-dev libxcomposite-dev libxrender-dev libxrandr-dev libxfixes-dev libxdamage-dev libxi-dev libxtst-dev libx11-xcb-dev
  libgl-dev libegl-dev libgl1-mesa-dri libegl-mesa0 libglx-mesa0
  # colour science (the colour names)
  liblcms2-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth xdotool x11-utils openbox imagemagick fonts-dejavu-core
  # scripts/bench.sh: the medians of its runs
  python3
  # desktop integration (icons, manual page) and the Debian package with its checks
  help2man gzip appstream desktop-file-utils man-db dpkg-dev file lintian
)

if [ "${1:-}" = "--print" ]; then
  echo "${packages[*]}"
  exit 0
fi
install_missing "${packages[@]}"

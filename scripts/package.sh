#!/usr/bin/env bash
# Builds the Debian packages into build-package/, for each Debian release:
#   talvex_<version>+debNN_<arch>.deb            the program and the GNOME Shell extension
#   talvex-kwin-lens_<version>+debNN_<arch>.deb  the KWin effect, built for that release's
#                                                KWin and depending on exactly it
# Release builds without tests or benchmarks, with the distribution's hardening flags,
# packed by CPack. Then checks what the packages hold and, when lintian is installed,
# that it reports no errors. Installs missing Debian packages first.
#   scripts/package.sh          this machine's release, then Debian 13 in the Debian 13
#                               chroot (scripts/debian13-chroot.sh; needs root)
#   scripts/package.sh --host   this machine's release only
set -euo pipefail
source "$(dirname "$0")/common.sh"

out="$TALVEX_ROOT/build-package"

fail() {
  echo "package: $*" >&2
  exit 1
}

# deb12, deb13 (elsewhere e.g. ubuntu24.04): the release this machine (or chroot) runs.
release_tag() {
  local ID VERSION_ID
  ID="$(. /etc/os-release && echo "${ID:-}")"
  VERSION_ID="$(. /etc/os-release && echo "${VERSION_ID:-}")"
  if [ -z "$ID" ] || [ -z "$VERSION_ID" ]; then
    fail "/etc/os-release names no release"
  fi
  if [ "$ID" = debian ]; then
    echo "deb${VERSION_ID%%.*}"
  else
    echo "$ID$VERSION_ID"
  fi
}

# 5 or 6: the major version of the KWin this release has (installed, else available).
kwin_major() {
  local version
  version="$(dpkg-query -W -f='${Version}' kwin-dev 2>/dev/null || true)"
  [ -n "$version" ] ||
    version="$(apt-cache show --no-all-versions kwin-dev 2>/dev/null | sed -n 's/^Version: //p')"
  version="${version#*:}"
  [ -n "$version" ] || fail "no kwin-dev on this release"
  echo "${version%%.*}"
}

# What building the KWin effect needs: KWin 5 is built on Qt 5 and KF5, KWin 6 on Qt 6
# and KF6.
kwin_build_packages() {
  if [ "$1" = 5 ]; then
    echo kwin-dev libkf5globalaccel-dev extra-cmake-modules
  else
    echo kwin-dev libkf6globalaccel-dev qt6-declarative-dev extra-cmake-modules
  fi
}

# configure_release SOURCE BUILD [cmake options...]: a Release configuration with the
# hardening flags of dpkg-buildflags, installing under /usr.
configure_release() {
  local source="$1" build="$2"
  shift 2
  cmake -S "$source" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DCMAKE_CXX_FLAGS="$CPPFLAGS $CXXFLAGS" \
    -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS" -DCMAKE_MODULE_LINKER_FLAGS="$LDFLAGS" "$@" >/dev/null
}

# The KWin packages the effect links against, each pinned to its installed version:
# "libkwin6 (= 4:6.3.6-1)". KWin promises no binary compatibility between versions.
exact_kwin_depends() {
  local plugin="$1" path package version depends=""
  while read -r path; do
    package="$(dpkg -S "*/${path##*/}" 2>/dev/null | head -n1 | cut -d: -f1)" || true
    [ -n "$package" ] || fail "no Debian package holds $path"
    version="$(dpkg-query -W -f='${Version}' "$package")"
    depends+="${depends:+, }$package (= $version)"
  done < <(ldd "$plugin" | awk '$1 ~ /^libkwin/ { print $3 }')
  [ -n "$depends" ] || fail "$plugin links no KWin library"
  echo "$depends"
}

# check_contents DEB PATH...: the package holds every PATH.
check_contents() {
  local deb="$1" path missing=0 contents
  shift
  contents="$(dpkg-deb --contents "$deb" | awk '{print $6}')"
  for path in "$@"; do
    grep -qxF "$path" <<<"$contents" || { echo "$(basename "$deb") lacks $path" >&2; missing=1; }
  done
  [ "$missing" = 0 ]
}

# check_field DEB FIELD TEXT: the control field FIELD contains TEXT.
check_field() {
  local value
  value="$(dpkg-deb --field "$1" "$2")"
  grep -qF -- "$3" <<<"$value" || fail "$(basename "$1")'s $2 lacks \"$3\": $value"
}

# Step 1: builds and packs for the release this runs on.
package_here() {
  local release major
  release="$(release_tag)"
  # Inside the chroot its caller has installed everything, under the chroot's lock.
  if [ -z "${TALVEX_PACKAGE_DEPS_INSTALLED:-}" ]; then
    # shellcheck disable=SC2046
    install_missing $(kwin_build_packages "$(kwin_major)")
    "$TALVEX_ROOT/scripts/install-deps.sh"
  fi
  major="$(kwin_major)"

  local build="$out/$release"
  export DEB_BUILD_MAINT_OPTIONS="hardening=+all"
  eval "$(dpkg-buildflags --export=sh)"
  configure_release "$TALVEX_ROOT/kwin" "$build/kwin"
  cmake --build "$build/kwin" -j"$JOBS"
  local plugin="$build/kwin/plugins/kwin/effects/plugins/talvex_lens.so"
  local kwin_depends
  kwin_depends="$(exact_kwin_depends "$plugin")"

  configure_release "$TALVEX_ROOT" "$build/talvex" -DCMAKE_C_FLAGS="$CPPFLAGS $CFLAGS" \
    -DTALVEX_BUILD_TESTS=OFF -DTALVEX_BUILD_BENCH=OFF \
    -DTALVEX_KWIN_BUILD_DIR="$build/kwin" -DTALVEX_KWIN_DEPENDS="$kwin_depends" \
    -DTALVEX_PACKAGE_RELEASE="$release"
  cmake --build "$build/talvex" -j"$JOBS"
  rm -f "$build"/talvex/*.deb "$out"/talvex*_*+"$release"_*.deb
  (cd "$build/talvex" && cpack -G DEB >/dev/null)
  mv "$build"/talvex/*.deb "$out"/
  local deb kwin_deb
  deb="$(ls "$out"/talvex_*+"$release"_*.deb)"
  kwin_deb="$(ls "$out"/talvex-kwin-lens_*+"$release"_*.deb)"
  check_package "$deb" "$kwin_deb" "$release" "$major" "$kwin_depends"
  echo "$deb"
  echo "$kwin_deb"
}

# Step 2: what every installation must carry, and the dependencies between the two.
check_package() {
  local deb="$1" kwin_deb="$2" release="$3" major="$4" kwin_depends="$5"
  local expected=(
    ./usr/bin/talvex
    ./usr/share/applications/org.talvex.Talvex.desktop
    ./usr/share/metainfo/org.talvex.Talvex.metainfo.xml
    ./usr/share/man/man1/talvex.1.gz
    ./usr/share/doc/talvex/copyright
    ./usr/share/doc/talvex/changelog.gz
    ./usr/share/gnome-shell/extensions/talvex-lens@talvex.org/extension.js
    ./usr/share/gnome-shell/extensions/talvex-lens@talvex.org/metadata.json
  )
  local size
  for size in 16 24 32 48 64 128 256 512; do
    expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/org.talvex.Talvex.png")
  done
  check_contents "$deb" "${expected[@]}"

  # The effect lies in the plugin folder of KWin's Qt, where KWin looks for effects.
  local qt="qt$major"
  local multiarch
  multiarch="$(dpkg-architecture -qDEB_HOST_MULTIARCH)"
  check_contents "$kwin_deb" "./usr/lib/$multiarch/$qt/plugins/kwin/effects/plugins/talvex_lens.so" \
    ./usr/share/doc/talvex-kwin-lens/copyright ./usr/share/doc/talvex-kwin-lens/changelog.gz

  # dpkg-shlibdeps found the libraries; the effect names its KWin exactly and the
  # program it speaks to; the program only suggests the effect (GNOME needs no KWin).
  [ -n "$(dpkg-deb --field "$deb" Depends)" ] || fail "$deb has no dependencies: dpkg-shlibdeps did not run"
  local version
  version="$(dpkg-deb --field "$deb" Version)"
  check_field "$kwin_deb" Depends "$kwin_depends"
  check_field "$kwin_deb" Depends "talvex (= $version)"
  check_field "$kwin_deb" Depends "libqt"
  check_field "$deb" Suggests talvex-kwin-lens

  # The change log names this version (without the release it is built for).
  local logged
  logged="$(dpkg-parsechangelog -l "$TALVEX_ROOT/resources/debian/changelog" -S Version)"
  [ "${version%+"$release"}" = "$logged" ] ||
    fail "resources/debian/changelog's latest entry is $logged, the package is $version"

  if command -v lintian >/dev/null; then
    lintian --fail-on error "$deb" "$kwin_deb"
  fi
}

# Step 3: the same inside the Debian 13 chroot (KWin 6), with what it needs installed
# first under the chroot's lock, so that no build inside runs apt-get beside another
# user of the chroot. Debian 13's qt6-base-dev provides libqt6opengl6-dev.
package_debian13() {
  local chroot="$TALVEX_ROOT/scripts/debian13-chroot.sh" packages=() p
  for p in $("$TALVEX_ROOT/scripts/install-deps.sh" --print) $(kwin_build_packages 6); do
    [ "$p" = libqt6opengl6-dev ] || packages+=("$p")
  done
  "$chroot" install "${packages[@]}"
  "$chroot" run --bind "$TALVEX_ROOT" -- env TALVEX_PACKAGE_DEPS_INSTALLED=1 \
    "$TALVEX_ROOT/scripts/package.sh" --host
}

main() {
  case "${1:-}" in
    --host) package_here ;;
    "")
      package_here
      [ "$(release_tag)" = deb13 ] || package_debian13
      ;;
    *) fail "usage: $0 [--host]" ;;
  esac
}

mkdir -p "$out"
main "$@"

#!/usr/bin/env bash
# Builds the Debian package build-package/talvex_<version>_<arch>.deb: a Release build
# without tests or benchmarks, with the distribution's hardening flags, packed by CPack.
# Then checks what the package holds and, when lintian is installed, that it reports no
# errors. Installs missing Debian packages first.
set -euo pipefail
source "$(dirname "$0")/common.sh"
"$TALVEX_ROOT/scripts/install-deps.sh"

build="$TALVEX_ROOT/build-package"
export DEB_BUILD_MAINT_OPTIONS="hardening=+all"
eval "$(dpkg-buildflags --export=sh)"
cmake -S "$TALVEX_ROOT" -B "$build" -DCMAKE_BUILD_TYPE=Release \
  -DTALVEX_BUILD_TESTS=OFF -DTALVEX_BUILD_BENCH=OFF \
  -DCMAKE_C_FLAGS="$CPPFLAGS $CFLAGS" -DCMAKE_CXX_FLAGS="$CPPFLAGS $CXXFLAGS" \
  -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS" >/dev/null
cmake --build "$build" -j"$JOBS"
rm -f "$build"/talvex_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb="$(ls "$build"/talvex_*.deb)"

# What every installation must carry.
contents="$(dpkg-deb --contents "$deb" | awk '{print $6}')"
expected=(
  ./usr/bin/talvex
  ./usr/share/applications/org.talvex.Talvex.desktop
  ./usr/share/metainfo/org.talvex.Talvex.metainfo.xml
  ./usr/share/man/man1/talvex.1.gz
  ./usr/share/doc/talvex/copyright
  ./usr/share/doc/talvex/changelog.gz
  ./usr/share/gnome-shell/extensions/talvex-lens@talvex.org/extension.js
  ./usr/share/gnome-shell/extensions/talvex-lens@talvex.org/metadata.json
)
for size in 16 24 32 48 64 128 256 512; do
  expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/org.talvex.Talvex.png")
done
missing=0
for path in "${expected[@]}"; do
  grep -qxF "$path" <<<"$contents" || { echo "package lacks $path" >&2; missing=1; }
done
[ "$missing" = 0 ]

# dpkg-shlibdeps found the libraries; the change log names this version.
depends="$(dpkg-deb --field "$deb" Depends)"
[ -n "$depends" ] || { echo "package has no dependencies: dpkg-shlibdeps did not run" >&2; exit 1; }
version="$(dpkg-deb --field "$deb" Version)"
logged="$(dpkg-parsechangelog -l "$TALVEX_ROOT/resources/debian/changelog" -S Version)"
[ "$version" = "$logged" ] || {
  echo "resources/debian/changelog's latest entry is $logged, the package is $version" >&2
  exit 1
}

if command -v lintian >/dev/null; then
  lintian --fail-on error "$deb"
fi
echo "$deb"

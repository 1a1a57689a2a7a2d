#!/usr/bin/env bash
# A Debian 13 (trixie) chroot for builds and checks against the next release's
# desktop (Qt 6.8, GNOME Shell 48, KWin 6). Made once with mmdebstrap under a fixed
# cache folder and reused by every later run; callers name the packages they need.
#
#   scripts/debian13-chroot.sh install PKG...       makes the chroot if missing, installs what is missing
#   scripts/debian13-chroot.sh run [--bind DIR]... -- CMD...
#                                                    runs CMD inside (as root, /proc /sys /dev mounted,
#                                                    each DIR bound at the same path; the mounts end with CMD)
#   scripts/debian13-chroot.sh path                  prints the chroot's folder
#
# TALVEX_DEBIAN13_ROOT moves the cache (default /var/cache/talvex/debian13). The archive
# is reached through the same mirror as the host's Debian 12 (its sources say which);
# Debian 12's archive keyring already holds the trixie keys. Concurrent callers wait
# for each other on a lock beside the chroot, so two suites can share one.
set -euo pipefail

ROOT="${TALVEX_DEBIAN13_ROOT:-/var/cache/talvex/debian13}"
SUITE=trixie
LOCK="$ROOT.lock"

fail() {
  echo "debian13-chroot: $*" >&2
  exit 1
}

# The host's Debian mirror: the first deb.debian.org-like URI of its sources, so the
# chroot reaches the archive the same way the host does.
host_mirror() {
  local uri
  uri="$(grep -rhoE '^(URIs:|deb) +[a-z]+://[^ ]+/debian/?( |$)' /etc/apt/sources.list /etc/apt/sources.list.d/ 2>/dev/null |
    grep -oE '[a-z]+://[^ ]+' | head -n1 || true)"
  echo "${uri:-http://deb.debian.org/debian}"
}

ensure_host_tools() {
  command -v mmdebstrap >/dev/null && return
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends mmdebstrap >/dev/null ||
    fail "cannot install mmdebstrap"
}

# Step 1: make the chroot once, into a scratch folder renamed into place when complete,
# so an interrupted run never leaves a half-made chroot that later runs would trust.
create_chroot() {
  [ -x "$ROOT/usr/bin/apt-get" ] && return
  ensure_host_tools
  local scratch="$ROOT.new"
  rm -rf "$scratch"
  mkdir -p "$(dirname "$ROOT")"
  local mirror
  mirror="$(host_mirror)"
  echo "debian13-chroot: creating $ROOT from $mirror (once)" >&2
  mmdebstrap --mode=root --variant=apt --skip=check/empty \
    --keyring=/usr/share/keyrings/debian-archive-keyring.gpg \
    --aptopt='Acquire::Languages "none"' \
    --aptopt='APT::Install-Recommends "false"' \
    --include=ca-certificates \
    "$SUITE" "$scratch" "deb $mirror $SUITE main" >&2
  mv "$scratch" "$ROOT"
}

# run_inside [--bind DIR]... -- CMD...: a private mount namespace, so every mount made
# here goes away with CMD however it ends. The chroot's root is made a mount point of
# its own, so that CMD can make namespaces of its own inside (unshare --mount changes
# the propagation of /, which fails where / is no mount point). The host's compiler
# launcher (ccache) is not inside.
run_inside() {
  local binds=()
  while [ $# -gt 0 ]; do
    case "$1" in
      --bind) binds+=("$2"); shift 2 ;;
      --) shift; break ;;
      *) break ;;
    esac
  done
  [ $# -gt 0 ] || fail "run: no command"
  local script='set -e; r="$1"; shift
    mount --bind "$r" "$r"
    mount -t proc proc "$r/proc"
    mount --rbind /sys "$r/sys"
    mount --rbind /dev "$r/dev"
    mkdir -p "$r/tmp/.X11-unix"; chmod 1777 "$r/tmp" "$r/tmp/.X11-unix"
    cp -L /etc/resolv.conf "$r/etc/resolv.conf" 2>/dev/null || true
    while [ "$1" != "--" ]; do mkdir -p "$r$1"; mount --rbind "$1" "$r$1"; shift; done; shift
    exec chroot "$r" env -u CMAKE_C_COMPILER_LAUNCHER -u CMAKE_CXX_COMPILER_LAUNCHER \
      PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin "$@"'
  unshare --mount --propagation private sh -c "$script" sh "$ROOT" "${binds[@]}" -- "$@"
}

# Step 2: install only the named packages that are not there yet (a warm run with
# everything present touches no index).
install_packages() {
  local missing=()
  local p
  for p in "$@"; do
    run_inside -- dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return
  echo "debian13-chroot: installing ${missing[*]}" >&2
  run_inside -- sh -c 'apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$@" >/dev/null' \
    sh "${missing[@]}"
}

main() {
  [ "$(id -u)" -eq 0 ] || fail "needs root (chroot and mounts)"
  local command="${1:-}"
  [ $# -gt 0 ] && shift
  case "$command" in
    path) echo "$ROOT" ;;
    install)
      mkdir -p "$(dirname "$LOCK")"
      exec 9>"$LOCK"
      flock 9
      create_chroot
      install_packages "$@"
      ;;
    run)
      [ -x "$ROOT/usr/bin/apt-get" ] || fail "no chroot at $ROOT yet: run '$0 install' first"
      run_inside "$@"
      ;;
    *) fail "usage: $0 install PKG... | run [--bind DIR]... -- CMD... | path" ;;
  esac
}

main "$@"

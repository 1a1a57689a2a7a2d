#!/usr/bin/env bash
# run-in-session.sh WORKDIR CMD...: runs CMD inside a private headless GNOME Shell
# (Wayland, with Xwayland, one virtual monitor of $TALVEX_GNOME_MONITOR, 1280x800 by
# default) and ends every process of it afterwards.
#
# The session lives in its own PID, mount and network namespaces: this script becomes
# PID 1 there, so it reaps orphans and everything ends with it; /run/systemd is hidden
# (else the shell goes to logind); /tmp is private, so Xwayland takes :0 and meets no
# other X server, not even through an abstract socket. It gets its own system and
# session buses and XDG_RUNTIME_DIR under WORKDIR. Extensions found in
# $TALVEX_GNOME_EXTENSIONS (folders named by UUID) are installed for the user and
# enabled; the test hooks extension is always among them.
#
# CMD sees DISPLAY, XAUTHORITY, WAYLAND_DISPLAY, DBUS_SESSION_BUS_ADDRESS,
# TALVEX_SHELL_LOG and TALVEX_SHELL_PID (the shell's process), and runs once start-up
# and the overview it opens are over.
# Exit status: CMD's, or 77 when the shell could not be brought up here.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
work="$(realpath -m "$1")"; shift

if [ "${TALVEX_IN_GNOME_NAMESPACE:-}" != 1 ]; then
  mkdir -p "$work"
  export TALVEX_IN_GNOME_NAMESPACE=1
  exec unshare --mount --pid --fork --net --propagation private --kill-child -- \
    "$0" "$work" "$@"
fi

skip() { echo "gnome session: $*" >&2; exit 77; }

# 1. Private mounts. What else lies in /tmp (the sources or the work folder may) is
# mounted again at its place; only the X servers' sockets and locks stay private.
# The old /tmp is kept at a place of this namespace's own, outside /tmp.
mount -t tmpfs tmpfs /mnt
old_tmp=/mnt/old-tmp
mkdir "$old_tmp"
mount --rbind /tmp "$old_tmp"
mount -t tmpfs -o mode=1777 tmpfs /tmp
mkdir -m 1777 /tmp/.X11-unix
for entry in "$old_tmp"/*; do
  [ -e "$entry" ] || continue
  if [ -d "$entry" ]; then mkdir -p "/tmp/${entry##*/}"; else touch "/tmp/${entry##*/}"; fi
  mount --rbind "$entry" "/tmp/${entry##*/}"
done
[ -d /run/systemd ] && mount -t tmpfs tmpfs /run/systemd
mount -t proc proc /proc
ip link set lo up 2>/dev/null || true

# 2. A fresh home and runtime directory.
rm -rf "$work/session"
mkdir -p "$work/session"/{home,config,data,cache}
export HOME="$work/session/home" XDG_CONFIG_HOME="$work/session/config"
export XDG_DATA_HOME="$work/session/data" XDG_CACHE_HOME="$work/session/cache"
export XDG_RUNTIME_DIR="$work/session/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset DISPLAY WAYLAND_DISPLAY XAUTHORITY DBUS_SESSION_BUS_ADDRESS

# 3. Settings in a key file: extensions enabled, no version check, no animations. The
# test hooks in the form this shell loads (ES modules from 45 on).
hooks="$here/test-extension"
[ "$(gnome-shell --version | sed -n 's/^GNOME Shell \([0-9]*\).*/\1/p')" -ge 45 ] 2>/dev/null &&
  hooks="$here/test-extension-module"
extensions=("$hooks")
for dir in ${TALVEX_GNOME_EXTENSIONS:-}; do extensions+=("$dir"); done
uuids=()
mkdir -p "$XDG_DATA_HOME/gnome-shell/extensions"
for dir in "${extensions[@]}"; do
  uuid="$(sed -n 's/.*"uuid": *"\([^"]*\)".*/\1/p' "$dir/metadata.json")"
  cp -r "$dir" "$XDG_DATA_HOME/gnome-shell/extensions/$uuid"
  uuids+=("'$uuid'")
done
export GSETTINGS_BACKEND=keyfile
mkdir -p "$XDG_CONFIG_HOME/glib-2.0/settings"
cat >"$XDG_CONFIG_HOME/glib-2.0/settings/keyfile" <<KEYS
[org/gnome/shell]
enabled-extensions=[$(IFS=,; echo "${uuids[*]}")]
disable-user-extensions=false
disable-extension-version-validation=true
welcome-dialog-last-shown-version='999'

[org/gnome/desktop/interface]
enable-animations=false

[org/gnome/desktop/session]
idle-delay=uint32 0

[org/gnome/desktop/screensaver]
lock-enabled=false
KEYS

# 4. The buses.
dbus-daemon --session --address="unix:path=$XDG_RUNTIME_DIR/system_bus" --nofork --nopidfile \
  >/dev/null 2>&1 &
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$XDG_RUNTIME_DIR/system_bus"
dbus-daemon --session --address="unix:path=$XDG_RUNTIME_DIR/bus" --nofork --nopidfile \
  >/dev/null 2>&1 &
export DBUS_SESSION_BUS_ADDRESS="unix:path=$XDG_RUNTIME_DIR/bus"

# 5. The shell.
export TALVEX_SHELL_LOG="$work/shell.log"
export XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=GNOME
export LIBGL_ALWAYS_SOFTWARE=1 NO_AT_BRIDGE=1 GTK_A11Y=none
gnome-shell --headless --wayland --virtual-monitor "${TALVEX_GNOME_MONITOR:-1280x800}" \
  >"$TALVEX_SHELL_LOG" 2>&1 &
shell=$!
export TALVEX_SHELL_PID=$shell

# shell_eval JS: the shell's answer (JSON) on stdout; fails when the code threw.
shell_eval() {
  local out
  out="$(gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell \
    --method org.gnome.Shell.Eval "$1" 2>/dev/null)" || return 1
  case "$out" in "(true, '"*) ;; *) return 1 ;; esac
  out="${out#"(true, '"}"; printf '%s\n' "${out%"')"}"
}
export -f shell_eval

ready=""
for _ in $(seq 1 ${TALVEX_GNOME_TRIES:-240}); do
  kill -0 "$shell" 2>/dev/null || break
  case "$(shell_eval 'Main.layoutManager._startingUp ? "starting" :
      Main.overview.visible ? (Main.overview.hide(), "overview") : "ready"' || true)" in
    '"ready"') ready=1; break ;;
  esac
  sleep 0.25
done
[ -n "$ready" ] || [ -n "${TALVEX_GNOME_DEBUG:-}" ] || { tail -20 "$TALVEX_SHELL_LOG" >&2; skip "the shell did not come up"; }

export WAYLAND_DISPLAY=wayland-0 DISPLAY=:0
XAUTHORITY="$(shell_eval 'imports.gi.GLib.getenv("XAUTHORITY")' | tr -d '"')"
export XAUTHORITY

status=0
"$@" || status=$?
kill "$shell" 2>/dev/null || true
exit "$status"

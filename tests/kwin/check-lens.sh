#!/usr/bin/env bash
# check-lens.sh PLUGINS TALVEX: the KWin effect talvex_lens (built into the folder
# PLUGINS, e.g. build-kwin/plugins) on a headless KWin 5.27 (kwin_wayland --virtual,
# OpenGL on llvmpipe, Xwayland), the program TALVEX giving the reference stripes:
#   over a native Wayland window beneath an X11 panel, the effect's picture equals the
#   program's own stripe rendering (talvex filter) of what lies beneath, pixel for pixel
#   away from the edges, so the stripes run the same way; a settings change (red
#   stripes off) shows; beside the picture the panel is drawn as it is.
# Exit 0 when all hold, 1 on a failure, 77 when KWin cannot run here.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
plugins="$(realpath "$1")"
talvex="$(realpath "$2")"
work="$(dirname "$plugins")/kwin-checks"

if [ "${TALVEX_IN_KWIN:-}" != 1 ]; then
  command -v kwin_wayland >/dev/null || { echo "kwin_wayland is not installed"; exit 77; }
  [ -f "$plugins/kwin/effects/plugins/talvex_lens.so" ] || { echo "no effect built in $plugins"; exit 77; }
  rm -rf "$work"; mkdir -p "$work/bin" "$work/run"; chmod 700 "$work/run"
  # The installed binary carries file capabilities that a root shell in a container may
  # refuse to exec; a copy without them runs (named kwin_wayland so that its platform
  # plugin loads).
  cp "$(command -v kwin_wayland)" "$work/bin/kwin_wayland"
  convert -size 340x420 gradient:red-lime -rotate 90 \
    -fill '#00ff00' -draw 'rectangle 20,20 120,90' -fill '#ff0000' -draw 'rectangle 200,220 300,320' \
    -fill '#008080' -draw 'rectangle 150,250 260,330' -alpha off "$work/scene.png"
  convert -size 400x300 xc:'#202020' -fill '#c0c0c0' -draw 'rectangle 0,0 399,39' "$work/panel.png"
  export TALVEX_IN_KWIN=1 XDG_RUNTIME_DIR="$work/run" KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1
  export QT_PLUGIN_PATH="$plugins${QT_PLUGIN_PATH:+:$QT_PLUGIN_PATH}" QT_QPA_PLATFORM=offscreen
  # KWin runs this script again as its session: with DISPLAY and WAYLAND_DISPLAY set, and
  # KWin ends with it.
  status=0
  timeout 120 dbus-run-session -- "$work/bin/kwin_wayland" --virtual --width 1280 --height 800 --xwayland \
    --socket talvex-kwin-check --exit-with-session "$0 $plugins $talvex" >"$work/kwin.log" 2>&1 || status=$?
  [ -f "$work/status" ] || { echo "KWin did not run the checks (exit $status):"; tail -5 "$work/kwin.log"; exit 77; }
  cat "$work/checks.log"
  exit "$(cat "$work/status")"
fi

# --- Inside the KWin session ---------------------------------------------------------
exec >"$work/checks.log" 2>&1
children=()
finish() {
  local status=$?
  echo "$status" >"$work/status"
  [ ${#children[@]} -eq 0 ] || kill "${children[@]}" 2>/dev/null || true
}
trap finish EXIT
fail() { echo "FAIL: $*"; exit 1; }
# wait_for DESCRIPTION CMD...: until CMD succeeds, 20 s at most.
wait_for() {
  local what="$1"; shift
  for _ in $(seq 1 80); do
    "$@" >"$work/waited.log" 2>&1 && return 0
    sleep 0.25
  done
  cat "$work/waited.log"
  fail "timed out waiting for $what"
}
kwin() { gdbus call --session --dest org.kde.KWin "$@"; }
lens() { gdbus call --session --dest org.talvex.Lens --object-path /org/talvex/Lens "$@"; }
# place CAPTION X Y: moves the window through a KWin script, until it is there.
place() {
  cat >"$work/place.js" <<JS
const all = workspace.windowList ? workspace.windowList() : workspace.clientList();
for (const w of all) {
    if (w.caption === "$1") {
        w.frameGeometry = {x: $2, y: $3, width: w.frameGeometry.width, height: w.frameGeometry.height};
    }
}
JS
  kwin --object-path /Scripting --method org.kde.kwin.Scripting.unloadScript place >/dev/null || true
  kwin --object-path /Scripting --method org.kde.kwin.Scripting.loadScript "$work/place.js" place >/dev/null
  kwin --object-path /Scripting --method org.kde.kwin.Scripting.start >/dev/null
}
placed_at() { # placed_at X Y: the scene's top-left pixel there, the black desktop above-left
  "$here/screenshot.py" "$work/probe.png" "$(($1 - 1))" "$(($2 - 1))" 2 2 &&
    [ "$(convert "$work/scene.png" -format '%[pixel:p{0,0}]' info:)" = \
      "$(convert "$work/probe.png" -format '%[pixel:p{1,1}]' info:)" ] &&
    [ "$(convert "$work/probe.png" -format '%[pixel:p{0,0}]' info:)" = "srgb(0,0,0)" ]
}
drawing() { lens --method org.freedesktop.DBus.Properties.Get org.talvex.Lens1 Drawing | grep -q "$1"; }
# matches PICTURE EXPECTED: 0 differing pixels, a border of 2 left out.
matches() {
  local w h diff
  w="$(identify -format %w "$1")"; h="$(identify -format %h "$1")"
  diff="$(compare -metric AE -crop "$((w - 4))x$((h - 4))+2+2" "$1" "$2" null: 2>&1 || true)"
  echo "$(basename "$1"): $diff differing pixels"
  [ "$diff" = 0 ]
}

wait_for "the screenshot interface" kwin --object-path /org/kde/KWin/ScreenShot2 \
  --method org.freedesktop.DBus.Introspectable.Introspect

# 1. A native Wayland window at 500,250; the X11 panel over it at 600,300, its picture
#    the client area's (20, 60, 240, 200): on the screen 620,360, in the scene 120,110.
GDK_BACKEND=wayland gjs "$here/../gnome/wayland-window.js" "$work/scene.png" wayland &
children+=($!)
placed() { place wayland 500 250 && placed_at 500 250; }
wait_for "the Wayland window placed" placed
display -title panel -geometry +600+300 "$work/panel.png" &
children+=($!)
wait_for "the panel" xwininfo -name panel
panel="$(xwininfo -name panel | grep -oE 'Window id: 0x[0-9a-f]+' | grep -oE '0x[0-9a-f]+')"
wait_for "the panel placed" sh -c "xwininfo -id $panel | grep -q 'Absolute upper-left X:  600'"

# 2. The effect draws the lens; it equals the program's own stripes of what lies beneath.
kwin --object-path /Effects --method org.kde.kwin.Effects.loadEffect talvex_lens | grep -q true ||
  fail "the effect did not load"
coproc owner { "$here/lens-owner.py"; }
children+=("$owner_PID")
tell() { # tell COMMAND: to the lens's owner, which must answer ok
  local answer
  echo "$*" >&"${owner[1]}"
  read -r -t 10 answer <&"${owner[0]}" || answer="no answer"
  [ "$answer" = ok ] || fail "$*: $answer"
}
tell attach "$panel" 20 60 240 200
tell configure scale double 1.0
wait_for "the lens drawn" drawing true
convert "$work/scene.png" -crop 240x200+120+110 +repage "$work/beneath.png"
"$talvex" filter "$work/beneath.png" "$work/expected.png" --red 1 --green 1
shoot_until_matches() { # NAME EXPECTED: the lens until it matches, 5 s at most
  for _ in $(seq 1 20); do
    "$here/screenshot.py" "$work/$1.png" 620 360 240 200
    matches "$work/$1.png" "$2" >/dev/null && break
    sleep 0.25
  done
  matches "$work/$1.png" "$2"
}
shoot_until_matches lens "$work/expected.png" || fail "the lens differs from the program's stripes"
"$here/screenshot.py" "$work/screen.png"

# 3. A setting change: red stripes off.
tell configure red-stripes bool false
"$talvex" filter "$work/beneath.png" "$work/expected-green.png" --red 0 --green 1
shoot_until_matches lens-green "$work/expected-green.png" || fail "red stripes off did not show"

# 4. Beside the picture the panel shows as it is: its title bar.
"$here/screenshot.py" "$work/title.png" 600 300 400 40
[ "$(convert "$work/title.png" -format '%[hex:p{200,20}]' info:)" = C0C0C0 ] ||
  fail "the panel's title bar is not drawn beside the picture"
echo "all checks passed"

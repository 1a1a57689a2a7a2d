#!/usr/bin/env bash
# kwin_cost.sh BUILD_DIR [RUNS] [SECONDS]: KWin's own CPU time with the lens on and off,
# on KWin 5.27's kwin_wayland --virtual (1280×800, OpenGL on llvmpipe), as the KWin
# checks run it (tests/kwin/run-checks.sh builds the effect into BUILD_DIR/kwin-effect-wayland
# first). The panel is an X11 window at 600,300 (its picture at 620,360, 240×200) over a
# still X11 window at 500,250; a native Wayland window of 340×420 lies either over that,
# beneath the panel, or elsewhere (at 0,0), drawn once (static) or changing 30 times a
# second. For each case KWin's user and
# system time (/proc/PID/stat) over SECONDS (5) is taken RUNS (3) times; the median is
# printed in ms of CPU per second. A static screen paints no frame at all.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
self="$here/$(basename "${BASH_SOURCE[0]}")"
build="$(realpath "$1")"
runs="${2:-3}"
seconds="${3:-5}"
effect="$build/kwin-effect-wayland"
work="$build/kwin-cost"
checks="$here/../tests/kwin"

# Outside: KWin with this script as its session (as check-lens.sh starts it).
if [ "${TALVEX_IN_KWIN:-}" != 1 ]; then
  [ -f "$effect/plugins/kwin/effects/plugins/talvex_lens.so" ] ||
    { echo "no effect in $effect: run tests/kwin/run-checks.sh $1 wayland first"; exit 77; }
  command -v kwin_wayland >/dev/null || { echo "kwin_wayland is not installed"; exit 77; }
  rm -rf "$work"; mkdir -p "$work/bin" "$work/run"; chmod 700 "$work/run"
  convert -size 400x300 xc:'#202020' -fill '#c0c0c0' -draw 'rectangle 0,0 399,39' "$work/panel.png"
  convert -size 420x340 gradient:red-lime -rotate 90 "$work/scene.png"
  cp "$(command -v kwin_wayland)" "$work/bin/kwin_wayland"  # without file capabilities
  timeout $((60 + 8 * runs * seconds)) env TALVEX_IN_KWIN=1 XDG_RUNTIME_DIR="$work/run" \
    QT_PLUGIN_PATH="$effect/plugins" QT_QPA_PLATFORM=offscreen KWIN_WAYLAND_NO_PERMISSION_CHECKS=1 KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1 \
    dbus-run-session -- "$work/bin/kwin_wayland" --virtual --width 1280 --height 800 --xwayland \
    --socket talvex-kwin-cost --exit-with-session "$self $build $runs $seconds" >"$work/kwin.log" 2>&1 || true
  [ -f "$work/cost.txt" ] || { echo "KWin did not run the measurement:"; tail -5 "$work/kwin.log"; exit 1; }
  cat "$work/cost.txt"
  exit 0
fi

# --- Inside the KWin session: KWin is this script's parent --------------------------
kwin_pid=$PPID
exec 2>"$work/session.log"
children=()
trap '[ ${#children[@]} -eq 0 ] || kill "${children[@]}" 2>/dev/null; wait 2>/dev/null || true' EXIT
kwin() { gdbus call --session --dest org.kde.KWin "$@" >/dev/null; }
wait_for() { # DESCRIPTION CMD...: until CMD succeeds, 20 s at most
  for _ in $(seq 1 80); do "${@:2}" >/dev/null && return 0; sleep 0.25; done
  echo "timed out waiting for $1" >&2; exit 1
}
place() { # CAPTION X Y: the window's client area there, through a KWin script (the panel
  # kept above, as the program keeps it)
  cat >"$work/place.js" <<JS
for (const w of workspace.clientList()) {
    if (w.caption === "$1") {
        const f = w.frameGeometry, c = w.clientGeometry || f;
        w.keepAbove = w.caption === "panel";
        w.frameGeometry = {x: $2 - (c.x - f.x), y: $3 - (c.y - f.y), width: f.width, height: f.height};
    }
}
JS
  kwin --object-path /Scripting --method org.kde.kwin.Scripting.unloadScript place || true
  kwin --object-path /Scripting --method org.kde.kwin.Scripting.loadScript "$work/place.js" place
  kwin --object-path /Scripting --method org.kde.kwin.Scripting.start
}
# The Wayland window: its colour changes 30 times a second while the file "changing"
# exists, else it stays as drawn (#0080ff).
cat >"$work/window.js" <<'JS'
imports.gi.versions.Gtk = '4.0';
const {Gtk, GLib} = imports.gi;
const [title, flag] = ARGV;
Gtk.init();
let step = 0;
const area = new Gtk.DrawingArea({content_width: 340, content_height: 420});
area.set_draw_func((widget, cr) => {
    cr.setSourceRGB((step % 60) / 60, 0.5, 1 - (step % 60) / 60);
    cr.paint();
});
GLib.timeout_add(GLib.PRIORITY_DEFAULT, 33, () => {
    if (step !== 0 || GLib.file_test(flag, GLib.FileTest.EXISTS)) {
        step = GLib.file_test(flag, GLib.FileTest.EXISTS) ? step + 1 : 0;
        area.queue_draw();
    }
    return true;
});
const window = new Gtk.Window({title, decorated: false, resizable: false});
window.set_child(area);
window.present();
new GLib.MainLoop(null, false).run();
JS
pixel() { # X Y: the screen's pixel there
  "$checks/screenshot.py" "$work/probe.png" "$1" "$2" 1 1 && convert "$work/probe.png" -format '%[hex:p{0,0}]' info:
}
placed() { # X Y: the still window's client area there (its colour there, black beside it)
  place window "$1" "$2" && [ "$(pixel "$1" "$2")" = 0080FF ] &&
    [ "$(pixel $(($1 + 340)) "$2")" = 000000 ]
}
show_window() { # static|changing X Y
  rm -f "$work/changing"
  wait_for "the window placed" placed "$2" "$3"
  [ "$1" = static ] || touch "$work/changing"
  sleep 1  # settled: the placement's repaint is done (not measured)
}
cpu_ms() { # KWin's user + system time so far, in ms
  awk -v hz="$(getconf CLK_TCK)" '{ print int(($14 + $15) * 1000 / hz) }' "/proc/$kwin_pid/stat"
}
measure() { # the median over $runs of KWin's CPU ms per second over $seconds
  local samples=() before
  for _ in $(seq 1 "$runs"); do
    before="$(cpu_ms)"; sleep "$seconds"
    samples+=($(( ($(cpu_ms) - before) / seconds )))
  done
  printf '%s\n' "${samples[@]}" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

wait_for "the screenshot interface" gdbus introspect --session --dest org.kde.KWin --object-path /org/kde/KWin/ScreenShot2
display -title scene "$work/scene.png" &
children+=($!)
scene_placed() { place scene 500 250 && xwininfo -name scene | grep -q 'Absolute upper-left X:  500'; }
wait_for "the still X11 window" xwininfo -name scene
wait_for "the still X11 window placed" scene_placed
GTK_A11Y=none GDK_BACKEND=wayland gjs "$work/window.js" window "$work/changing" >/dev/null 2>&1 &
children+=($!)
display -title panel -geometry +600+300 "$work/panel.png" &
children+=($!)
wait_for "the panel" xwininfo -name panel
panel="$(xwininfo -name panel | grep -oE 'Window id: 0x[0-9a-f]+' | grep -oE '0x[0-9a-f]+')"
wait_for "the panel placed" place panel 600 300
kwin --object-path /Effects --method org.kde.kwin.Effects.loadEffect talvex_lens
coproc owner { exec "$checks/lens-owner.py"; }
children+=("$owner_PID")
tell() { local answer; echo "$*" >&"${owner[1]}"; read -r -t 10 answer <&"${owner[0]}"; [ "$answer" = ok ]; }

{
  echo "KWin 5.27 (kwin_wayland --virtual 1280x800, llvmpipe), lens 240x200; KWin's CPU in ms per second, median of $runs x ${seconds} s"
  printf '%-38s %8s %8s\n' case "lens off" "lens on"
  for case in "static beneath:static 500 250" "changing beneath:changing 500 250" \
    "changing elsewhere:changing 0 0" "static elsewhere:static 0 0"; do
    show_window ${case#*:}
    echo "case ${case%%:*}" >&2
    tell detach; sleep 1; off="$(measure)"
    tell attach "$panel" 20 60 240 200; sleep 1; on="$(measure)"
    printf '%-38s %8s %8s\n' "${case%%:*}" "$off" "$on"
  done
} >"$work/cost.txt.new"
mv "$work/cost.txt.new" "$work/cost.txt"

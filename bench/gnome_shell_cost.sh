#!/usr/bin/env bash
# gnome_shell_cost.sh BUILD_DIR [SECONDS] [RUNS]: what the GNOME Shell extension's lens
# costs the shell. On a headless GNOME Shell (tests/gnome/run-in-session.sh, 1280x800),
# with the lens off (no panel; the extension enabled) and on (the program's 400x300
# panel at 620,300 drawn by the extension), for three scenes:
#   static     a Wayland window and the desktop beneath the panel, nothing changing;
#   beneath    a 200x150 Wayland window changing 20 times a second beneath the picture;
#   elsewhere  the same window away from the panel (at 40,40).
# The pointer rests away from both. Each case is measured for SECONDS (10) after a
# second's settling, RUNS (3) times in turn; printed: the median of each of gnome-shell's
# CPU share of one core (utime + stime of /proc/PID/stat), the stage's frames a second,
# the stripe draws a second (the extension's counter) and the program's own CPU share.
# Exit 1 when the lens ran the stripe program over a static screen or for a change
# elsewhere; 77 when the shell cannot run here. Needs root (namespaces), like the checks.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(realpath "${1:?usage: gnome_shell_cost.sh BUILD_DIR [SECONDS] [RUNS]}")"
seconds="${2:-10}"
runs="${3:-3}"
work="$build/gnome-cost"
rm -rf "$work"; mkdir -p "$work"
command -v gnome-shell >/dev/null || { echo "gnome-shell is not installed"; exit 77; }
[ -x "$build/src/talvex" ] || { echo "build talvex and gnome_extension in $build first"; exit 1; }

convert -size 340x420 gradient:red-lime -rotate 90 "$work/scene.png"
convert -size 200x150 xc:'#ff8000' "$work/patch.png"

cat >"$work/cost.sh" <<'COST'
set -euo pipefail
work="$1"; build="$2"; here="$3"; seconds="$4"; runs="$5"
source "$here/scene-helpers.sh"

# ticks PID: the CPU time the process has taken so far, in clock ticks.
ticks() {
  local stat
  stat="$(cat "/proc/$1/stat" 2>/dev/null)" || { echo 0; return; }
  stat="${stat##*) }"
  awk '{print $12 + $13}' <<<"$stat"
}
hz="$(getconf CLK_TCK)"
count_frames
gjs "$here/wayland-window.js" "$work/scene.png" static &
move static 400 240
shell_eval 'global._talvexPointer = imports.gi.Clutter.get_default_backend().get_default_seat()
  .create_virtual_device(imports.gi.Clutter.InputDeviceType.POINTER_DEVICE);
  global._talvexPointer.notify_absolute_motion(global.get_current_time() * 1000, 1200, 760); 1' >/dev/null

# measure RUN LENS SCENE TALVEX_PID: one line of figures after SECONDS.
measure() {
  sleep 1
  local start end shell0 shell1 talvex0 talvex1 frames0 frames1 draws0 draws1
  start="$(date +%s.%N)"
  shell0="$(ticks "$TALVEX_SHELL_PID")"; talvex0="$(ticks "$4")"
  frames0="$(shell_eval 'global._talvexFrames')"
  draws0="$(shell_eval "$lens._stripes.stripeDraws || 0")"
  sleep "$seconds"
  end="$(date +%s.%N)"
  shell1="$(ticks "$TALVEX_SHELL_PID")"; talvex1="$(ticks "$4")"
  frames1="$(shell_eval 'global._talvexFrames')"
  draws1="$(shell_eval "$lens._stripes.stripeDraws || 0")"
  awk -v run="$1" -v lens="$2" -v scene="$3" -v t="$(awk -v a="$start" -v b="$end" 'BEGIN {print b - a}')" \
    -v hz="$hz" -v s="$((shell1 - shell0))" -v p="$((talvex1 - talvex0))" \
    -v f="$((frames1 - frames0))" -v d="$((draws1 - draws0))" \
    'BEGIN { printf "%s %s %s %.1f %.1f %.1f %.1f\n", run, lens, scene, 100 * s / hz / t, f / t, d / t, 100 * p / hz / t }'
}

for run in $(seq 1 "$runs"); do
  for lens_state in off on; do
    talvex=0
    if [ "$lens_state" = on ]; then
      rm -rf "$work/config"
      XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=xcb "$build/src/talvex" >>"$work/talvex.log" 2>&1 &
      talvex=$!
      move Talvex 620 300
      wait_for "$lens.drawing"
    fi
    for scene in static beneath elsewhere; do
      patch=0
      if [ "$scene" != static ]; then
        gjs "$here/wayland-window.js" "$work/patch.png" patch 50 &
        patch=$!
        if [ "$scene" = beneath ]; then move patch 700 400; else move patch 40 40; fi
      fi
      measure "$run" "$lens_state" "$scene" "$talvex" | tee -a "$work/figures"
      if [ "$patch" != 0 ]; then
        kill "$patch"; wait "$patch" || true
        wait_for "!$window_js('patch')"
      fi
    done
    if [ "$talvex" != 0 ]; then
      kill "$talvex"; wait "$talvex" || true
      wait_for "!$lens.drawing"
    fi
  done
done
COST

TALVEX_GNOME_EXTENSIONS="$build/gnome-shell/legacy/talvex-lens@talvex.org"
[ "$(gnome-shell --version | sed -n 's/^GNOME Shell \([0-9]*\).*/\1/p')" -ge 45 ] 2>/dev/null &&
  TALVEX_GNOME_EXTENSIONS="$build/gnome-shell/module/talvex-lens@talvex.org"
export TALVEX_GNOME_EXTENSIONS
echo "run lens scene shell-CPU% frames/s stripe-draws/s talvex-CPU%"
"$root/tests/gnome/run-in-session.sh" "$work/session" \
  bash "$work/cost.sh" "$work" "$build" "$root/tests/gnome" "$seconds" "$runs"

# The medians, as the README's table has them.
echo
echo "| lens | scene | gnome-shell CPU | frames/s | stripe draws/s | talvex CPU |"
echo "|---|---|---|---|---|---|"
median() { sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
for lens_state in off on; do
  for scene in static beneath elsewhere; do
    row="| $lens_state | $scene |"
    for column in 4 5 6 7; do
      row+=" $(awk -v l="$lens_state" -v s="$scene" -v c="$column" '$2 == l && $3 == s {print $c}' \
        "$work/figures" | median) |"
    done
    echo "$row"
  done
done
stray="$(awk '$2 == "on" && $3 != "beneath" && $6 > 0' "$work/figures")"
[ -z "$stray" ] || { echo "FAIL: stripe draws where nothing in the lens changed:"; echo "$stray"; exit 1; }

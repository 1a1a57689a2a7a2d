#!/usr/bin/env bash
# check-lens.sh BUILD_DIR: the lens on a headless GNOME Shell (Wayland with Xwayland),
# drawn by the extension for the real program:
#   1. over a native Wayland window and over the desktop, the picture equals the
#      program's own stripe rendering (talvex filter) of what lies beneath the panel,
#      pixel for pixel away from the edges (so the stripes run the same way), and an
#      X11 window hidden under the Wayland window does not show; paints of the stage
#      over an unchanged lens, and a window changing elsewhere, run no stripe draw;
#   2. a click on the picture reaches the Wayland window beneath, one on the title bar
#      the panel; at 2x the lens shows the middle of the area enlarged, striped as the
#      program stripes it, and a click on it reaches the place it shows; finding a
#      colour picked by a click keeps it and greys the rest; the panel's menu over
#      the picture is drawn over the lens; a change of the settings file shows in
#      the lens; Hold Picture (Ctrl+H) keeps the picture
#      when the window beneath goes, and a window raised above the panel shows over
#      it; a new desktop background shows in the lens; around the pointer the lens
#      shows the striped area centred on it over a Wayland window, the colour
#      reported under the pointer is the one beneath and the program's title names
#      it; the lens hides in the overview; the show/hide key hides the panel while a
#      Wayland window has the keyboard;
#   3. without the extension the picture area shows the message and the log says so.
# Exit 0 when all hold, 1 on a failure, 77 when the shell cannot run here.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="$(realpath "$1")"
work="$build/gnome-checks"
rm -rf "$work"; mkdir -p "$work"
command -v gnome-shell >/dev/null || { echo "gnome-shell is not installed"; exit 77; }
unshare --mount --pid --fork true 2>/dev/null || { echo "no namespaces here"; exit 77; }

# The pictures: a red-to-green ramp with blocks of pure colours, and a red one that must
# stay hidden.
convert -size 340x420 gradient:red-lime -rotate 90 \
  -fill '#00ff00' -draw 'rectangle 20,20 120,90' -fill '#ff0000' -draw 'rectangle 300,220 400,320' \
  -fill '#008080' -draw 'rectangle 150,250 260,330' "$work/scene.png"
convert -size 300x200 xc:'#ff0000' "$work/hidden.png"

cat >"$work/scene.sh" <<'SCENE'
set -euo pipefail
work="$1"; build="$2"; here="$3"; with_extension="$4"
source "$here/scene-helpers.sh"

display -title hidden "$work/hidden.png" &
move hidden 420 260
TALVEX_CLICKS="$work/wayland-clicks.txt" gjs "$here/wayland-window.js" "$work/scene.png" wayland &
move wayland 400 240
export XDG_CONFIG_HOME="$work/config"
QT_QPA_PLATFORM=xcb "$build/src/talvex" >"$work/talvex-$with_extension.log" 2>&1 &
move Talvex 620 300

if [ "$with_extension" = no ]; then
  for _ in $(seq 1 40); do grep -q "talvex-lens@talvex.org" "$work/talvex-no.log" && break; sleep 0.25; done
  grep -q "needs the GNOME Shell extension talvex-lens@talvex.org" "$work/talvex-no.log" \
    || fail "no log line without the extension"
  # The message lies across the middle of the picture (the panel's client area is
  # 400 x 300 at 620, 300; the picture below the title bar): its background, beside
  # the text.
  for _ in $(seq 1 20); do
    screenshot "$work/message.png"
    colour="$(convert "$work/message.png" -format '%[pixel:p{632,462}]' info:)"
    case "$colour" in "srgb(32,32,32)" | "srgba(32,32,32,1)") break ;; esac
    sleep 0.25
  done
  case "$colour" in
    "srgb(32,32,32)" | "srgba(32,32,32,1)") echo "message shown without the extension" ;;
    *) fail "no message over the picture without the extension (found $colour)" ;;
  esac
  exit 0
fi

wait_for "$lens.drawing"
rect="$(shell_eval "(p => [p.x, p.y, p.width, p.height].join(' '))($lens._pictureOnStage($lens._panel))" | tr -d '"')"
read -r x y w h <<<"$rect"
crop="${w}x${h}+${x}+${y}"
screenshot "$work/with-lens.png"
# What lies beneath: the lens and the panel hidden for one picture.
shell_eval "$lens._root.hide(); $lens._panel.get_compositor_private().hide()" >/dev/null
screenshot "$work/beneath.png"
shell_eval "$lens._panel.get_compositor_private().show(); $lens._root.show()" >/dev/null
convert "$work/with-lens.png" -crop "$crop" +repage "$work/lens.png"
convert "$work/beneath.png" -crop "$crop" +repage "$work/beneath-crop.png"
"$build/src/talvex" filter "$work/beneath-crop.png" "$work/expected.png" --red 1 --green 1 --strength 100
# Away from the edges: 2 pixels all round.
inner="$((w - 4))x$((h - 4))+2+2"
differing="$(compare -metric AE \( "$work/lens.png" -crop "$inner" +repage \) \
  \( "$work/expected.png" -crop "$inner" +repage \) "$work/difference.png" 2>&1 || true)"
[ "$differing" = 0 ] || fail "the lens differs from the program's own stripes in $differing pixels (see $work)"
# The hidden X11 window is pure red; beneath the panel only the Wayland window and the
# desktop lie, so the lens equal to their filtered picture shows none of it. Make sure
# the scene is what it should be: the Wayland window does lie over the panel's left.
[ "$(convert "$work/beneath-crop.png" -format '%[pixel:p{10,10}]' info:)" != "$(convert "$work/beneath-crop.png" -format '%[pixel:p{390,10}]' info:)" ] \
  || fail "the Wayland window is not beneath the panel"
echo "lens equals the program's stripes over a Wayland window and the desktop ($w x $h)"

# Cost: paints of the whole stage (each screenshot is one), and frames of a window
# changing elsewhere on the screen, while nothing beneath changes run no stripe draw.
draws() { shell_eval "$lens._stripes.stripeDraws"; }
before="$(draws)"
for i in 1 2 3; do screenshot "$work/static-$i.png"; done
[ "$(draws)" = "$before" ] || fail "the stripe program ran again over an unchanged lens ($before -> $(draws))"
count_frames
# A window changing 20 times a second, placed away from the lens (where the shell first
# puts it, it may meet the lens), then closed: the stage redrawn, windows restacked.
gjs "$here/wayland-window.js" "$work/hidden.png" elsewhere 50 &
blinker=$!
move elsewhere 20 20
before="$(draws)"
frames="$(shell_eval 'global._talvexFrames')"
wait_for "global._talvexFrames >= $frames + 10"
kill "$blinker"; wait "$blinker" || true
wait_for "!$window_js('elsewhere')"
screenshot "$work/static-4.png"
[ "$(draws)" = "$before" ] || fail "a window changing elsewhere ran the stripe program again ($before -> $(draws))"
echo "paints of the stage over an unchanged lens run no stripe draw, also while a window elsewhere changes"

shell_eval 'global._talvexKeyboard = imports.gi.Clutter.get_default_backend().get_default_seat()
  .create_virtual_device(imports.gi.Clutter.InputDeviceType.KEYBOARD_DEVICE); 1' >/dev/null
# keys KEYVAL...: pressed in order, released in reverse.
keys() {
  local js="(k => { const t = global.get_current_time() * 1000;"
  for key in "$@"; do js+=" k.notify_keyval(t, imports.gi.Clutter.KEY_$key, 1);"; done
  for ((i = $#; i > 0; i--)); do js+=" k.notify_keyval(t, imports.gi.Clutter.KEY_${!i}, 0);"; done
  shell_eval "$js })(global._talvexKeyboard)" >/dev/null
}
# A virtual pointer: a click on the picture where the Wayland window lies beneath (its
# right edge is at 820), then one on the title bar.
shell_eval 'global._talvexPointer = imports.gi.Clutter.get_default_backend().get_default_seat()
  .create_virtual_device(imports.gi.Clutter.InputDeviceType.POINTER_DEVICE); 1' >/dev/null
# point X Y: the pointer moved there. click X Y: once the pointer is there.
point() {
  shell_eval "global._talvexPointer.notify_absolute_motion(global.get_current_time() * 1000, $1, $2)" >/dev/null
  wait_for "(p => p[0] === $1 && p[1] === $2)(global.get_pointer())"
}
click() {
  point "$1" "$2"
  shell_eval "(p => { p.notify_button(global.get_current_time() * 1000, 1, 1);
    p.notify_button(global.get_current_time() * 1000, 1, 0); })(global._talvexPointer)" >/dev/null
}
focused='global.display.focus_window && global.display.focus_window.get_title()'
# The panel takes a click at X Y: the program's input region reaches the shell after the
# state that changed it (it goes through the X server, the state over the bus).
panel_takes_clicks_at="(x, y) => { const a = $lens._panel.get_compositor_private();
  let p = global.stage.get_actor_at_pos(imports.gi.Clutter.PickMode.REACTIVE, x, y);
  while (p && p !== a) p = p.get_parent(); return p === a; }"
click "$((x + 60))" "$((y + h / 2))"
wait_for "$focused === 'wayland'"
click "$((x + w / 2))" "$((y - 8))"
wait_for "$focused === 'Talvex'"
echo "a click on the picture reaches the Wayland window beneath; the title bar takes its own"

# settings JSON: the settings file replaced (as another writer would).
settings() {
  printf '%s\n' "$1" >"$XDG_CONFIG_HOME/Talvex/defaults.json.new"
  mv "$XDG_CONFIG_HOME/Talvex/defaults.json.new" "$XDG_CONFIG_HOME/Talvex/defaults.json"
}
# compare_lens NAME EXPECTED: the lens now equals EXPECTED away from the edges.
compare_lens() {
  screenshot "$work/$1.png"
  convert "$work/$1.png" -crop "$crop" +repage "$work/$1-lens.png"
  differing="$(compare -metric AE \( "$work/$1-lens.png" -crop "$inner" +repage \) \
    \( "$2" -crop "$inner" +repage \) null: 2>&1 || true)"
  [ "$differing" = 0 ] || fail "$1: the lens differs from the program's rendering in $differing pixels (see $work)"
}
# Magnify 2x: the middle of the area beneath (the Wayland window's teal, red and ramp,
# the desktop), each pixel a 2x2 square, striped after enlarging: the program's stripes
# over the middle enlarged without smoothing.
settings '{"Magnification": 2}'
wait_for "$lens.settings.magnification === 2"
convert "$work/beneath-crop.png" -crop "$(((w + 1) / 2))x$(((h + 1) / 2))+$(((w - (w + 1) / 2) / 2))+$(((h - (h + 1) / 2) / 2))" \
  +repage -sample 200% -crop "${w}x${h}+0+0" +repage "$work/magnified-beneath.png"
"$build/src/talvex" filter "$work/magnified-beneath.png" "$work/magnified-expected.png" --red 1 --green 1 --strength 100
compare_lens magnified "$work/magnified-expected.png"
echo "at 2x the lens shows the middle enlarged, its stripes at their size"
# A click on the magnified picture reaches the place it shows: with the Wayland window's
# right edge 100 pixels right of the picture's middle, a click 150 right of the middle
# (the desktop beneath the pointer) shows, and reaches, the window 75 right of it. The
# title bar took the last click, so the X server last saw the pointer there and the
# program's own input region still takes the whole panel: the click made again must
# reach beneath all the same.
ww="$(shell_eval "$window_js('wayland').get_frame_rect().width")"
move wayland "$((x + w / 2 + 100 - ww))" 240
shell_eval "$lens._panel.activate(global.get_current_time()); 1" >/dev/null
wait_for "$focused === 'Talvex'"
click "$((x + w / 2 + 150))" "$((y + h / 2))"
wait_for "$focused === 'wayland'"
# It arrived at the place shown (the program's rule: the middle's pixel p / 2).
shown="$((x + (w - (w + 1) / 2) / 2 + (w / 2 + 150) / 2 - (x + w / 2 + 100 - ww))) $(((h - (h + 1) / 2) / 2 + h / 4 + y - 240))"
for _ in $(seq 1 40); do [ "$(tail -n 1 "$work/wayland-clicks.txt")" = "$shown" ] && break; sleep 0.25; done
[ "$(tail -n 1 "$work/wayland-clicks.txt")" = "$shown" ] \
  || fail "the magnified click arrived at $(tail -n 1 "$work/wayland-clicks.txt"), not at $shown"
move wayland 400 240
echo "a click on the magnified picture reaches the place it shows"
# Find a Colour: Ctrl+F, then a click on the teal beneath picks it (the shell names the
# colour under the pointer while the program picks); the teal keeps its stripes, the
# ramp and the red turn grey, as the program draws it. Escape ends it.
settings '{}'
wait_for "$lens.settings.magnification === 1"
shell_eval "$lens._panel.activate(global.get_current_time()); 1" >/dev/null
wait_for "$focused === 'Talvex'"
keys Control_L f
wait_for "$lens.settings.picking"
point 640 530
wait_for "($panel_takes_clicks_at)(640, 530)"
# The click takes the colour the shell last reported under the pointer.
wait_for "JSON.stringify($lens._colour) === '[0,128,128]'"
click 640 530
for _ in $(seq 1 80); do
  [ "$(shell_eval "$lens.settings['find-colour']")" = '"#008080"' ] && break
  sleep 0.25
done
[ "$(shell_eval "$lens.settings['find-colour']")" = '"#008080"' ] \
  || fail "the click found $(shell_eval "$lens.settings['find-colour']"), not the teal"
"$build/src/talvex" filter "$work/beneath-crop.png" "$work/found-expected.png" --red 1 --green 1 \
  --strength 100 --find '#008080' --near medium
compare_lens found "$work/found-expected.png"
keys Escape
wait_for "$lens.settings['find-colour'] === ''"
echo "finding the teal beneath keeps it striped and greys the rest"

# How many pixels of CROP differ between the screen with the lens and without it (NAME
# names the two screenshots left in $work).
differing_over_lens() {
  screenshot "$work/$1-lens.png"
  shell_eval "$lens._root.hide()" >/dev/null
  screenshot "$work/$1-plain.png"
  shell_eval "$lens._root.show()" >/dev/null
  compare -metric AE \( "$work/$1-lens.png" -crop "$2" +repage \) \
    \( "$work/$1-plain.png" -crop "$2" +repage \) null: 2>&1 || true
}

# The menu (F10) lies above the panel, over the picture, and shows over the lens as it
# is without it. (Override-redirect windows such as menus sit in the shell's top window
# group, above the lens anyway; the lens's clones of windows above the panel are for
# managed ones, such as the preferences window.)
keys F10
# Once it is placed: it may show at first where it is not yet.
wait_for "(w => w.meta_window !== $lens._panel && w.visible &&
  w.meta_window.get_frame_rect().y + w.meta_window.get_frame_rect().height > $y)(global.get_window_actors().slice(-1)[0])"
menu="$(shell_eval "(r => [r.x, r.y, r.width, r.height].join(' '))(global.get_window_actors().slice(-1)[0].meta_window.get_frame_rect())" | tr -d '"')"
read -r mx my mw mh <<<"$menu"
menu_crop="${mw}x$((my + mh - y - 2))+$mx+$((y + 2))"
differing="$(differing_over_lens menu "$menu_crop")"
[ "$differing" = 0 ] || fail "the menu over the picture differs in $differing pixels from the menu itself"
keys Escape; keys Escape
wait_for "(a => a.slice(a.indexOf($lens._panel.get_compositor_private()) + 1)
  .every(w => !w.visible || w.x + w.width <= $x))(global.get_window_actors())"
echo "the panel's menu is drawn over the lens"

# Both switches off in the settings file: the lens shows what lies beneath as it is.
printf '{"TalvexsEnabled": 0, "GreenStripesEnabled": 0}\n' >"$XDG_CONFIG_HOME/Talvex/defaults.json.new"
mv "$XDG_CONFIG_HOME/Talvex/defaults.json.new" "$XDG_CONFIG_HOME/Talvex/defaults.json"
wait_for "!$lens.settings['red-stripes'] && !$lens.settings['green-stripes']"
screenshot "$work/switched-off.png"
convert "$work/switched-off.png" -crop "$crop" +repage "$work/off.png"
differing="$(compare -metric AE \( "$work/off.png" -crop "$inner" +repage \) \
  \( "$work/beneath-crop.png" -crop "$inner" +repage \) null: 2>&1 || true)"
[ "$differing" = 0 ] || fail "with the stripes switched off the lens differs from beneath in $differing pixels"
echo "a change of the settings file shows in the lens"

keys Control_L h
wait_for "$lens.settings.held && $lens._panel.get_title() === 'Talvex (held)'"
move wayland 100 240
screenshot "$work/held.png"
convert "$work/held.png" -crop "$crop" +repage "$work/held-crop.png"
differing="$(compare -metric AE \( "$work/held-crop.png" -crop "$inner" +repage \) \
  \( "$work/off.png" -crop "$inner" +repage \) null: 2>&1 || true)"
[ "$differing" = 0 ] || fail "the held picture changed in $differing pixels when the window beneath went"
echo "Hold Picture keeps the picture"

# A managed window raised above the panel over the picture (a Wayland window kept above,
# as the panel is) is drawn over the lens as it is without it, also while the picture
# is held. (The program's own windows stay below the panel: mutter keeps the panel, a
# utility window of theirs, above them.)
gjs "$here/wayland-window.js" "$work/hidden.png" above &
above_window=$!
move above "$((x + 40))" "$((y + 30))"
above="$window_js('above')"
shell_eval "$above.make_above(); $above.raise(); 1" >/dev/null
wait_for "(a => a.indexOf($above.get_compositor_private()) > a.indexOf($lens._panel.get_compositor_private()))(global.get_window_actors())"
# Where it covers the picture, 2 pixels in from the picture's edges.
above_crop="$(shell_eval "(r => { const x1 = Math.max(r.x, $x + 2), y1 = Math.max(r.y, $y + 2);
  const x2 = Math.min(r.x + r.width, $x + $w - 2), y2 = Math.min(r.y + r.height, $y + $h - 2);
  return (x2 - x1) + 'x' + (y2 - y1) + '+' + x1 + '+' + y1; })($above.get_frame_rect())" | tr -d '"')"
differing="$(differing_over_lens above "$above_crop")"
[ "$differing" = 0 ] || fail "a window above the panel differs over the lens in $differing pixels (see $work)"
kill "$above_window"; wait "$above_window" || true
wait_for "!$above"
shell_eval "$lens._panel.activate(global.get_current_time()); 1" >/dev/null
wait_for "global.display.focus_window === $lens._panel"
echo "a window raised above the panel is drawn over the lens"

# Around the pointer, stripes on again: the area of the picture's size centred on the
# pointer (over the Wayland window, now left of the panel), striped as the program would.
keys Control_L h
wait_for "!$lens.settings.held"
# A new desktop background shows in the lens as on the desktop (the stripes still off).
shell_eval "(s => { s.set_string('picture-uri', ''); s.set_string('primary-color', '#406080'); })(
  new imports.gi.Gio.Settings({schema_id: 'org.gnome.desktop.background'})); 1" >/dev/null
for _ in $(seq 1 40); do
  screenshot "$work/background.png"
  colours="$(convert "$work/background.png" -alpha off -format "%[pixel:p{1200,100}] %[pixel:p{$((x + w - 10)),$((y + 10))}]" info:)"
  case "$colours" in "srgb(64,96,128) srgb(64,96,128)") break ;; esac
  sleep 0.25
done
[ "$colours" = "srgb(64,96,128) srgb(64,96,128)" ] || fail "the new background is not in the lens (desktop, lens: $colours)"
echo "a new desktop background shows in the lens"
printf '{"ViewArea": 1, "NameColours": 1}\n' >"$XDG_CONFIG_HOME/Talvex/defaults.json.new"
mv "$XDG_CONFIG_HOME/Talvex/defaults.json.new" "$XDG_CONFIG_HOME/Talvex/defaults.json"
wait_for "$lens.settings.area === 'pointer' && $lens.settings['red-stripes']"
click 300 420
wait_for "$focused === 'wayland'"
area="$(shell_eval "(a => [a.x, a.y].join(' '))($lens._shownArea($lens._pictureStage))" | tr -d '"')"
read -r ax ay <<<"$area"
[ "$ax" = "$((300 - (w + 1) / 2))" ] && [ "$ay" = "$((420 - (h - (h + 1) / 2)))" ] \
  || fail "the area around the pointer is at $ax, $ay"
screenshot "$work/pointer.png"
shell_eval "$lens._root.hide(); $lens._panel.get_compositor_private().hide()" >/dev/null
screenshot "$work/pointer-beneath.png"
shell_eval "$lens._panel.get_compositor_private().show(); $lens._root.show()" >/dev/null
convert "$work/pointer.png" -crop "$crop" +repage "$work/pointer-lens.png"
convert "$work/pointer-beneath.png" -crop "${w}x${h}+${ax}+${ay}" +repage "$work/pointer-area.png"
"$build/src/talvex" filter "$work/pointer-area.png" "$work/pointer-expected.png" --red 1 --green 1 --strength 100
differing="$(compare -metric AE \( "$work/pointer-lens.png" -crop "$inner" +repage \) \
  \( "$work/pointer-expected.png" -crop "$inner" +repage \) null: 2>&1 || true)"
[ "$differing" = 0 ] || fail "around the pointer the lens differs from the program's stripes in $differing pixels"
echo "around the pointer the lens follows it over a Wayland window"
# Name Colours: the colour reported is the one beneath the pointer, before the stripes.
beneath_colour="$(convert "$work/pointer-beneath.png" -format '[%[fx:int(255*p{300,420}.r)],%[fx:int(255*p{300,420}.g)],%[fx:int(255*p{300,420}.b)]]' info:)"
wait_for "JSON.stringify($lens._colour) === '$beneath_colour'"
echo "the colour under the pointer is reported as it is beneath: $beneath_colour"

screenshot "$work/named.png"

# The program names it in its title: over the teal block beneath, the title's text (Copy
# Colour Name, Ctrl+C, puts it on the clipboard as the title shows it in full) is a
# name and #008080. (The window's own name, _NET_WM_NAME, stays "Talvex".)
point 300 530
wait_for "JSON.stringify($lens._colour) === '[0,128,128]'"
shell_eval "$lens._panel.activate(global.get_current_time()); 1" >/dev/null
wait_for "global.display.focus_window === $lens._panel"
# The title follows the colour the shell reported a moment later: Ctrl+C again until
# the clipboard holds the teal's name.
copied="(St => { St.Clipboard.get_default().get_text(St.ClipboardType.CLIPBOARD,
  (clipboard, text) => { global._talvexClipboard = text; });
  return /^[a-z]+( [a-z]+)* \u00b7 #008080$/.test(global._talvexClipboard || ''); })(imports.gi.St)"
for _ in $(seq 1 20); do
  keys Control_L c
  [ "$(shell_eval "$copied" || true)" = true ] && break
  sleep 0.5
done
wait_for "$copied"
echo "the program's title names the colour beneath the pointer: $(shell_eval 'global._talvexClipboard')"
shell_eval "$window_js('wayland').activate(global.get_current_time()); 1" >/dev/null
wait_for "$focused === 'wayland'"

# Not in the overview, back after it.
shell_eval 'Main.overview.show(); 1' >/dev/null
wait_for "!$lens._root.visible && !$lens.drawing"
shell_eval 'Main.overview.hide(); 1' >/dev/null
wait_for "$lens._root.visible && $lens.drawing"
echo "the lens hides in the overview"
keys Control_L Alt_L l
wait_for "!$lens._panel"
echo "the show/hide key hides the panel while a Wayland window has the keyboard"
SCENE

# The extension in the form this shell loads: ES modules from 45 on.
form=legacy
[ "$(gnome-shell --version | sed -n 's/^GNOME Shell \([0-9]*\).*/\1/p')" -ge 45 ] 2>/dev/null && form=module
status=0
TALVEX_GNOME_EXTENSIONS="$build/gnome-shell/$form/talvex-lens@talvex.org" \
  "$here/run-in-session.sh" "$work/with" bash "$work/scene.sh" "$work" "$build" "$here" yes || status=$?
[ "$status" = 0 ] || exit "$status"
"$here/run-in-session.sh" "$work/without" bash "$work/scene.sh" "$work" "$build" "$here" no

# Sourced by what runs inside run-in-session.sh (the checks, the cost benchmark): the
# shell's windows through org.gnome.Shell.Eval (shell_eval).
fail() { echo "FAIL: $*"; exit 1; }
# wait_for JS: until the shell's answer to JS is true, 20 s at most.
wait_for() {
  for _ in $(seq 1 80); do
    [ "$(shell_eval "$1" || true)" = true ] && return 0
    sleep 0.25
  done
  fail "timed out waiting for: $1"
}
window_js='(title => global.get_window_actors().map(a => a.meta_window).find(w => w.get_title() === title))'
# move TITLE X Y: once the window is shown (a move before that is undone by its
# placement), and again until it holds.
move() {
  wait_for "!!$window_js('$1') && $window_js('$1').get_compositor_private().visible"
  wait_for "(w => w.get_frame_rect().x === $2 && w.get_frame_rect().y === $3 ||
    (w.move_frame(true, $2, $3), false))($window_js('$1'))"
}
screenshot() {
  gdbus call --session --dest org.gnome.Shell.Screenshot --object-path /org/gnome/Shell/Screenshot \
    --method org.gnome.Shell.Screenshot.Screenshot false false "$1" >/dev/null
}
# The lens object of the extension, and a count of the stage's frames from now on
# (global._talvexFrames).
lens='Main.extensionManager.lookup("talvex-lens@talvex.org").stateObj._service._lens'
count_frames() {
  shell_eval 'if (global._talvexFrames === undefined) { global._talvexFrames = 0;
    global.stage.connect("after-paint", () => global._talvexFrames++); } 1' >/dev/null
}

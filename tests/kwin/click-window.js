// A native Wayland window for the KWin checks: shows the image ARGV[0], undecorated, at
// its own size, titled ARGV[1], and prints "click X Y" for each button press on it;
// once the image ARGV[2] (if given) appears, shows that instead.
imports.gi.versions.Gtk = '4.0';
imports.gi.versions.Gdk = '4.0';
const {Gdk, Gtk, GLib} = imports.gi;

const [file, title, changed] = ARGV;
Gtk.init();
const picture = Gtk.Picture.new_for_paintable(Gdk.Texture.new_from_filename(file));
picture.set_can_shrink(false);
const clicks = new Gtk.GestureClick();
clicks.connect('pressed', (gesture, count, x, y) => print(`click ${Math.round(x)} ${Math.round(y)}`));
const window = new Gtk.Window({title, decorated: false, resizable: false});
window.set_child(picture);
window.add_controller(clicks);
window.present();
if (changed) {
    GLib.timeout_add(GLib.PRIORITY_DEFAULT, 100, () => {
        if (!GLib.file_test(changed, GLib.FileTest.EXISTS))
            return GLib.SOURCE_CONTINUE;
        picture.set_paintable(Gdk.Texture.new_from_filename(changed));
        return GLib.SOURCE_REMOVE;
    });
}
const loop = new GLib.MainLoop(null, false);
window.connect('close-request', () => loop.quit());
loop.run();

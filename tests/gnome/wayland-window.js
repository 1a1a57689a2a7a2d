// A native Wayland window for the checks: shows the image ARGV[0], undecorated, at its
// own size, titled ARGV[1]. With ARGV[2] (milliseconds) the picture changes that often
// (its opacity alternates between full and half), as a window whose content keeps
// changing. Run with gjs under the headless shell.
imports.gi.versions.Gdk = '4.0';
imports.gi.versions.Gtk = '4.0';
const {Gdk, Gtk, GLib} = imports.gi;

const [file, title, period] = ARGV;
Gtk.init();
const texture = Gdk.Texture.new_from_filename(file);
const window = new Gtk.Window({title, decorated: false, resizable: false});
const picture = Gtk.Picture.new_for_paintable(texture);
picture.set_size_request(texture.get_width(), texture.get_height());
picture.set_can_shrink(false);
window.set_child(picture);
// With TALVEX_CLICKS set, each click on the picture is a line "X Y" (its pixels) of that
// file, so that the checks see where a click arrived.
const clicksFile = GLib.getenv('TALVEX_CLICKS');
const clicked = [];
const clicks = new Gtk.GestureClick();
clicks.connect('pressed', (gesture, n, x, y) => {
    clicked.push(`${Math.floor(x)} ${Math.floor(y)}\n`);
    if (clicksFile)
        GLib.file_set_contents(clicksFile, clicked.join(''));
});
picture.add_controller(clicks);
window.present();
if (period) {
    GLib.timeout_add(GLib.PRIORITY_DEFAULT, Number(period), () => {
        picture.opacity = picture.opacity === 1 ? 0.5 : 1;
        return GLib.SOURCE_CONTINUE;
    });
}
const loop = new GLib.MainLoop(null, false);
window.connect('close-request', () => loop.quit());
loop.run();

// The test-only hooks of ../test-extension in the module form that GNOME Shell 45 and
// later load (48 has no --unsafe-mode switch: this is the way to it there).
import * as Main from 'resource:///org/gnome/shell/ui/main.js';
import {Extension} from 'resource:///org/gnome/shell/extensions/extension.js';

export default class TestHooks extends Extension {
    enable() {
        global.context.unsafe_mode = true;
        Main.messageTray.bannerBlocked = true;
    }

    disable() {}
}

// Test-only hooks for the headless checks: unsafe mode, so that the check script can
// use org.gnome.Shell.Eval and org.gnome.Shell.Screenshot. Never installed by the
// package. The form 43-44 load (legacy imports); 45+ load ../test-extension-module.
/* exported init */
class TestHooks {
    enable() {
        global.context.unsafe_mode = true;
        // No banners over the pictures the checks compare.
        imports.ui.main.messageTray.bannerBlocked = true;
    }

    disable() {}
}

function init() {
    return new TestHooks();
}

// The lens of a Talvex panel, drawn by the shell: over the panel's picture area, the
// desktop background and the windows beneath the panel, through Talvex's own stripe
// program. Talvex (an X11 client under Xwayland) cannot see beneath itself on Wayland;
// it tells this extension over the session bus which window is its panel, where the
// picture lies and how to draw it (org.talvex.Lens1, docs/LENS-DBUS.md).
//
// This file is the body of the extension; the build wraps it for each shell
// generation (legacy imports for 43-44, an ES module for 45 and later) and fills in
// the interface and the stripe shader, generated from the program's own stripe text.
//
// Actors, above global.window_group (inside it mutter would cull what the opaque panel
// covers), none of them reactive:
//   root
//     cache      at the picture, clipped; a plain offscreen effect keeps the striped
//                picture, so the stripe program runs again only when something in the
//                lens changed, not on every frame of the stage
//       lens     the stripe effect, clipped to the picture; magnified, it enlarges the
//                middle of what it painted (nearest texel) before striping, so the
//                stripes keep their size
//         world  moved so that the shown area (beneath the panel, or around the
//                pointer) lies under the picture: a background actor of its own per
//                monitor, then clones of each window below the panel that meets
//                that area
//     above      at the picture, clipped: clones of the windows above the panel
//                (Talvex's own menus), drawn again over the lens, unstriped
//     catcher    over the picture but its bottom grip rows, reactive only while the
//                picture is magnified: it takes the clicks there, and each is made
//                again by a virtual pointer at the place the picture shows, with the
//                panel's surface out of picking meanwhile (the program's own input
//                region cannot be trusted over the catcher)

const BUS_NAME = 'org.talvex.Lens';
const OBJECT_PATH = '/org/talvex/Lens';
const INTERFACE_VERSION = 1;
const ERROR_BUSY = 'org.talvex.Lens1.Error.Busy';
const ERROR_NOT_ATTACHED = 'org.talvex.Lens1.Error.NotAttached';
const INTERFACE_XML = @LENS_INTERFACE_XML@;
const STRIPE_DECLARATIONS = @STRIPE_DECLARATIONS@;
const STRIPE_CODE = @STRIPE_CODE@;

// The squares at the picture's bottom corners that keep taking clicks (resize grips).
const GRIP_SIZE = 8;

// The pointer's own tracker: it says when the pointer moved, also over Wayland windows
// (whose events never reach the stage's handlers). Found through the backend since 48.
function cursorTracker() {
    return Meta.CursorTracker.get_for_display
        ? Meta.CursorTracker.get_for_display(global.display)
        : global.backend.get_cursor_tracker();
}

// The program's click-through rule: over the picture clicks pass to what lies beneath,
// except in the two grip squares at its bottom corners (stage y runs down).
function passesClicks(picture, x, y) {
    const inside = x >= picture.x && x < picture.x + picture.width &&
        y >= picture.y && y < picture.y + picture.height;
    if (!inside)
        return false;
    const inGripRows = y >= picture.y + picture.height - GRIP_SIZE;
    const inGripColumns = x < picture.x + GRIP_SIZE || x >= picture.x + picture.width - GRIP_SIZE;
    return !(inGripRows && inGripColumns);
}

// Where Clutter's offscreen effects put an actor of w × h pixels (at 0, 0, no
// transformation) in their target: the box is padded for sub-pixel safety, to
// x2 = ceil(w + 0.75) and x1 = x2 - w - 3 (clutter's enlarge-for-effects rule).
function offscreenTarget(w, h) {
    const x2 = Math.ceil(w + 0.75);
    const y2 = Math.ceil(h + 0.75);
    return {offset: [x2 - w - 3, y2 - h - 3], size: [w + 3, h + 3]};
}

// Magnify along one axis of `size` pixels at `factor`: the middle ceil(size / factor)
// pixels are shown, pixel p showing pixel base + floor((p + offset) / factor) of the
// area (the program's own rule, so both centre odd sizes alike).
function magnifyAxis(size, factor) {
    const shown = Math.ceil(size / factor);
    return {base: Math.floor((size - shown) / 2), offset: Math.floor((shown * factor - size) / 2)};
}

// The place of the area that the picture's pixel (px, py) (from its top-left) shows.
function shownPlace(area, px, py, factor) {
    const at = (size, p) => {
        const axis = magnifyAxis(size, factor);
        return axis.base + Math.floor((Math.floor(p) + axis.offset) / factor);
    };
    return [area.x + at(area.width, px), area.y + at(area.height, py)];
}

// CIELAB (D65) of a colour 0..255 per channel, as the program converts it for finding.
function cielab([red, green, blue]) {
    const linear = v => {
        const c = v / 255;
        return c <= 0.04045 ? c / 12.92 : Math.pow((c + 0.055) / 1.055, 2.4);
    };
    const curve = t => t > 0.008856 ? Math.cbrt(t) : 7.787 * t + 16 / 116;
    const [r, g, b] = [linear(red), linear(green), linear(blue)];
    const fx = curve((0.4124 * r + 0.3576 * g + 0.1805 * b) / 0.95047);
    const fy = curve(0.2126 * r + 0.7152 * g + 0.0722 * b);
    const fz = curve((0.0193 * r + 0.1192 * g + 0.9505 * b) / 1.08883);
    return [116 * fy - 16, 500 * (fx - fy), 200 * (fy - fz)];
}

// "#RRGGBB" as [r, g, b], or null.
function parseColour(text) {
    const match = /^#([0-9a-fA-F]{2})([0-9a-fA-F]{2})([0-9a-fA-F]{2})$/.exec(text);
    return match ? match.slice(1).map(h => parseInt(h, 16)) : null;
}

function rectsMeet(a, b) {
    return a.x < b.x + b.width && b.x < a.x + a.width &&
        a.y < b.y + b.height && b.y < a.y + a.height;
}

// Keeps the striped picture: painted again as it is until something in the lens changes.
const CacheEffect = GObject.registerClass(
class TalvexCacheEffect extends Clutter.OffscreenEffect {});

// The stripe program as a fragment snippet over the picture the lens actor painted. Its
// offscreen target holds that picture unstriped: while the picture is held (Hold
// Picture) the target is kept whatever changes beneath, and a settings change stripes
// it again.
const StripeEffect = GObject.registerClass(
class TalvexStripeEffect extends Shell.GLSLEffect {
    setHeld(held) {
        if (held === Boolean(this._held))
            return;
        const released = this._held && !held;
        this._held = held;
        // What changed during the hold was not painted: the picture is made afresh.
        const actor = this.get_actor();
        if (released && actor)
            actor.queue_redraw();
        this.queue_repaint();
    }

    // Each paint runs the stripe program (the cache above asks only when the lens
    // changed); counted, so that this can be watched.
    vfunc_paint(node, paintContext, flags) {
        this.stripeDraws = (this.stripeDraws || 0) + 1;
        if (this._held)
            flags &= ~Clutter.EffectPaintFlags.ACTOR_DIRTY;
        super.vfunc_paint(node, paintContext, flags);
    }

    vfunc_build_pipeline() {
        // Shell.SnippetHook went away in 48, for Cogl's own.
        const hook = Shell.SnippetHook ? Shell.SnippetHook.FRAGMENT : Cogl.SnippetHook.FRAGMENT;
        this.add_glsl_snippet(hook, STRIPE_DECLARATIONS, STRIPE_CODE, false);
    }

    // Stripes again only when a value changed: the lens is laid out afresh on every
    // change of the windows anywhere, and most leave it as it was.
    setValues(values) {
        this._values = this._values || new Map();
        let changed = false;
        for (const [name, value] of Object.entries(values)) {
            const array = Array.isArray(value) ? value : [value];
            const last = this._values.get(name);
            if (last && last.length === array.length && last.every((v, i) => v === array[i]))
                continue;
            this._values.set(name, array);
            this.set_uniform_float(this.get_uniform_location(name), array.length, array);
            changed = true;
        }
        if (changed)
            this.queue_repaint();
    }
});

// The settings the program sends (Configure), with the values a fresh lens starts with.
function defaultSettings() {
    return {
        'red-stripes': true,
        'green-stripes': true,
        'strength': 1.0,
        'area': 'beneath',
        'held': false,
        'scale': 1.0,
        'shortcut': '',
        'name-colours': false,
        'magnification': 1,
        'find-colour': '',
        'find-range': 16.0,
        'picking': false,
    };
}

class Lens {
    constructor(onDrawingChanged, onColour) {
        this._onDrawingChanged = onDrawingChanged;
        this._onColour = onColour;
        this._colour = null;
        this._settings = defaultSettings();
        this._panelXid = 0;
        this._panel = null;
        this._picture = null; // in the panel's client area: {x, y, width, height}
        this._drawing = false;
        this._windowSignals = new Map();
        this._below = [];
        this._above = [];
        this._updateId = 0;
        this._pictureStage = null;
        this._surface = null;

        this._root = new Clutter.Actor({reactive: false, visible: false});
        this._cache = new Clutter.Actor({reactive: false, clip_to_allocation: true});
        this._cache.add_effect(new CacheEffect());
        this._lens = new Clutter.Actor({reactive: false, clip_to_allocation: true});
        this._stripes = new StripeEffect();
        this._lens.add_effect(this._stripes);
        this._world = new Clutter.Actor({reactive: false});
        this._aboveLens = new Clutter.Actor({reactive: false, clip_to_allocation: true});
        this._aboveWorld = new Clutter.Actor({reactive: false});
        this._root.add_child(this._cache);
        this._cache.add_child(this._lens);
        this._lens.add_child(this._world);
        this._root.add_child(this._aboveLens);
        this._aboveLens.add_child(this._aboveWorld);
        this._catcher = new Clutter.Actor({reactive: false});
        this._catcher.connect('button-press-event', () => Clutter.EVENT_STOP);
        this._catcher.connect('button-release-event', (actor, event) => {
            this._replayClick(event.get_coords(), event.get_button());
            return Clutter.EVENT_STOP;
        });
        this._root.add_child(this._catcher);
        this._replaying = false;
        this._virtualPointer = null;
        // The desktop background: clones of background actors of our own, hidden, made
        // by the shell's own background managers (one per monitor). Not clones of the
        // shell's backgrounds: those draw only what mutter found unobscured on the stage
        // (since 48 nothing under the opaque panel). Not our actors themselves: painted
        // directly at the stage's origin, a background would draw only the stage's
        // redraw clip into the cached picture.
        this._backgrounds = new Clutter.Actor({reactive: false});
        this._world.add_child(this._backgrounds);
        this._backgroundSources = new Clutter.Actor({reactive: false, visible: false});
        this._root.add_child(this._backgroundSources);
        this._backgroundManagers = [];

        const uiGroup = Main.layoutManager.uiGroup;
        uiGroup.insert_child_above(this._root, global.window_group);

        this._signals = [
            [global.display, global.display.connect('restacked', () => this._queueUpdate())],
            [global.display, global.display.connect('window-created', (d, w) => {
                this._watchWindow(w);
                this._queueUpdate();
            })],
            [global.workspace_manager, global.workspace_manager.connect(
                'active-workspace-changed', () => this._queueUpdate())],
            [Main.overview, Main.overview.connect('showing', () => this._queueUpdate())],
            [Main.overview, Main.overview.connect('hidden', () => this._queueUpdate())],
            [Main.layoutManager, Main.layoutManager.connect('monitors-changed', () => {
                this._makeBackgrounds();
                this._queueUpdate();
            })],
        ];
        const tracker = cursorTracker();
        this._signals.push([tracker, tracker.connect('position-invalidated',
            () => this._pointerMoved())]);
        for (const actor of global.get_window_actors())
            this._watchWindow(actor.meta_window);
        this._makeBackgrounds();
        this._applySettings();
    }

    destroy() {
        this._setPassClicks(null);
        if (this._paintId)
            global.stage.disconnect(this._paintId);
        this._paintId = 0;
        if (this._updateId)
            GLib.source_remove(this._updateId);
        this._updateId = 0;
        for (const [object, id] of this._signals)
            object.disconnect(id);
        for (const [window, ids] of this._windowSignals)
            ids.forEach(id => window.disconnect(id));
        this._windowSignals.clear();
        this._destroyBackgrounds();
        this._root.destroy();
    }

    get drawing() {
        return this._drawing;
    }

    attach(xid, picture) {
        this._panelXid = xid;
        this._panel = null;
        this._picture = picture;
        this._queueUpdate();
    }

    setPicture(picture) {
        this._picture = picture;
        this._queueUpdate();
    }

    detach() {
        this._panelXid = 0;
        this._panel = null;
        this._picture = null;
        this._settings = defaultSettings();
        this._applySettings();
        this._update();
    }

    configure(settings) {
        const defaults = defaultSettings();
        for (const [key, value] of Object.entries(settings)) {
            if (key in defaults && typeof value === typeof defaults[key])
                this._settings[key] = value;
        }
        this._applySettings();
        this._queueUpdate();
    }

    get settings() {
        return this._settings;
    }

    _applySettings() {
        const s = this._settings;
        this._stripes.setValues({
            showRed: s['red-stripes'] ? 1 : 0,
            showGreen: s['green-stripes'] ? 1 : 0,
            strength: Math.min(Math.max(s['strength'], 0), 1),
            patternscale: s['scale'] > 0 ? s['scale'] : 1,
        });
        const found = parseColour(s['find-colour']);
        this._stripes.setValues({
            finding: found ? 1 : 0,
            findLab: found ? cielab(found) : [0, 0, 0],
            findRange: s['find-range'] >= 0 ? s['find-range'] : 16,
        });
        this._stripes.setHeld(s['held']);
    }

    _watchWindow(window) {
        if (this._windowSignals.has(window))
            return;
        const queue = () => this._queueUpdate();
        this._windowSignals.set(window, [
            window.connect('position-changed', queue),
            window.connect('size-changed', queue),
            window.connect('notify::minimized', queue),
            window.connect('unmanaged', () => {
                const ids = this._windowSignals.get(window) || [];
                ids.forEach(id => window.disconnect(id));
                this._windowSignals.delete(window);
                if (window === this._panel)
                    this._panel = null;
                this._queueUpdate();
            }),
        ]);
    }

    // The pointer moved: the area around it follows, and the picture passes clicks while
    // the pointer is over it.
    _pointerMoved() {
        if (!this._pictureStage)
            return;
        if (this._settings['area'] === 'pointer')
            this._update();
        this._updateClickThrough();
        this._nameColour();
    }

    // 1..4, whole.
    _magnification() {
        return Math.min(Math.max(Math.floor(this._settings['magnification']), 1), 4);
    }

    // Name Colours: the colour under the pointer as it is beneath, before the stripes:
    // one pixel of the stage painted without the lens and the panel (synchronously,
    // offscreen; the screen is not touched). Over a magnified picture, the colour of
    // the place it shows there. Reported when it changes.
    _nameColour() {
        if (!this._settings['name-colours'] || !this._root.visible || !this._panel)
            return;
        let [x, y] = global.get_pointer();
        const picture = this._pictureStage;
        const area = this._shownArea(picture);
        const inside = x >= area.x && x < area.x + area.width &&
            y >= area.y && y < area.y + area.height;
        if (!inside) {
            this._reportColour(null);
            return;
        }
        if (area === picture && this._magnification() > 1)
            [x, y] = shownPlace(area, x - area.x, y - area.y, this._magnification());
        const panelActor = this._panel.get_compositor_private();
        const screenshot = new Shell.Screenshot();
        this._root.hide();
        panelActor.hide();
        try {
            screenshot.pick_color(x, y, (source, result) => {
                // The finish's success flag goes where an error is thrown instead.
                let colour = null;
                try {
                    const answer = source.pick_color_finish(result);
                    colour = Array.isArray(answer) ? answer[answer.length - 1] : answer;
                } catch (e) {
                    log(`Talvex lens: no colour under the pointer: ${e.message}`);
                }
                this._reportColour(colour ? [colour.red, colour.green, colour.blue] : null);
            });
        } finally {
            panelActor.show();
            this._root.show();
        }
    }

    _reportColour(rgb) {
        const same = rgb === null ? this._colour === null
            : this._colour !== null && rgb.every((v, i) => v === this._colour[i]);
        if (same)
            return;
        this._colour = rgb;
        this._onColour(rgb);
    }

    // Mutter 43.x-44.7 resets the X Shape input region of an Xwayland window at its next
    // commit, so the program's own click-through does not hold there: over the picture
    // the panel's surface stops taking part in picking, and the pointer is picked again.
    // Later shells keep the region, and have no way to pick again at once (a surface
    // made reactive again would go on missing the clicks until the next frame). While
    // the program picks a colour to find, the picture takes the click. While a click is
    // made again the surface stays out of picking on every shell: the program sets its
    // region from where the X server last saw the pointer, and the server sees nothing
    // of a pointer over the catcher, so the region may still take the whole panel (as
    // when the pointer last left through the title bar).
    _updateClickThrough() {
        const actor = this._panel && this._panel.get_compositor_private();
        const surface = actor ? actor.get_first_child() : null;
        if (this._replaying) {
            this._setPassClicks(surface);
            return;
        }
        if (SHELL_KEEPS_X11_INPUT_REGION) {
            this._setPassClicks(null);
            return;
        }
        const [x, y] = global.get_pointer();
        const pass = this._root.visible && this._pictureStage && !this._settings['picking'] &&
            passesClicks(this._pictureStage, x, y);
        this._setPassClicks(pass ? surface : null);
    }

    // Magnified, a click on the picture goes to the place the picture shows there: the
    // catcher took it; once a frame has picked without the catcher, a virtual pointer
    // moves to that place, clicks and comes back, and then the catcher takes clicks
    // again.
    _replayClick([x, y], button) {
        const picture = this._pictureStage;
        if (!picture || this._replaying)
            return;
        const [mx, my] = shownPlace(picture, x - picture.x, y - picture.y, this._magnification());
        // The panel's surface leaves picking before the catcher does, so that no pick
        // meets the panel over the picture, and comes back after it.
        this._replaying = true;
        this._updateClickThrough();
        this._updateCatcher();
        if (!this._virtualPointer) {
            this._virtualPointer = Clutter.get_default_backend().get_default_seat()
                .create_virtual_device(Clutter.InputDeviceType.POINTER_DEVICE);
        }
        const pointer = this._virtualPointer;
        const time = () => global.get_current_time() * 1000;
        // Each step after a frame: the shell picks what lies under the pointer as it
        // paints.
        const steps = [
            () => pointer.notify_absolute_motion(time(), mx, my),
            () => {
                pointer.notify_button(time(), button, Clutter.ButtonState.PRESSED);
                pointer.notify_button(time(), button, Clutter.ButtonState.RELEASED);
            },
            () => pointer.notify_absolute_motion(time(), x, y),
            () => {
                this._replaying = false;
                this._updateCatcher();
                this._updateClickThrough();
            },
        ];
        const next = () => {
            steps.shift()();
            if (steps.length)
                this._afterFrame(next);
        };
        this._afterFrame(next);
    }

    // `then` after the next frame is painted (one is asked for).
    _afterFrame(then) {
        this._paintId = global.stage.connect('after-paint', () => {
            global.stage.disconnect(this._paintId);
            this._paintId = 0;
            then();
        });
        global.stage.queue_redraw();
    }

    // The catcher covers the picture but its bottom grip rows, taking clicks while the
    // picture is magnified and shown, not while the program picks a colour (that click
    // is the program's) nor while a click is made again.
    _updateCatcher() {
        const picture = this._pictureStage;
        const takes = Boolean(picture) && this._root.visible && this._magnification() > 1 &&
            !this._settings['picking'] && !this._replaying;
        if (picture) {
            this._catcher.set_position(picture.x, picture.y);
            this._catcher.set_size(picture.width, Math.max(picture.height - GRIP_SIZE, 0));
        }
        if (this._catcher.reactive !== takes)
            this._catcher.reactive = takes;
    }

    _setPassClicks(surface) {
        if (this._surface === surface)
            return;
        if (this._surface)
            this._surface.reactive = true;
        this._surface = surface;
        if (surface)
            surface.reactive = false;
        // Gone in 48, where an actor that stops being reactive is picked again at once.
        if (global.stage.repick_device) {
            const seat = Clutter.get_default_backend().get_default_seat();
            global.stage.repick_device(seat.get_pointer());
        }
    }

    _queueUpdate() {
        if (this._updateId)
            return;
        this._updateId = GLib.idle_add(GLib.PRIORITY_DEFAULT, () => {
            this._updateId = 0;
            this._update();
            return GLib.SOURCE_REMOVE;
        });
    }

    _findPanel() {
        if (this._panel || !this._panelXid)
            return this._panel;
        for (const actor of global.get_window_actors()) {
            const window = actor.meta_window;
            // An X11 window's description is its X id in hexadecimal.
            if (window.get_client_type() === Meta.WindowClientType.X11 &&
                parseInt(window.get_description(), 16) === this._panelXid) {
                this._panel = window;
                break;
            }
        }
        return this._panel;
    }

    // The picture in stage coordinates, or null.
    _pictureOnStage(panel) {
        if (!this._picture || this._picture.width <= 0 || this._picture.height <= 0)
            return null;
        const client = panel.frame_rect_to_client_rect(panel.get_frame_rect());
        return {
            x: client.x + this._picture.x,
            y: client.y + this._picture.y,
            width: this._picture.width,
            height: this._picture.height,
        };
    }

    // The area shown: the picture, or in pointer mode an area of its size centred on the
    // pointer while the pointer is not over the picture (the program's own rule, in y-down
    // stage coordinates).
    _shownArea(picture) {
        if (this._settings['area'] !== 'pointer')
            return picture;
        const [px, py] = global.get_pointer();
        const inside = px >= picture.x && px < picture.x + picture.width &&
            py > picture.y && py <= picture.y + picture.height;
        if (inside)
            return picture;
        const nearest = v => Math.sign(v) * Math.round(Math.abs(v));
        return {
            x: px - nearest(picture.width * 0.5),
            y: py - (picture.height - nearest(picture.height * 0.5)),
            width: picture.width,
            height: picture.height,
        };
    }

    _panelShown(panel) {
        const actor = panel.get_compositor_private();
        return actor && actor.visible && !panel.minimized && !Main.overview.visible &&
            panel.located_on_workspace(global.workspace_manager.get_active_workspace());
    }

    _setDrawing(drawing) {
        if (this._drawing === drawing)
            return;
        this._drawing = drawing;
        this._onDrawingChanged(drawing);
    }

    _update() {
        const panel = this._findPanel();
        const picture = panel ? this._pictureOnStage(panel) : null;
        this._pictureStage = picture;
        if (!panel || !picture) {
            this._setPassClicks(null);
            this._root.hide();
            this._setClones(this._world, this._below, []);
            this._setClones(this._aboveWorld, this._above, []);
            this._setDrawing(false);
            return;
        }
        const actors = global.get_window_actors();
        const index = actors.indexOf(panel.get_compositor_private());
        const visible = actor => actor.visible && !actor.meta_window.minimized;
        // A held picture keeps what lay beneath; windows above the panel still show over it.
        if (!this._settings['held']) {
            const area = this._shownArea(picture);
            this._world.set_position(-area.x, -area.y);
            this._setClones(this._world, this._below, actors.slice(0, Math.max(index, 0))
                .filter(a => visible(a) && rectsMeet(a.meta_window.get_buffer_rect(), area)));
        }
        this._setClones(this._aboveWorld, this._above, actors.slice(index + 1)
            .filter(a => visible(a) && rectsMeet(a.meta_window.get_buffer_rect(), picture)));
        for (const actor of [this._cache, this._aboveLens])
            actor.set_position(picture.x, picture.y);
        for (const actor of [this._cache, this._lens, this._aboveLens])
            actor.set_size(picture.width, picture.height);
        this._aboveWorld.set_position(-picture.x, -picture.y);
        const target = offscreenTarget(picture.width, picture.height);
        const factor = this._magnification();
        const across = magnifyAxis(picture.width, factor), down = magnifyAxis(picture.height, factor);
        this._stripes.setValues({
            lensSize: [picture.width, picture.height],
            targetSize: target.size,
            targetOffset: target.offset,
            magnification: factor,
            magnifyBase: [across.base, down.base],
            magnifyOffset: [across.offset, down.offset],
        });
        const shown = this._panelShown(panel);
        this._root.visible = shown;
        this._updateCatcher();
        this._updateClickThrough();
        this._setDrawing(shown);
    }

    // One background per monitor, as the shell draws it there, at the monitor's place.
    // A manager replaces its actor when the background changes: its clone follows.
    _makeBackgrounds() {
        this._destroyBackgrounds();
        Main.layoutManager.monitors.forEach((monitor, index) => {
            const manager = new Background.BackgroundManager({
                container: this._backgroundSources, monitorIndex: index,
            });
            const clone = new Clutter.Clone({
                source: manager.backgroundActor, reactive: false, x: monitor.x, y: monitor.y,
            });
            manager.connect('changed', () => {
                clone.source = manager.backgroundActor;
            });
            this._backgrounds.add_child(clone);
            this._backgroundManagers.push(manager);
        });
    }

    _destroyBackgrounds() {
        this._backgrounds.destroy_all_children();
        this._backgroundManagers.splice(0).forEach(manager => manager.destroy());
    }

    // Keeps one clone per source in `sources`, in stacking order, each bound to its
    // source's position.
    _setClones(parent, clones, sources) {
        const same = clones.length === sources.length &&
            clones.every((clone, i) => clone.source === sources[i]);
        if (same)
            return;
        clones.splice(0).forEach(clone => clone.destroy());
        for (const source of sources) {
            const clone = new Clutter.Clone({source, reactive: false});
            clone.add_constraint(new Clutter.BindConstraint({
                source, coordinate: Clutter.BindCoordinate.POSITION,
            }));
            parent.add_child(clone);
            clones.push(clone);
        }
    }
}

// The bus side: one writer, the program that attached; its settings, its panel. When
// its connection goes, so does the lens.
class LensService {
    constructor() {
        this._lens = new Lens(drawing => this._drawingChanged(drawing),
            rgb => this._dbus.emit_signal('ColourUnderPointer', new GLib.Variant('(b(ddd))',
                [rgb !== null, (rgb || [0, 0, 0]).map(v => v / 255)])));
        this._owner = null;
        this._ownerWatch = 0;
        this._shortcutAction = 0;
        this._acceleratorId = global.display.connect('accelerator-activated',
            (display, action) => {
                if (action === this._shortcutAction && this._shortcutAction)
                    this._dbus.emit_signal('ShortcutActivated', null);
            });
        this._dbus = Gio.DBusExportedObject.wrapJSObject(INTERFACE_XML, this);
        this._dbus.export(Gio.DBus.session, OBJECT_PATH);
        this._nameId = Gio.bus_own_name_on_connection(Gio.DBus.session, BUS_NAME,
            Gio.BusNameOwnerFlags.NONE, null, null);
    }

    destroy() {
        Gio.bus_unown_name(this._nameId);
        this._dbus.unexport();
        this._release();
        global.display.disconnect(this._acceleratorId);
        this._lens.destroy();
    }

    get Version() {
        return INTERFACE_VERSION;
    }

    get Drawing() {
        return this._lens.drawing;
    }

    // A method of another caller than the one attached is refused.
    _fromOwner(invocation) {
        if (this._owner && this._owner !== invocation.get_sender()) {
            invocation.return_dbus_error(ERROR_BUSY, 'Another program draws a lens here');
            return false;
        }
        return true;
    }

    _picture([x, y, width, height]) {
        return {x, y, width, height};
    }

    AttachAsync([xid, picture], invocation) {
        if (!this._fromOwner(invocation))
            return;
        if (!this._owner) {
            this._owner = invocation.get_sender();
            this._ownerWatch = Gio.bus_watch_name_on_connection(Gio.DBus.session, this._owner,
                Gio.BusNameWatcherFlags.NONE, null, () => this._release());
        }
        this._lens.attach(xid, this._picture(picture));
        invocation.return_value(null);
    }

    SetPictureAsync([picture], invocation) {
        if (!this._fromOwner(invocation))
            return;
        if (!this._owner) {
            invocation.return_dbus_error(ERROR_NOT_ATTACHED, 'Attach first');
            return;
        }
        this._lens.setPicture(this._picture(picture));
        invocation.return_value(null);
    }

    ConfigureAsync([settings], invocation) {
        if (!this._fromOwner(invocation))
            return;
        if (!this._owner) {
            invocation.return_dbus_error(ERROR_NOT_ATTACHED, 'Attach first');
            return;
        }
        const values = {};
        for (const [key, variant] of Object.entries(settings))
            values[key] = variant.deepUnpack();
        const shortcut = this._lens.settings['shortcut'];
        this._lens.configure(values);
        if (this._lens.settings['shortcut'] !== shortcut)
            this._grabShortcut(this._lens.settings['shortcut']);
        invocation.return_value(null);
    }

    DetachAsync(params, invocation) {
        if (!this._fromOwner(invocation))
            return;
        this._release();
        invocation.return_value(null);
    }

    _release() {
        if (this._ownerWatch)
            Gio.bus_unwatch_name(this._ownerWatch);
        this._ownerWatch = 0;
        this._owner = null;
        this._grabShortcut('');
        this._lens.detach();
    }

    // The show/hide key, grabbed by the shell so that it works whichever window has the
    // keyboard.
    _grabShortcut(accelerator) {
        if (this._shortcutAction) {
            global.display.ungrab_accelerator(this._shortcutAction);
            Main.wm.allowKeybinding(Meta.external_binding_name_for_action(this._shortcutAction),
                Shell.ActionMode.NONE);
        }
        this._shortcutAction = 0;
        if (!accelerator)
            return;
        const action = global.display.grab_accelerator(accelerator, Meta.KeyBindingFlags.NONE);
        if (action === Meta.KeyBindingAction.NONE) {
            log(`Talvex lens: the key ${accelerator} could not be grabbed`);
            return;
        }
        this._shortcutAction = action;
        Main.wm.allowKeybinding(Meta.external_binding_name_for_action(action),
            Shell.ActionMode.NORMAL | Shell.ActionMode.OVERVIEW);
    }

    _drawingChanged(drawing) {
        this._dbus.emit_property_changed('Drawing', GLib.Variant.new_boolean(drawing));
    }
}

class TalvexLens {
    enable() {
        this._service = new LensService();
    }

    disable() {
        this._service.destroy();
        this._service = null;
    }
}

/* fake-click: for each line "X Y" of standard input, a left click at X,Y (for "X Y move" the
 * pointer only moves there, "X Y down" and "X Y up" press or let go there, for drags; "key A B C"
 * presses those evdev keys together) of a KWin Wayland
 * session, through KWin's fake input protocol (org_kde_kwin_fake_input, which KWin grants to any
 * client). For the checks only. */
#include <linux/input-event-codes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wayland-client.h>

#include "fake-input-client-protocol.h"

static struct org_kde_kwin_fake_input* input;

static void global(void* data, struct wl_registry* registry, uint32_t name, const char* interface,
                   uint32_t version) {
    (void)data;
    if (strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && version >= 3)
        input = wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface,
                                 version < 4 ? version : 4);
}

static void global_remove(void* data, struct wl_registry* registry, uint32_t name) {
    (void)data, (void)registry, (void)name;
}

static const struct wl_registry_listener listener = {global, global_remove};

/* "key A B C": the evdev keys pressed in that order, then let go in the reverse one. */
static void keys(struct wl_display* display, const char* line) {
    int codes[8], count = 0, used = 0;
    while (count < 8 && sscanf(line, "%d%n", &codes[count], &used) == 1) {
        line += used;
        ++count;
    }
    if (wl_proxy_get_version((struct wl_proxy*)input) < 4) {
        printf("no keys\n");
        fflush(stdout);
        return;
    }
    for (int i = 0; i < count; ++i) {
        org_kde_kwin_fake_input_keyboard_key(input, codes[i], WL_KEYBOARD_KEY_STATE_PRESSED);
        wl_display_roundtrip(display);
    }
    for (int i = count - 1; i >= 0; --i) {
        org_kde_kwin_fake_input_keyboard_key(input, codes[i], WL_KEYBOARD_KEY_STATE_RELEASED);
        wl_display_roundtrip(display);
    }
    printf("ok\n");
    fflush(stdout);
}

int main(int argc, char** argv) {
    (void)argc, (void)argv;
    struct wl_display* display = wl_display_connect(NULL);
    if (!display) {
        fprintf(stderr, "fake-click: no Wayland display\n");
        return 1;
    }
    struct wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &listener, NULL);
    wl_display_roundtrip(display);
    if (!input) {
        fprintf(stderr, "fake-click: the compositor offers no fake input\n");
        return 1;
    }
    org_kde_kwin_fake_input_authenticate(input, "talvex checks", "clicks for the checks");
    wl_display_roundtrip(display);
    /* The seat has a pointer only while this device lives: one connection for all clicks. */
    int x, y;
    char line[64], move[8];
    while (fgets(line, sizeof line, stdin)) {
        if (strncmp(line, "key ", 4) == 0) {
            keys(display, line + 4);
            continue;
        }
        move[0] = 0;
        if (sscanf(line, "%d %d %7s", &x, &y, move) < 2)
            break;
        org_kde_kwin_fake_input_pointer_motion_absolute(input, wl_fixed_from_int(x),
                                                        wl_fixed_from_int(y));
        wl_display_roundtrip(display);
        if (strcmp(move, "move") != 0 && strcmp(move, "up") != 0) {
            org_kde_kwin_fake_input_button(input, BTN_LEFT, WL_POINTER_BUTTON_STATE_PRESSED);
            wl_display_roundtrip(display);
        }
        if (strcmp(move, "move") != 0 && strcmp(move, "down") != 0) {
            org_kde_kwin_fake_input_button(input, BTN_LEFT, WL_POINTER_BUTTON_STATE_RELEASED);
            wl_display_roundtrip(display);
        }
        printf("ok\n");
        fflush(stdout);
    }
    wl_display_disconnect(display);
    return 0;
}

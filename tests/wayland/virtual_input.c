// A keyboard and a mouse for a wlroots compositor, as a user would have them:
// the standard us keymap with Num Lock locked, so that keypad keys give
// KP_0..KP_9 as a real keyboard does. Reads commands from standard input, one
// a line, and answers each with "ok" once the compositor has it:
//   key NAME        press and release the key whose keysym is NAME (KP_5)
//   keydown NAME    press it and keep it down
//   keyup NAME      release it
//   type TEXT       type the rest of the line, with Shift where the us keymap
//                   needs it
//   move X Y        put the pointer at (X, Y) of the output layout
//   click           the left button, down and up
//   sleep SECONDS   wait
// The devices live as long as the program: a keyboard that comes and goes
// makes the compositor move the focus, and the client may lose a key then.
// The layout's size is given in KESTREL_LAYOUT_SIZE ("1024x768").
// Used by scripts/wayland-test.

#define _GNU_SOURCE
#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

enum { BtnLeft = 0x110 }; // from linux/input-event-codes.h

static struct wl_seat* seat;
static struct zwp_virtual_keyboard_manager_v1* keyboardManager;
static struct zwlr_virtual_pointer_manager_v1* pointerManager;

static void onGlobal(void* data, struct wl_registry* registry, uint32_t name, const char* interface,
                     uint32_t version) {
    (void)data;
    (void)version;
    if (strcmp(interface, wl_seat_interface.name) == 0 && seat == NULL)
        seat = wl_registry_bind(registry, name, &wl_seat_interface, 1);
    else if (strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0)
        keyboardManager =
            wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1);
    else if (strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
        pointerManager =
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1);
}

static void onGlobalRemove(void* data, struct wl_registry* registry, uint32_t name) {
    (void)data;
    (void)registry;
    (void)name;
}

static const struct wl_registry_listener registryListener = {onGlobal, onGlobalRemove};

static struct wl_display* display;
static struct zwp_virtual_keyboard_v1* keyboard;
static struct zwlr_virtual_pointer_v1* pointer;
static struct xkb_keymap* keymap;
static uint32_t numLockMask, shiftMask;
static uint32_t layoutWidth, layoutHeight;

static void die(const char* what, const char* detail) {
    fprintf(stderr, "virtual_input: %s%s%s\n", what, detail ? ": " : "", detail ? detail : "");
    exit(1);
}

static uint32_t now(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (uint32_t)(t.tv_sec * 1000 + t.tv_nsec / 1000000);
}

// Sends what is queued and waits until the compositor has read it.
static void flush(void) {
    if (wl_display_roundtrip(display) < 0) die("the compositor closed the connection", NULL);
}

// The key that gives `sym` at `level` of the first layout, as an evdev code;
// -1 if none does.
static int keyAtLevel(xkb_keysym_t sym, xkb_level_index_t level) {
    for (xkb_keycode_t code = xkb_keymap_min_keycode(keymap);
         code <= xkb_keymap_max_keycode(keymap); ++code) {
        const xkb_keysym_t* syms;
        const int count = xkb_keymap_key_get_syms_by_level(keymap, code, 0, level, &syms);
        for (int i = 0; i < count; ++i) {
            if (syms[i] == sym) return (int)code - 8;
        }
    }
    return -1;
}

static void setModifiers(uint32_t depressed) {
    zwp_virtual_keyboard_v1_modifiers(keyboard, depressed, 0, numLockMask, 0);
}

static void sendKey(int evdevCode, int down) {
    zwp_virtual_keyboard_v1_key(keyboard, now(), (uint32_t)evdevCode,
                                down ? WL_KEYBOARD_KEY_STATE_PRESSED
                                     : WL_KEYBOARD_KEY_STATE_RELEASED);
    flush();
}

// A named key, at whatever level gives it: Num Lock is locked, so the
// keypad's second level (KP_5 rather than KP_Begin) needs no Shift.
static int namedKey(const char* name) {
    const xkb_keysym_t sym = xkb_keysym_from_name(name, XKB_KEYSYM_NO_FLAGS);
    if (sym == XKB_KEY_NoSymbol) die("no such keysym", name);
    for (xkb_level_index_t level = 0; level < 2; ++level) {
        const int code = keyAtLevel(sym, level);
        if (code >= 0) return code;
    }
    die("no key of the us keymap gives", name);
    return -1;
}

static void typeCharacter(char c) {
    const xkb_keysym_t sym = xkb_utf32_to_keysym((uint32_t)(unsigned char)c);
    int code = keyAtLevel(sym, 0);
    const int shifted = code < 0;
    if (shifted) code = keyAtLevel(sym, 1);
    if (code < 0) die("cannot type", (char[]){c, 0});
    if (shifted) setModifiers(shiftMask);
    sendKey(code, 1);
    sendKey(code, 0);
    if (shifted) setModifiers(0);
}

static void setUpKeyboard(void) {
    struct xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    const struct xkb_rule_names names = {"evdev", "pc105", "us", "", ""};
    keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (keymap == NULL) die("the us keymap did not compile", NULL);
    numLockMask = 1u << xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_NUM);
    shiftMask = 1u << xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_SHIFT);

    char* text = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
    const size_t size = strlen(text) + 1;
    const int fd = memfd_create("keymap", MFD_CLOEXEC);
    if (fd < 0 || write(fd, text, size) != (ssize_t)size)
        die("the keymap could not be written", NULL);
    free(text);

    keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(keyboardManager, seat);
    zwp_virtual_keyboard_v1_keymap(keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, (uint32_t)size);
    flush();
    close(fd);
    // A new keyboard becomes the seat's with its first key: Num Lock, as a
    // user presses it. The lock is then set outright.
    const int numLock = namedKey("Num_Lock");
    sendKey(numLock, 1);
    sendKey(numLock, 0);
    setModifiers(0);
    flush();
}

static void setUpPointer(void) {
    const char* size = getenv("KESTREL_LAYOUT_SIZE");
    if (size == NULL || sscanf(size, "%ux%u", &layoutWidth, &layoutHeight) != 2)
        die("KESTREL_LAYOUT_SIZE must be WIDTHxHEIGHT", size);
    pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(pointerManager, seat);
}

static void button(int down) {
    zwlr_virtual_pointer_v1_button(pointer, now(), BtnLeft,
                                   down ? WL_POINTER_BUTTON_STATE_PRESSED
                                        : WL_POINTER_BUTTON_STATE_RELEASED);
    zwlr_virtual_pointer_v1_frame(pointer);
    flush();
}

// Runs one command line; returns 0 at an unknown command.
static int run(char* line) {
    char* rest = NULL;
    const char* verb = strtok_r(line, " \n", &rest);
    if (verb == NULL) return 1;
    char* text = rest + strspn(rest, " ");
    text[strcspn(text, "\n")] = 0;
    if (strcmp(verb, "click") == 0) {
        button(1);
        button(0);
    } else if (strcmp(verb, "key") == 0) {
        const int code = namedKey(text);
        sendKey(code, 1);
        sendKey(code, 0);
    } else if (strcmp(verb, "keydown") == 0) {
        sendKey(namedKey(text), 1);
    } else if (strcmp(verb, "keyup") == 0) {
        sendKey(namedKey(text), 0);
    } else if (strcmp(verb, "type") == 0) {
        for (const char* c = text; *c; ++c)
            typeCharacter(*c);
    } else if (strcmp(verb, "sleep") == 0) {
        const double seconds = atof(text);
        const struct timespec pause = {(time_t)seconds, (long)((seconds - (time_t)seconds) * 1e9)};
        nanosleep(&pause, NULL);
    } else if (strcmp(verb, "move") == 0) {
        unsigned x, y;
        if (sscanf(text, "%u %u", &x, &y) != 2) return 0;
        zwlr_virtual_pointer_v1_motion_absolute(pointer, now(), x, y, layoutWidth, layoutHeight);
        zwlr_virtual_pointer_v1_frame(pointer);
        flush();
    } else {
        return 0;
    }
    return 1;
}

int main(void) {
    display = wl_display_connect(NULL);
    if (display == NULL) die("no Wayland display (WAYLAND_DISPLAY)", NULL);
    struct wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, NULL);
    flush();
    if (seat == NULL) die("the compositor offers no seat", NULL);
    if (keyboardManager == NULL) die("the compositor offers no zwp_virtual_keyboard_v1", NULL);
    if (pointerManager == NULL) die("the compositor offers no zwlr_virtual_pointer_v1", NULL);
    setUpKeyboard();
    setUpPointer();
    puts("ok");
    fflush(stdout);

    char line[4096];
    while (fgets(line, sizeof line, stdin) != NULL) {
        if (!run(line)) die("unknown command", line);
        puts("ok");
        fflush(stdout);
    }
    zwp_virtual_keyboard_v1_destroy(keyboard);
    zwlr_virtual_pointer_v1_destroy(pointer);
    flush();
    wl_display_disconnect(display);
    return 0;
}

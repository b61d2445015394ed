/* Throwaway study client: types ASCII text through KWin's org_kde_kwin_fake_input.
 * Usage: fake-type [-a] [-d DELAY_MS] [-w WAIT_MS] TEXT
 *   -a  skip authenticate (to see what KWin does then)
 *   -d  pause between key events (default 0; a roundtrip follows every event)
 *   -w  pause after binding, before the first key (default 0)
 *   -H  press Shift and quit without releasing it (does KWin release it?)
 * Exit 2 when KWin does not advertise the global (not granted). */
#include <linux/input-event-codes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>
#include <wayland-client.h>

#include "fake-input-client.h"

static struct org_kde_kwin_fake_input* fake;
static uint32_t advertised;

static void global(void* data, struct wl_registry* registry, uint32_t name, const char* interface,
                   uint32_t version) {
    (void)data;
    if (strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0) {
        advertised = version;
        fake = wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface,
                                version < 4 ? version : 4);
    }
}

static void global_remove(void* data, struct wl_registry* registry, uint32_t name) {
    (void)data, (void)registry, (void)name;
}

static const struct wl_registry_listener listener = {global, global_remove};

/* US layout: evdev code and whether Shift is needed. */
static int code_of(char c, int* shift) {
    static const int letters[] = {KEY_A, KEY_B, KEY_C, KEY_D, KEY_E, KEY_F, KEY_G, KEY_H, KEY_I,
                                  KEY_J, KEY_K, KEY_L, KEY_M, KEY_N, KEY_O, KEY_P, KEY_Q, KEY_R,
                                  KEY_S, KEY_T, KEY_U, KEY_V, KEY_W, KEY_X, KEY_Y, KEY_Z};
    static const char* digits = "1234567890";
    static const char* shifted_digits = "!@#$%^&*()";
    static const int numbers[] = {KEY_1, KEY_2, KEY_3, KEY_4, KEY_5,
                                  KEY_6, KEY_7, KEY_8, KEY_9, KEY_0};
    static const struct {
        char plain, shifted;
        int code;
    } others[] = {
        {' ', 0, KEY_SPACE},        {',', '<', KEY_COMMA},      {'.', '>', KEY_DOT},
        {'/', '?', KEY_SLASH},      {';', ':', KEY_SEMICOLON},  {'\'', '"', KEY_APOSTROPHE},
        {'-', '_', KEY_MINUS},      {'=', '+', KEY_EQUAL},      {'[', '{', KEY_LEFTBRACE},
        {']', '}', KEY_RIGHTBRACE}, {'\\', '|', KEY_BACKSLASH}, {'`', '~', KEY_GRAVE}};
    const char* p;
    *shift = 0;
    if (c >= 'a' && c <= 'z')
        return letters[c - 'a'];
    if (c >= 'A' && c <= 'Z')
        return *shift = 1, letters[c - 'A'];
    if (c && (p = strchr(digits, c)))
        return numbers[p - digits];
    if (c && (p = strchr(shifted_digits, c)))
        return *shift = 1, numbers[p - shifted_digits];
    for (size_t i = 0; i < sizeof others / sizeof *others; ++i) {
        if (others[i].plain == c)
            return others[i].code;
        if (others[i].shifted && others[i].shifted == c)
            return *shift = 1, others[i].code;
    }
    return -1;
}

static void pause_ms(long ms) {
    struct timespec t = {ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&t, NULL);
}

static void key(struct wl_display* display, int code, int state, long delay) {
    org_kde_kwin_fake_input_keyboard_key(fake, (uint32_t)code, (uint32_t)state);
    wl_display_roundtrip(display);
    if (delay)
        pause_ms(delay);
}

int main(int argc, char** argv) {
    int authenticate = 1, hold = 0, opt;
    long delay = 0, wait = 0;
    while ((opt = getopt(argc, argv, "aHd:w:")) != -1) {
        if (opt == 'a')
            authenticate = 0;
        else if (opt == 'H')
            hold = 1;
        else if (opt == 'd')
            delay = atol(optarg);
        else if (opt == 'w')
            wait = atol(optarg);
        else
            return fprintf(stderr, "usage: fake-type [-a] [-H] [-d ms] [-w ms] TEXT\n"), 1;
    }
    if (optind + 1 != argc)
        return fprintf(stderr, "usage: fake-type [-a] [-H] [-d ms] [-w ms] TEXT\n"), 1;
    struct wl_display* display = wl_display_connect(NULL);
    if (!display)
        return fprintf(stderr, "fake-type: cannot connect to the Wayland display\n"), 1;
    struct wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &listener, NULL);
    wl_display_roundtrip(display);
    if (!fake)
        return fprintf(stderr, "fake-type: org_kde_kwin_fake_input not advertised (not granted)\n"),
               2;
    fprintf(stderr, "fake-type: org_kde_kwin_fake_input version %u advertised\n", advertised);
    if (advertised < 4)
        return fprintf(stderr, "fake-type: keyboard_key needs version 4\n"), 1;
    if (authenticate)
        org_kde_kwin_fake_input_authenticate(fake, "Reradav study", "types scanned bar codes");
    wl_display_roundtrip(display);
    if (wait)
        pause_ms(wait);
    if (hold)
        key(display, KEY_LEFTSHIFT, 1, delay);
    for (const char* c = argv[optind]; *c && !hold; ++c) {
        int shift, code = code_of(*c, &shift);
        if (code < 0) {
            fprintf(stderr, "fake-type: no key for '%c' on us\n", *c);
            continue;
        }
        if (shift)
            key(display, KEY_LEFTSHIFT, 1, delay);
        key(display, code, 1, delay);
        key(display, code, 0, delay);
        if (shift)
            key(display, KEY_LEFTSHIFT, 0, delay);
    }
    int error = wl_display_get_error(display);
    wl_display_disconnect(display);
    if (error)
        return fprintf(stderr, "fake-type: protocol error %d\n", error), 1;
    return 0;
}

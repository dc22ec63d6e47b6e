/* Gives a headless sway seat a pointer for as long as it runs.
 *
 * Without input devices the seat advertises no pointer capability, so clients
 * bind no wl_pointer and `swaymsg seat seat0 cursor ...` reaches nobody. This
 * client creates one device through zwlr_virtual_pointer_manager_v1 on the
 * first seat, prints "ready" once the compositor has it, and stays connected
 * until the compositor goes away. It sends no events itself.
 *
 * The two interfaces are declared here from the protocol's documented
 * requests (there is no Debian package carrying the protocol description).
 */
#include <cstdio>
#include <cstring>
#include <wayland-client.h>

extern "C" const struct wl_interface zwlr_virtual_pointer_v1_interface;

static const struct wl_interface* create_types[] = {&wl_seat_interface, &zwlr_virtual_pointer_v1_interface};
static const struct wl_interface* no_types[] = {nullptr, nullptr, nullptr, nullptr, nullptr};

static const struct wl_message manager_requests[] = {
    {"create_virtual_pointer", "?on", create_types},
    {"destroy", "", no_types},
};
static const struct wl_interface manager_interface = {
    "zwlr_virtual_pointer_manager_v1", 1, 2, manager_requests, 0, nullptr};

static const struct wl_message pointer_requests[] = {
    {"motion", "uff", no_types},   {"motion_absolute", "uuuuu", no_types},
    {"button", "uuu", no_types},   {"axis", "uuf", no_types},
    {"frame", "", no_types},       {"axis_source", "u", no_types},
    {"axis_stop", "uu", no_types}, {"axis_discrete", "uufi", no_types},
    {"destroy", "", no_types},
};
extern "C" const struct wl_interface zwlr_virtual_pointer_v1_interface = {"zwlr_virtual_pointer_v1", 1, 9,
                                                                          pointer_requests,          0, nullptr};

static struct wl_seat* seat;
static struct wl_proxy* manager;

static void global(void* data, struct wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
    if (!seat && strcmp(interface, wl_seat_interface.name) == 0)
        seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    else if (!manager && strcmp(interface, manager_interface.name) == 0)
        manager = static_cast<wl_proxy*>(wl_registry_bind(registry, name, &manager_interface, 1));
}

static void global_remove(void* data, struct wl_registry* registry, uint32_t name) {}

static const struct wl_registry_listener registry_listener = {global, global_remove};

int main(void) {
    struct wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        fprintf(stderr, "wl-virtual-pointer: cannot connect to the compositor\n");
        return 1;
    }
    struct wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registry_listener, nullptr);
    wl_display_roundtrip(display);
    if (!seat || !manager) {
        fprintf(stderr, "wl-virtual-pointer: the compositor offers no %s\n", seat ? manager_interface.name : "seat");
        return 1;
    }
    struct wl_proxy* pointer =
        wl_proxy_marshal_constructor(manager, 0, &zwlr_virtual_pointer_v1_interface, seat, nullptr);
    if (!pointer || wl_display_roundtrip(display) < 0) {
        fprintf(stderr, "wl-virtual-pointer: cannot create the pointer\n");
        return 1;
    }
    printf("ready\n");
    fflush(stdout);
    while (wl_display_dispatch(display) != -1) {
    }
    return 0;
}

// The Wayland tests' pointer: a virtual pointer device (wlr-virtual-pointer)
// on the compositor of $WAYLAND_DISPLAY, driven line by line from stdin so
// that a test keeps one device for a whole sequence:
//   to X Y W H    the cursor to X, Y of a layout W x H
//   move DX DY    the cursor by DX, DY
//   click         the left button down and up
// Each line is answered with "done" once the compositor has taken it; the
// device exists once "ready" is printed. Ends at the end of its input.
#include <wayland-client.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

namespace {

// The left button's evdev code.
constexpr uint32_t leftButton = 0x110;

struct Client {
    wl_seat* seat;
    zwlr_virtual_pointer_manager_v1* manager;
};

Client client;

void noteGlobal(void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t)
{
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && client.seat == nullptr)
        client.seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    else if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
        client.manager = static_cast<zwlr_virtual_pointer_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
}

void noteGlobalRemove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener registryListener = {noteGlobal, noteGlobalRemove};

} // namespace

int main()
{
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "virtual_pointer: no Wayland compositor\n");
        return 1;
    }
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, nullptr);
    wl_display_roundtrip(display);
    if (client.manager == nullptr) {
        std::fprintf(stderr, "virtual_pointer: the compositor offers no zwlr_virtual_pointer_manager_v1\n");
        return 1;
    }
    zwlr_virtual_pointer_v1* pointer =
        zwlr_virtual_pointer_manager_v1_create_virtual_pointer(client.manager, client.seat);
    wl_display_roundtrip(display);
    std::printf("ready\n");
    std::fflush(stdout);
    uint32_t time = 0;
    char line[128];
    while (std::fgets(line, sizeof line, stdin) != nullptr) {
        double dx = 0, dy = 0;
        unsigned x = 0, y = 0, width = 0, height = 0;
        time += 10;
        if (std::sscanf(line, "to %u %u %u %u", &x, &y, &width, &height) == 4) {
            zwlr_virtual_pointer_v1_motion_absolute(pointer, time, x, y, width, height);
            zwlr_virtual_pointer_v1_frame(pointer);
        } else if (std::sscanf(line, "move %lf %lf", &dx, &dy) == 2) {
            zwlr_virtual_pointer_v1_motion(pointer, time, wl_fixed_from_double(dx), wl_fixed_from_double(dy));
            zwlr_virtual_pointer_v1_frame(pointer);
        } else if (std::strncmp(line, "click", 5) == 0) {
            zwlr_virtual_pointer_v1_button(pointer, time, leftButton, WL_POINTER_BUTTON_STATE_PRESSED);
            zwlr_virtual_pointer_v1_frame(pointer);
            zwlr_virtual_pointer_v1_button(pointer, time + 1, leftButton, WL_POINTER_BUTTON_STATE_RELEASED);
            zwlr_virtual_pointer_v1_frame(pointer);
        } else {
            std::fprintf(stderr, "virtual_pointer: cannot read '%s'\n", line);
            return 1;
        }
        if (wl_display_roundtrip(display) < 0)
            return 1;
        std::printf("done\n");
        std::fflush(stdout);
    }
    zwlr_virtual_pointer_v1_destroy(pointer);
    wl_display_roundtrip(display);
    wl_display_disconnect(display);
    return 0;
}

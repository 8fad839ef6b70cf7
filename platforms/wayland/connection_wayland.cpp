// The connection's registry, outputs and seats. Globals are bound as they
// appear and let go as they go; keyboards and pointers are dropped and taken
// again on every capabilities event, since devices come and go with them.
#include "platforms/wayland/connection_wayland.h"

#include <poll.h>
#include <unistd.h>
#include <wayland-client.h>

#include <cerrno>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "fractional-scale-v1-client-protocol.h"
#include "viewporter-client-protocol.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

WaylandConnection wayland;

namespace {

template <typename Proxy>
Proxy* bindGlobal(uint32_t name, const wl_interface* interface, uint32_t offered, uint32_t wanted)
{
    return static_cast<Proxy*>(wl_registry_bind(wayland.registry, name, interface, std::min(offered, wanted)));
}

void copyName(WaylandOutput& output, const char* name)
{
    std::snprintf(output.name, sizeof output.name, "%s", name != nullptr ? name : "");
}

// ---- outputs ----------------------------------------------------------------

void noteGeometry(void*, wl_output*, int32_t, int32_t, int32_t, int32_t, int32_t, const char*, const char*, int32_t) {}
void noteMode(void*, wl_output*, uint32_t, int32_t, int32_t, int32_t) {}
void noteOutputDone(void* data, wl_output*) { static_cast<WaylandOutput*>(data)->done = true; }
void noteScale(void* data, wl_output*, int32_t factor)
{
    static_cast<WaylandOutput*>(data)->scale = std::max(factor, 1);
}
void noteOutputName(void* data, wl_output*, const char* name)
{
    WaylandOutput* output = static_cast<WaylandOutput*>(data);
    if (output->name[0] == '\0')
        copyName(*output, name);
}
void noteDescription(void*, wl_output*, const char*) {}

const wl_output_listener outputListener = {noteGeometry, noteMode,       noteOutputDone,
                                           noteScale,    noteOutputName, noteDescription};

void noteLogicalPosition(void*, zxdg_output_v1*, int32_t, int32_t) {}
void noteLogicalSize(void*, zxdg_output_v1*, int32_t, int32_t) {}
void noteXdgDone(void* data, zxdg_output_v1*) { static_cast<WaylandOutput*>(data)->xdgDone = true; }
void noteXdgName(void* data, zxdg_output_v1*, const char* name) { copyName(*static_cast<WaylandOutput*>(data), name); }
void noteXdgDescription(void*, zxdg_output_v1*, const char*) {}

const zxdg_output_v1_listener xdgOutputListener = {noteLogicalPosition, noteLogicalSize, noteXdgDone, noteXdgName,
                                                   noteXdgDescription};

void askXdgOutput(WaylandOutput& output)
{
    if (wayland.outputManager == nullptr || output.xdgOutput != nullptr)
        return;
    output.xdgOutput = zxdg_output_manager_v1_get_xdg_output(wayland.outputManager, output.output);
    zxdg_output_v1_add_listener(output.xdgOutput, &xdgOutputListener, &output);
}

void addOutput(uint32_t name, uint32_t version)
{
    for (WaylandOutput& output : wayland.outputs) {
        if (output.output != nullptr)
            continue;
        output = WaylandOutput{};
        output.global = name;
        output.scale = 1;
        output.output = bindGlobal<wl_output>(name, &wl_output_interface, version, 4);
        wl_output_add_listener(output.output, &outputListener, &output);
        askXdgOutput(output);
        return;
    }
}

void dropOutput(WaylandOutput& output)
{
    if (output.xdgOutput != nullptr)
        zxdg_output_v1_destroy(output.xdgOutput);
    if (wl_output_get_version(output.output) >= WL_OUTPUT_RELEASE_SINCE_VERSION)
        wl_output_release(output.output);
    else
        wl_output_destroy(output.output);
    output = WaylandOutput{};
}

// ---- seats ------------------------------------------------------------------

void endByInput(bool travelOnly)
{
    if (!travelOnly || wayland.inputEnds == InputEnds::anyInput)
        wayland.inputEnded = true;
}

// The keymap is of no use: every key ends the saver.
void noteKeymap(void*, wl_keyboard*, uint32_t, int32_t fd, uint32_t) { close(fd); }
// A keyboard that appears while the saver shows is a device just plugged
// in (or a virtual one that types): its keys held as it enters were
// pressed on the saver. Keys held on a keyboard that was there from the
// start were pressed before the saver came up.
void noteKeyboardEnter(void* data, wl_keyboard*, uint32_t, wl_surface*, wl_array* keys)
{
    if (static_cast<WaylandSeat*>(data)->keyboardCameLater && keys->size > 0)
        endByInput(false);
}
void noteKeyboardLeave(void*, wl_keyboard*, uint32_t, wl_surface*) {}
// Only a press counts: the release of the key that started the program
// (Enter in a terminal) may come to its surface.
void noteKey(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t state)
{
    if (state == WL_KEYBOARD_KEY_STATE_PRESSED)
        endByInput(false);
}
void noteModifiers(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {}
void noteRepeatInfo(void*, wl_keyboard*, int32_t, int32_t) {}

const wl_keyboard_listener keyboardListener = {noteKeymap,      noteKeyboardEnter, noteKeyboardLeave,
                                               noteKey,         noteModifiers,     noteRepeatInfo};

// Entering is no travel: the pointer may arrive anywhere, from another
// output or when the surface appears under it. It is hidden over the saver.
void notePointerEnter(void* data, wl_pointer* pointer, uint32_t serial, wl_surface*, wl_fixed_t x, wl_fixed_t y)
{
    WaylandSeat* seat = static_cast<WaylandSeat*>(data);
    wl_pointer_set_cursor(pointer, serial, nullptr, 0, 0);
    seat->pointerInside = true;
    seat->enterX = wl_fixed_to_double(x);
    seat->enterY = wl_fixed_to_double(y);
}
void notePointerLeave(void* data, wl_pointer*, uint32_t, wl_surface*)
{
    static_cast<WaylandSeat*>(data)->pointerInside = false;
}
void noteMotion(void* data, wl_pointer*, uint32_t, wl_fixed_t x, wl_fixed_t y)
{
    const WaylandSeat* seat = static_cast<WaylandSeat*>(data);
    const double dx = wl_fixed_to_double(x) - seat->enterX;
    const double dy = wl_fixed_to_double(y) - seat->enterY;
    if (seat->pointerInside && dx * dx + dy * dy > pointerTravelAllowed * pointerTravelAllowed)
        endByInput(true);
}
void noteButton(void*, wl_pointer*, uint32_t, uint32_t, uint32_t, uint32_t state)
{
    if (state == WL_POINTER_BUTTON_STATE_PRESSED)
        endByInput(false);
}
void noteAxis(void*, wl_pointer*, uint32_t, uint32_t, wl_fixed_t) {}
void notePointerFrame(void*, wl_pointer*) {}
void noteAxisSource(void*, wl_pointer*, uint32_t) {}
void noteAxisStop(void*, wl_pointer*, uint32_t, uint32_t) {}
void noteAxisDiscrete(void*, wl_pointer*, uint32_t, int32_t) {}
void noteAxisValue120(void*, wl_pointer*, uint32_t, int32_t) {}

const wl_pointer_listener pointerListener = {notePointerEnter, notePointerLeave, noteMotion,     noteButton,
                                             noteAxis,         notePointerFrame, noteAxisSource, noteAxisStop,
                                             noteAxisDiscrete, noteAxisValue120};

void dropDevices(WaylandSeat& seat)
{
    const bool release = wl_seat_get_version(seat.seat) >= WL_KEYBOARD_RELEASE_SINCE_VERSION;
    if (seat.keyboard != nullptr)
        release ? wl_keyboard_release(seat.keyboard) : wl_keyboard_destroy(seat.keyboard);
    if (seat.pointer != nullptr)
        release ? wl_pointer_release(seat.pointer) : wl_pointer_destroy(seat.pointer);
    seat.keyboard = nullptr;
    seat.keyboardCameLater = false;
    seat.pointer = nullptr;
    seat.pointerInside = false;
}

void noteCapabilities(void* data, wl_seat* handle, uint32_t capabilities)
{
    WaylandSeat* seat = static_cast<WaylandSeat*>(data);
    dropDevices(*seat);
    if ((capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0) {
        seat->keyboard = wl_seat_get_keyboard(handle);
        seat->keyboardCameLater = wayland.connected;
        wl_keyboard_add_listener(seat->keyboard, &keyboardListener, seat);
    }
    if ((capabilities & WL_SEAT_CAPABILITY_POINTER) != 0) {
        seat->pointer = wl_seat_get_pointer(handle);
        wl_pointer_add_listener(seat->pointer, &pointerListener, seat);
    }
}
void noteSeatName(void*, wl_seat*, const char*) {}

const wl_seat_listener seatListener = {noteCapabilities, noteSeatName};

void addSeat(uint32_t name, uint32_t version)
{
    for (WaylandSeat& seat : wayland.seats) {
        if (seat.seat != nullptr)
            continue;
        seat = WaylandSeat{};
        seat.global = name;
        seat.seat = bindGlobal<wl_seat>(name, &wl_seat_interface, version, 5);
        wl_seat_add_listener(seat.seat, &seatListener, &seat);
        return;
    }
}

void dropSeat(WaylandSeat& seat)
{
    dropDevices(seat);
    if (wl_seat_get_version(seat.seat) >= WL_SEAT_RELEASE_SINCE_VERSION)
        wl_seat_release(seat.seat);
    else
        wl_seat_destroy(seat.seat);
    seat = WaylandSeat{};
}

// ---- the registry -----------------------------------------------------------

void answerPing(void*, xdg_wm_base* base, uint32_t serial) { xdg_wm_base_pong(base, serial); }

const xdg_wm_base_listener wmBaseListener = {answerPing};

void noteGlobal(void*, wl_registry*, uint32_t name, const char* interface, uint32_t version)
{
    const std::string_view is = interface;
    if (is == wl_compositor_interface.name) {
        wayland.compositor = bindGlobal<wl_compositor>(name, &wl_compositor_interface, version, 4);
        wayland.compositorVersion = std::min(version, 4u);
    } else if (is == wl_shm_interface.name) {
        wayland.shm = bindGlobal<wl_shm>(name, &wl_shm_interface, version, 1);
    } else if (is == xdg_wm_base_interface.name) {
        wayland.wmBase = bindGlobal<xdg_wm_base>(name, &xdg_wm_base_interface, version, 2);
        xdg_wm_base_add_listener(wayland.wmBase, &wmBaseListener, nullptr);
    } else if (is == zwlr_layer_shell_v1_interface.name) {
        wayland.layerShell = bindGlobal<zwlr_layer_shell_v1>(name, &zwlr_layer_shell_v1_interface, version, 3);
    } else if (is == wp_viewporter_interface.name) {
        wayland.viewporter = bindGlobal<wp_viewporter>(name, &wp_viewporter_interface, version, 1);
    } else if (is == wp_fractional_scale_manager_v1_interface.name) {
        wayland.fractionalScale = bindGlobal<wp_fractional_scale_manager_v1>(
            name, &wp_fractional_scale_manager_v1_interface, version, 1);
    } else if (is == zxdg_output_manager_v1_interface.name) {
        wayland.outputManager =
            bindGlobal<zxdg_output_manager_v1>(name, &zxdg_output_manager_v1_interface, version, 3);
        for (WaylandOutput& output : wayland.outputs)
            if (output.output != nullptr)
                askXdgOutput(output);
    } else if (is == wl_output_interface.name) {
        addOutput(name, version);
    } else if (is == wl_seat_interface.name) {
        addSeat(name, version);
    }
}

void noteGlobalRemove(void*, wl_registry*, uint32_t name)
{
    for (WaylandOutput& output : wayland.outputs)
        if (output.output != nullptr && output.global == name)
            dropOutput(output);
    for (WaylandSeat& seat : wayland.seats)
        if (seat.seat != nullptr && seat.global == name)
            dropSeat(seat);
}

const wl_registry_listener registryListener = {noteGlobal, noteGlobalRemove};

} // namespace

bool connectWayland(const char** error)
{
    wayland = WaylandConnection{};
    wayland.display = wl_display_connect(nullptr);
    if (wayland.display == nullptr) {
        *error = "cannot connect to the Wayland compositor";
        return false;
    }
    wayland.registry = wl_display_get_registry(wayland.display);
    wl_registry_add_listener(wayland.registry, &registryListener, nullptr);
    // The globals, then what the outputs and seats bound among them say.
    if (wl_display_roundtrip(wayland.display) < 0 || wl_display_roundtrip(wayland.display) < 0) {
        *error = "the Wayland compositor closed the connection";
        return false;
    }
    wayland.connected = true;
    if (wayland.compositor == nullptr || wayland.compositorVersion < 4 || wayland.shm == nullptr) {
        *error = "the Wayland compositor offers no wl_compositor 4 or no wl_shm, which vasken needs";
        return false;
    }
    return true;
}

void disconnectWayland()
{
    if (wayland.display == nullptr)
        return;
    for (WaylandSeat& seat : wayland.seats)
        if (seat.seat != nullptr)
            dropSeat(seat);
    for (WaylandOutput& output : wayland.outputs)
        if (output.output != nullptr)
            dropOutput(output);
    if (wayland.outputManager != nullptr)
        zxdg_output_manager_v1_destroy(wayland.outputManager);
    if (wayland.fractionalScale != nullptr)
        wp_fractional_scale_manager_v1_destroy(wayland.fractionalScale);
    if (wayland.viewporter != nullptr)
        wp_viewporter_destroy(wayland.viewporter);
    if (wayland.layerShell != nullptr) {
        if (zwlr_layer_shell_v1_get_version(wayland.layerShell) >= ZWLR_LAYER_SHELL_V1_DESTROY_SINCE_VERSION)
            zwlr_layer_shell_v1_destroy(wayland.layerShell);
        else
            wl_proxy_destroy(reinterpret_cast<wl_proxy*>(wayland.layerShell));
    }
    if (wayland.wmBase != nullptr)
        xdg_wm_base_destroy(wayland.wmBase);
    if (wayland.shm != nullptr)
        wl_shm_destroy(wayland.shm);
    if (wayland.compositor != nullptr)
        wl_compositor_destroy(wayland.compositor);
    wl_registry_destroy(wayland.registry);
    wl_display_flush(wayland.display);
    wl_display_disconnect(wayland.display);
    wayland = WaylandConnection{};
}

bool waitWayland(int timeout, int fd, bool& fdReady)
{
    fdReady = false;
    wl_display* display = wayland.display;
    while (wl_display_prepare_read(display) != 0)
        if (wl_display_dispatch_pending(display) < 0)
            return false;
    // A full socket takes the rest once the compositor has read some.
    const bool sent = wl_display_flush(display) >= 0 || errno == EAGAIN;
    const short events = static_cast<short>(POLLIN | (sent ? 0 : POLLOUT));
    pollfd waits[2] = {{wl_display_get_fd(display), events, 0}, {fd, POLLIN, 0}};
    if (poll(waits, fd >= 0 ? 2 : 1, timeout) < 0 && errno != EINTR) {
        wl_display_cancel_read(display);
        return false;
    }
    if ((waits[0].revents & (POLLIN | POLLERR | POLLHUP)) != 0) {
        if (wl_display_read_events(display) < 0)
            return false;
    } else {
        wl_display_cancel_read(display);
    }
    fdReady = fd >= 0 && (waits[1].revents & POLLIN) != 0;
    return wl_display_dispatch_pending(display) >= 0;
}

const char* waylandLossReason()
{
    static char reason[160];
    const wl_interface* interface = nullptr;
    uint32_t id = 0;
    if (wl_display_get_error(wayland.display) == EPROTO) {
        const uint32_t code = wl_display_get_protocol_error(wayland.display, &interface, &id);
        std::snprintf(reason, sizeof reason, "the Wayland compositor ended the connection with error %u of %s", code,
                      interface != nullptr ? interface->name : "the display");
        return reason;
    }
    return "lost the connection to the Wayland compositor";
}

bool waylandProtocolError() { return wayland.display != nullptr && wl_display_get_error(wayland.display) == EPROTO; }

bool waylandOutputReady(const WaylandOutput& output)
{
    return output.output != nullptr && output.done &&
           (output.name[0] != '\0' || output.xdgOutput == nullptr || output.xdgDone);
}

WaylandOutput* findWaylandOutput(const wl_output* handle)
{
    for (WaylandOutput& output : wayland.outputs)
        if (output.output != nullptr && output.output == handle)
            return &output;
    return nullptr;
}

WaylandOutput* findWaylandOutput(const char* name)
{
    for (WaylandOutput& output : wayland.outputs) {
        if (output.output == nullptr)
            continue;
        char global[16];
        std::snprintf(global, sizeof global, "#%u", output.global);
        if (std::strcmp(output.name[0] != '\0' ? output.name : global, name) == 0)
            return &output;
    }
    return nullptr;
}

// vasken as a lock screen's background: the lock screen is a compositor of
// its own that hands the program one end of a socket ($WAYLAND_SOCKET),
// offers no seat, one output of scale 2 and layer-shell without a viewport,
// and expects the layer surface committed at exactly the size it
// configured. This test is that compositor, made with libwayland-server.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <wayland-server.h>

#include <string>

#include "tests/platforms/process_test_support.h"
#include "wlr-layer-shell-unstable-v1-server-protocol.h"

using namespace processtest;

namespace {

// The surface size the lock screen configures, and its output's scale.
constexpr int32_t configuredWidth = 700;
constexpr int32_t configuredHeight = 400;
constexpr int32_t outputScale = 2;

struct LockScreen {
    wl_display* display;
    wl_resource* surface;
    wl_resource* layerSurface;
    wl_resource* pendingBuffer;
    wl_resource* shownBuffer;
    wl_list frameCallbacks; // asked for since the last commit
    int32_t bufferScale;
    uint32_t configureSerial; // 0 until sent
    bool acknowledged;
    int framesShown;     // commits with a buffer
    std::string misfit; // the first commit whose buffer is not the configured size
};

LockScreen lock;

void destroyResource(wl_client*, wl_resource* resource) { wl_resource_destroy(resource); }

// ---- wl_surface ---------------------------------------------------------------

void attach(wl_client*, wl_resource*, wl_resource* buffer, int32_t, int32_t) { lock.pendingBuffer = buffer; }
void damage(wl_client*, wl_resource*, int32_t, int32_t, int32_t, int32_t) {}
void frame(wl_client* client, wl_resource*, uint32_t id)
{
    wl_resource* callback = wl_resource_create(client, &wl_callback_interface, 1, id);
    wl_resource_set_implementation(callback, nullptr, nullptr, [](wl_resource* r) { wl_list_remove(wl_resource_get_link(r)); });
    wl_list_insert(lock.frameCallbacks.prev, wl_resource_get_link(callback));
}
void setRegion(wl_client*, wl_resource*, wl_resource*) {}
void setTransform(wl_client*, wl_resource*, int32_t) {}
void setScale(wl_client*, wl_resource*, int32_t scale) { lock.bufferScale = scale; }

// The first commit (no buffer) asks for the configure; a commit with a
// buffer shows it, releases the one shown before and answers the frame
// callbacks at once, as an output that is always ready would.
void commit(wl_client*, wl_resource*)
{
    if (lock.configureSerial == 0 && lock.layerSurface != nullptr) {
        lock.configureSerial = wl_display_next_serial(lock.display);
        zwlr_layer_surface_v1_send_configure(lock.layerSurface, lock.configureSerial, configuredWidth,
                                             configuredHeight);
        return;
    }
    if (lock.pendingBuffer == nullptr)
        return;
    wl_shm_buffer* buffer = wl_shm_buffer_get(lock.pendingBuffer);
    const std::string size = buffer == nullptr ? "not wl_shm"
                                               : std::to_string(wl_shm_buffer_get_width(buffer)) + "x" +
                                                     std::to_string(wl_shm_buffer_get_height(buffer));
    const std::string wanted =
        std::to_string(configuredWidth * outputScale) + "x" + std::to_string(configuredHeight * outputScale);
    if (lock.misfit.empty() && (!lock.acknowledged || size != wanted || lock.bufferScale != outputScale))
        lock.misfit = "frame " + std::to_string(lock.framesShown) + ": buffer " + size + " at scale " +
                      std::to_string(lock.bufferScale) + (lock.acknowledged ? "" : " before the configure was acknowledged");
    if (lock.shownBuffer != nullptr && lock.shownBuffer != lock.pendingBuffer)
        wl_buffer_send_release(lock.shownBuffer);
    lock.shownBuffer = lock.pendingBuffer;
    lock.pendingBuffer = nullptr;
    ++lock.framesShown;
    wl_resource* callback;
    wl_resource* next;
    wl_resource_for_each_safe(callback, next, &lock.frameCallbacks)
    {
        wl_callback_send_done(callback, 0);
        wl_resource_destroy(callback);
    }
}

const struct wl_surface_interface surfaceImplementation = {
    destroyResource, attach, damage, frame, setRegion, setRegion, commit, setTransform, setScale, damage, nullptr};

// ---- wl_compositor, wl_region -------------------------------------------------

void regionChange(wl_client*, wl_resource*, int32_t, int32_t, int32_t, int32_t) {}
const struct wl_region_interface regionImplementation = {destroyResource, regionChange, regionChange};

void createSurface(wl_client* client, wl_resource*, uint32_t id)
{
    lock.surface = wl_resource_create(client, &wl_surface_interface, 4, id);
    wl_resource_set_implementation(lock.surface, &surfaceImplementation, nullptr, nullptr);
}
void createRegion(wl_client* client, wl_resource*, uint32_t id)
{
    wl_resource* region = wl_resource_create(client, &wl_region_interface, 1, id);
    wl_resource_set_implementation(region, &regionImplementation, nullptr, nullptr);
}
const struct wl_compositor_interface compositorImplementation = {createSurface, createRegion};

// ---- layer-shell --------------------------------------------------------------

void setSize(wl_client*, wl_resource*, uint32_t, uint32_t) {}
void setValue(wl_client*, wl_resource*, uint32_t) {}
void setZone(wl_client*, wl_resource*, int32_t) {}
void setMargin(wl_client*, wl_resource*, int32_t, int32_t, int32_t, int32_t) {}
void getPopup(wl_client*, wl_resource*, wl_resource*) {}
void acknowledge(wl_client*, wl_resource*, uint32_t serial) { lock.acknowledged = serial == lock.configureSerial; }
const struct zwlr_layer_surface_v1_interface layerSurfaceImplementation = {
    setSize, setValue, setZone, setMargin, setValue, getPopup, acknowledge, destroyResource, setValue};

void getLayerSurface(wl_client* client, wl_resource*, uint32_t id, wl_resource*, wl_resource*, uint32_t, const char*)
{
    lock.layerSurface = wl_resource_create(client, &zwlr_layer_surface_v1_interface, 3, id);
    wl_resource_set_implementation(lock.layerSurface, &layerSurfaceImplementation, nullptr, nullptr);
}
const struct zwlr_layer_shell_v1_interface layerShellImplementation = {getLayerSurface, destroyResource};

// ---- globals ------------------------------------------------------------------

struct GlobalKind {
    const wl_interface* interface;
    const void* implementation;
};

void bindGlobal(wl_client* client, void* data, uint32_t version, uint32_t id)
{
    const GlobalKind* kind = static_cast<const GlobalKind*>(data);
    wl_resource* resource = wl_resource_create(client, kind->interface, static_cast<int>(version), id);
    wl_resource_set_implementation(resource, kind->implementation, nullptr, nullptr);
    if (kind->interface == &wl_output_interface) {
        wl_output_send_geometry(resource, 0, 0, 0, 0, WL_OUTPUT_SUBPIXEL_UNKNOWN, "lock", "screen",
                                WL_OUTPUT_TRANSFORM_NORMAL);
        wl_output_send_mode(resource, WL_OUTPUT_MODE_CURRENT, configuredWidth * outputScale,
                            configuredHeight * outputScale, 60000);
        wl_output_send_scale(resource, outputScale);
        wl_output_send_done(resource);
    }
}

const struct wl_output_interface outputImplementation = {destroyResource};

GlobalKind globals[] = {
    {&wl_compositor_interface, &compositorImplementation},
    {&zwlr_layer_shell_v1_interface, &layerShellImplementation},
    {&wl_output_interface, &outputImplementation},
};
const int versions[] = {4, 3, 2};

} // namespace

TEST(LockScreen, WithoutASeatItDrawsAtExactlyTheConfiguredSizeUntilItIsEnded)
{
    lock = LockScreen{};
    wl_list_init(&lock.frameCallbacks);
    lock.display = wl_display_create();
    ASSERT_EQ(wl_display_init_shm(lock.display), 0);
    for (int i = 0; i < 3; ++i)
        wl_global_create(lock.display, globals[i].interface, versions[i], &globals[i], bindGlobal);
    int sockets[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, sockets), 0);
    fcntl(sockets[0], F_SETFD, FD_CLOEXEC);
    wl_client_create(lock.display, sockets[0]);
    {
        ChildProcess vasken({VASKEN_PROGRAM}, {"WAYLAND_SOCKET=" + std::to_string(sockets[1]), "DISPLAY="});
        close(sockets[1]);
        wl_event_loop* events = wl_display_get_event_loop(lock.display);
        EXPECT_TRUE(eventually("twenty frames", [&] {
            wl_event_loop_dispatch(events, 0);
            wl_display_flush_clients(lock.display);
            return lock.framesShown >= 20 || !vasken.running();
        }, 20000, 1));
        EXPECT_TRUE(vasken.running()) << vasken.errors();
        EXPECT_GE(lock.framesShown, 20);
        EXPECT_EQ(lock.misfit, "") << "the first frame that did not fit";
        kill(vasken.pid, SIGTERM);
        EXPECT_TRUE(eventually("the program to end", [&] {
            wl_event_loop_dispatch(events, 0);
            wl_display_flush_clients(lock.display);
            return !vasken.running();
        }, 10000, 1));
        EXPECT_EQ(vasken.waitExit(0), 0) << vasken.errors();
    }
    wl_display_destroy_clients(lock.display);
    wl_display_destroy(lock.display);
}

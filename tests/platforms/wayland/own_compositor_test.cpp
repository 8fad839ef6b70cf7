// vasken against compositors that sway cannot stand in for, each made here
// with libwayland-server: a lock screen that hands the program one end of a
// socket ($WAYLAND_SOCKET), offers no seat and layer-shell without a
// viewport, and expects the surface committed at exactly the size it
// configured; and a compositor without layer-shell (as GNOME's Mutter),
// where every output gets a full-screen xdg toplevel. Both have one output
// of scale 2 and neither offers a viewport, so buffers carry a buffer scale.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <wayland-server.h>

#include <fstream>
#include <string>

#include "tests/platforms/process_test_support.h"
#include "wlr-layer-shell-unstable-v1-server-protocol.h"
#include "xdg-shell-server-protocol.h"

using namespace processtest;

namespace {

// The surface size the compositor configures, and its output's scale.
constexpr int32_t configuredWidth = 700;
constexpr int32_t configuredHeight = 400;
constexpr int32_t outputScale = 2;

enum class Shell { layer, xdg };

struct Compositor {
    Shell shell;
    wl_display* display;
    wl_resource* output;       // the program's output object, the last one bound
    wl_resource* role;         // the layer surface, or the toplevel
    wl_resource* xdgSurface;
    wl_resource* fullScreenOn; // the output a toplevel asked to fill
    wl_resource* pendingBuffer;
    wl_resource* shownBuffer;
    wl_list frameCallbacks; // asked for since the last commit
    int32_t bufferScale;
    uint32_t configureSerial; // 0 until sent
    bool acknowledged;
    int framesShown;    // commits with a buffer
    std::string misfit; // the first commit whose buffer is not the configured size
};

Compositor compositor;

void destroyResource(wl_client*, wl_resource* resource) { wl_resource_destroy(resource); }

// The role's first configure, at the configured size (full screen for a
// toplevel).
void configure()
{
    compositor.configureSerial = wl_display_next_serial(compositor.display);
    if (compositor.shell == Shell::layer) {
        zwlr_layer_surface_v1_send_configure(compositor.role, compositor.configureSerial, configuredWidth,
                                             configuredHeight);
        return;
    }
    wl_array states;
    wl_array_init(&states);
    *static_cast<uint32_t*>(wl_array_add(&states, sizeof(uint32_t))) = XDG_TOPLEVEL_STATE_FULLSCREEN;
    xdg_toplevel_send_configure(compositor.role, configuredWidth, configuredHeight, &states);
    wl_array_release(&states);
    xdg_surface_send_configure(compositor.xdgSurface, compositor.configureSerial);
}

// ---- wl_surface ---------------------------------------------------------------

void attach(wl_client*, wl_resource*, wl_resource* buffer, int32_t, int32_t) { compositor.pendingBuffer = buffer; }
void damage(wl_client*, wl_resource*, int32_t, int32_t, int32_t, int32_t) {}
void frame(wl_client* client, wl_resource*, uint32_t id)
{
    wl_resource* callback = wl_resource_create(client, &wl_callback_interface, 1, id);
    wl_resource_set_implementation(callback, nullptr, nullptr,
                                   [](wl_resource* r) { wl_list_remove(wl_resource_get_link(r)); });
    wl_list_insert(compositor.frameCallbacks.prev, wl_resource_get_link(callback));
}
void setRegion(wl_client*, wl_resource*, wl_resource*) {}
void setTransform(wl_client*, wl_resource*, int32_t) {}
void setScale(wl_client*, wl_resource*, int32_t scale) { compositor.bufferScale = scale; }

// The first commit (no buffer) asks for the configure; a commit with a
// buffer shows it, releases the one shown before and answers the frame
// callbacks at once, as an output that is always ready would.
void commit(wl_client*, wl_resource*)
{
    if (compositor.configureSerial == 0 && compositor.role != nullptr) {
        configure();
        return;
    }
    if (compositor.pendingBuffer == nullptr)
        return;
    wl_shm_buffer* buffer = wl_shm_buffer_get(compositor.pendingBuffer);
    const std::string size = buffer == nullptr ? "not wl_shm"
                                               : std::to_string(wl_shm_buffer_get_width(buffer)) + "x" +
                                                     std::to_string(wl_shm_buffer_get_height(buffer));
    const std::string wanted =
        std::to_string(configuredWidth * outputScale) + "x" + std::to_string(configuredHeight * outputScale);
    if (compositor.misfit.empty() && (!compositor.acknowledged || size != wanted || compositor.bufferScale != outputScale))
        compositor.misfit = "frame " + std::to_string(compositor.framesShown) + ": buffer " + size + " at scale " +
                            std::to_string(compositor.bufferScale) +
                            (compositor.acknowledged ? "" : " before the configure was acknowledged");
    if (compositor.shownBuffer != nullptr && compositor.shownBuffer != compositor.pendingBuffer)
        wl_buffer_send_release(compositor.shownBuffer);
    compositor.shownBuffer = compositor.pendingBuffer;
    compositor.pendingBuffer = nullptr;
    ++compositor.framesShown;
    wl_resource* callback;
    wl_resource* next;
    wl_resource_for_each_safe(callback, next, &compositor.frameCallbacks)
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
    wl_resource* surface = wl_resource_create(client, &wl_surface_interface, 4, id);
    wl_resource_set_implementation(surface, &surfaceImplementation, nullptr, nullptr);
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
void acknowledge(wl_client*, wl_resource*, uint32_t serial)
{
    compositor.acknowledged = serial == compositor.configureSerial;
}
const struct zwlr_layer_surface_v1_interface layerSurfaceImplementation = {
    setSize, setValue, setZone, setMargin, setValue, getPopup, acknowledge, destroyResource, setValue};

void getLayerSurface(wl_client* client, wl_resource*, uint32_t id, wl_resource*, wl_resource*, uint32_t, const char*)
{
    compositor.role = wl_resource_create(client, &zwlr_layer_surface_v1_interface, 3, id);
    wl_resource_set_implementation(compositor.role, &layerSurfaceImplementation, nullptr, nullptr);
}
const struct zwlr_layer_shell_v1_interface layerShellImplementation = {getLayerSurface, destroyResource};

// ---- xdg-shell ----------------------------------------------------------------

void setText(wl_client*, wl_resource*, const char*) {}
void setParent(wl_client*, wl_resource*, wl_resource*) {}
void showMenu(wl_client*, wl_resource*, wl_resource*, uint32_t, int32_t, int32_t) {}
void moveToplevel(wl_client*, wl_resource*, wl_resource*, uint32_t) {}
void resizeToplevel(wl_client*, wl_resource*, wl_resource*, uint32_t, uint32_t) {}
void setLimit(wl_client*, wl_resource*, int32_t, int32_t) {}
void setState(wl_client*, wl_resource*) {}
void setFullScreen(wl_client*, wl_resource*, wl_resource* output) { compositor.fullScreenOn = output; }
const struct xdg_toplevel_interface toplevelImplementation = {
    destroyResource, setParent, setText,  setText,       showMenu, moveToplevel, resizeToplevel,
    setLimit,        setLimit,  setState, setState, setFullScreen, setState,     setState};

void getToplevel(wl_client* client, wl_resource*, uint32_t id)
{
    compositor.role = wl_resource_create(client, &xdg_toplevel_interface, 2, id);
    wl_resource_set_implementation(compositor.role, &toplevelImplementation, nullptr, nullptr);
}
void getXdgPopup(wl_client*, wl_resource*, uint32_t, wl_resource*, wl_resource*) {}
void setGeometry(wl_client*, wl_resource*, int32_t, int32_t, int32_t, int32_t) {}
const struct xdg_surface_interface xdgSurfaceImplementation = {destroyResource, getToplevel, getXdgPopup, setGeometry,
                                                               acknowledge};

void createPositioner(wl_client*, wl_resource*, uint32_t) {}
void getXdgSurface(wl_client* client, wl_resource*, uint32_t id, wl_resource*)
{
    compositor.xdgSurface = wl_resource_create(client, &xdg_surface_interface, 2, id);
    wl_resource_set_implementation(compositor.xdgSurface, &xdgSurfaceImplementation, nullptr, nullptr);
}
void pong(wl_client*, wl_resource*, uint32_t) {}
const struct xdg_wm_base_interface wmBaseImplementation = {destroyResource, createPositioner, getXdgSurface, pong};

// ---- globals ------------------------------------------------------------------

struct GlobalKind {
    const wl_interface* interface;
    int version;
    const void* implementation;
};

void bindGlobal(wl_client* client, void* data, uint32_t version, uint32_t id)
{
    const GlobalKind* kind = static_cast<const GlobalKind*>(data);
    wl_resource* resource = wl_resource_create(client, kind->interface, static_cast<int>(version), id);
    wl_resource_set_implementation(resource, kind->implementation, nullptr, nullptr);
    if (kind->interface == &wl_output_interface) {
        compositor.output = resource;
        wl_output_send_geometry(resource, 0, 0, 0, 0, WL_OUTPUT_SUBPIXEL_UNKNOWN, "own", "compositor",
                                WL_OUTPUT_TRANSFORM_NORMAL);
        wl_output_send_mode(resource, WL_OUTPUT_MODE_CURRENT, configuredWidth * outputScale,
                            configuredHeight * outputScale, 60000);
        wl_output_send_scale(resource, outputScale);
        wl_output_send_done(resource);
    }
}

const struct wl_output_interface outputImplementation = {destroyResource};

const GlobalKind compositorGlobal = {&wl_compositor_interface, 4, &compositorImplementation};
const GlobalKind outputGlobal = {&wl_output_interface, 2, &outputImplementation};
const GlobalKind layerShellGlobal = {&zwlr_layer_shell_v1_interface, 3, &layerShellImplementation};
const GlobalKind wmBaseGlobal = {&xdg_wm_base_interface, 2, &wmBaseImplementation};

void addGlobal(const GlobalKind& kind)
{
    wl_global_create(compositor.display, kind.interface, kind.version, const_cast<GlobalKind*>(&kind), bindGlobal);
}

} // namespace

// One test's compositor: shm, a compositor, an output and the shell, and a
// loop that dispatches it while a condition is awaited.
class OwnCompositor : public ::testing::Test {
protected:
    void SetUp() override { start(Shell::layer); }
    // A compositor of that shell, in place of the one before.
    void start(Shell shell)
    {
        stop();
        compositor = Compositor{};
        compositor.shell = shell;
        wl_list_init(&compositor.frameCallbacks);
        compositor.display = wl_display_create();
        ASSERT_EQ(wl_display_init_shm(compositor.display), 0);
        addGlobal(compositorGlobal);
        addGlobal(outputGlobal);
        addGlobal(shell == Shell::layer ? layerShellGlobal : wmBaseGlobal);
    }
    ~OwnCompositor() override
    {
        programs.clear();
        stop();
    }
    void stop()
    {
        if (compositor.display == nullptr)
            return;
        wl_display_destroy_clients(compositor.display);
        wl_display_destroy(compositor.display);
        compositor.display = nullptr;
    }

    // Dispatches the compositor until done() holds or the time is up.
    template <class Done>
    ::testing::AssertionResult serveUntil(const std::string& what, Done done, int milliseconds = 20000)
    {
        wl_event_loop* events = wl_display_get_event_loop(compositor.display);
        return eventually(
            what,
            [&] {
                wl_event_loop_dispatch(events, 0);
                wl_display_flush_clients(compositor.display);
                return done();
            },
            milliseconds, 1);
    }

    ChildProcess& startVasken(const std::vector<std::string>& environment)
    {
        programs.push_back(std::make_unique<ChildProcess>(std::vector<std::string>{VASKEN_PROGRAM}, environment));
        return *programs.back();
    }

    std::vector<std::unique_ptr<ChildProcess>> programs;
};

TEST_F(OwnCompositor, ALockScreensBackgroundWithoutASeatDrawsAtExactlyTheConfiguredSizeUntilItIsEnded)
{
    int sockets[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, sockets), 0);
    fcntl(sockets[0], F_SETFD, FD_CLOEXEC);
    wl_client_create(compositor.display, sockets[0]);
    ChildProcess& vasken = startVasken({"WAYLAND_SOCKET=" + std::to_string(sockets[1]), "DISPLAY="});
    close(sockets[1]);
    EXPECT_TRUE(serveUntil("twenty frames", [&] { return compositor.framesShown >= 20 || !vasken.running(); }));
    EXPECT_TRUE(vasken.running()) << vasken.errors();
    EXPECT_EQ(compositor.misfit, "") << "the first frame that did not fit";
    kill(vasken.pid, SIGTERM);
    EXPECT_TRUE(serveUntil("the program to end", [&] { return !vasken.running(); }, 10000));
    EXPECT_EQ(vasken.waitExit(0), 0) << vasken.errors();
}

// The parent and its process for the output (named by its global: the
// output has no name) both connect by the compositor's socket.
TEST_F(OwnCompositor, WithoutLayerShellTheOutputGetsAFullScreenWindowAtExactlyItsSize)
{
    ASSERT_NO_FATAL_FAILURE(start(Shell::xdg));
    const std::string runtime = testDirectory("own-compositor");
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    const char* socket = wl_display_add_socket_auto(compositor.display);
    ASSERT_NE(socket, nullptr);
    ChildProcess& vasken =
        startVasken({"XDG_RUNTIME_DIR=" + runtime, "WAYLAND_DISPLAY=" + std::string(socket), "DISPLAY="});
    EXPECT_TRUE(serveUntil("twenty frames", [&] { return compositor.framesShown >= 20 || !vasken.running(); }));
    EXPECT_TRUE(vasken.running()) << vasken.errors();
    pid_t outputProcess = 0;
    std::ifstream(std::string("/proc/") + std::to_string(vasken.pid) + "/task/" + std::to_string(vasken.pid) +
                  "/children") >>
        outputProcess;
    EXPECT_GT(outputProcess, 0) << "no process for the output";
    EXPECT_NE(compositor.fullScreenOn, nullptr) << "no full-screen request";
    EXPECT_EQ(compositor.fullScreenOn, compositor.output) << "full screen on another output than the one announced";
    EXPECT_EQ(compositor.misfit, "") << "the first frame that did not fit";
    kill(vasken.pid, SIGTERM);
    EXPECT_TRUE(serveUntil("the program to end", [&] { return !vasken.running(); }, 10000));
    EXPECT_EQ(vasken.waitExit(0), 0) << vasken.errors();
    EXPECT_NE(kill(outputProcess, 0), 0) << "the output's process outlived the parent";
}

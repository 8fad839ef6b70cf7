// vasken against compositors that sway cannot stand in for, each made here
// with libwayland-server and each expecting the surface committed at exactly
// the size it configured: a lock screen that hands the program one end of a
// socket ($WAYLAND_SOCKET) and offers no seat, layer-shell and no viewport
// (buffers carry a buffer scale of 2); the same with a viewport and a
// fractional scale of 1.5 (buffers of device pixels, in exact blocks of
// 2 x 2); and a compositor without layer-shell (as GNOME's Mutter), where
// every output gets a full-screen xdg toplevel.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <wayland-server.h>

#include <fstream>
#include <string>

#include "tests/platforms/process_test_support.h"
#include "fractional-scale-v1-server-protocol.h"
#include "viewporter-server-protocol.h"
#include "wlr-layer-shell-unstable-v1-server-protocol.h"
#include "xdg-shell-server-protocol.h"

using namespace processtest;

namespace {

enum class Shell { layer, xdg };

// A compositor, the size it configures the surface to and its output's
// scale; with a fractional scale (in 120ths, 0: none) it offers viewports.
struct CompositorCase {
    const char* name;
    Shell shell;
    int32_t width;
    int32_t height;
    int32_t scale;
    uint32_t fractionalScale;
    // What every committed frame must be: a buffer of that size and scale,
    // shown at the destination (0 x 0: no viewport), in blocks of that size.
    int32_t bufferWidth;
    int32_t bufferHeight;
    int32_t bufferScale;
    int32_t destinationWidth;
    int32_t destinationHeight;
    int32_t blocks;
};

struct Compositor {
    CompositorCase kind;
    wl_display* display;
    wl_resource* output;       // the program's output object, the last one bound
    wl_resource* role;         // the layer surface, or the toplevel
    wl_resource* xdgSurface;
    wl_resource* fullScreenOn; // the output a toplevel asked to fill
    wl_resource* pendingBuffer;
    wl_resource* shownBuffer;
    wl_list frameCallbacks; // asked for since the last commit
    int32_t bufferScale;
    int32_t destinationWidth;
    int32_t destinationHeight;
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
    const CompositorCase& kind = compositor.kind;
    if (kind.shell == Shell::layer) {
        zwlr_layer_surface_v1_send_configure(compositor.role, compositor.configureSerial, kind.width, kind.height);
        return;
    }
    wl_array states;
    wl_array_init(&states);
    *static_cast<uint32_t*>(wl_array_add(&states, sizeof(uint32_t))) = XDG_TOPLEVEL_STATE_FULLSCREEN;
    xdg_toplevel_send_configure(compositor.role, kind.width, kind.height, &states);
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

// The first pixel of data (rows of stride bytes) that is not the colour of
// its block of blocks x blocks, blocks starting at even multiples: "" when
// every block is of one colour.
std::string brokenBlock(const uint8_t* data, int32_t stride, int32_t width, int32_t height, int32_t blocks)
{
    auto at = [&](int32_t x, int32_t y) { return reinterpret_cast<const uint32_t*>(data + stride * y)[x]; };
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            if ((at(x, y) & 0xFFFFFF) != (at(x - x % blocks, y - y % blocks) & 0xFFFFFF))
                return "pixel " + std::to_string(x) + "," + std::to_string(y) + " differs from its block";
    return "";
}

// What is wrong with the buffer of a commit, "" when nothing is.
std::string misfitOf(wl_shm_buffer* buffer)
{
    const CompositorCase& kind = compositor.kind;
    if (buffer == nullptr)
        return "not a wl_shm buffer";
    const int32_t width = wl_shm_buffer_get_width(buffer);
    const int32_t height = wl_shm_buffer_get_height(buffer);
    const std::string shown = "buffer " + std::to_string(width) + "x" + std::to_string(height) + " at scale " +
                              std::to_string(compositor.bufferScale > 0 ? compositor.bufferScale : 1) + " shown at " +
                              std::to_string(compositor.destinationWidth) + "x" +
                              std::to_string(compositor.destinationHeight);
    const std::string wanted = "buffer " + std::to_string(kind.bufferWidth) + "x" + std::to_string(kind.bufferHeight) +
                               " at scale " + std::to_string(kind.bufferScale) + " shown at " +
                               std::to_string(kind.destinationWidth) + "x" + std::to_string(kind.destinationHeight);
    if (!compositor.acknowledged)
        return shown + " before the configure was acknowledged";
    if (shown != wanted)
        return shown + ", not " + wanted;
    wl_shm_buffer_begin_access(buffer);
    const std::string blocks = brokenBlock(static_cast<const uint8_t*>(wl_shm_buffer_get_data(buffer)),
                                           wl_shm_buffer_get_stride(buffer), width, height, kind.blocks);
    wl_shm_buffer_end_access(buffer);
    return blocks;
}

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
    if (compositor.misfit.empty()) {
        const std::string misfit = misfitOf(wl_shm_buffer_get(compositor.pendingBuffer));
        if (!misfit.empty())
            compositor.misfit = "frame " + std::to_string(compositor.framesShown) + ": " + misfit;
    }
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

// ---- viewporter, fractional-scale ---------------------------------------------

void setSource(wl_client*, wl_resource*, wl_fixed_t, wl_fixed_t, wl_fixed_t, wl_fixed_t) {}
void setDestination(wl_client*, wl_resource*, int32_t width, int32_t height)
{
    compositor.destinationWidth = width;
    compositor.destinationHeight = height;
}
const struct wp_viewport_interface viewportImplementation = {destroyResource, setSource, setDestination};

void getViewport(wl_client* client, wl_resource*, uint32_t id, wl_resource*)
{
    wl_resource* viewport = wl_resource_create(client, &wp_viewport_interface, 1, id);
    wl_resource_set_implementation(viewport, &viewportImplementation, nullptr, nullptr);
}
const struct wp_viewporter_interface viewporterImplementation = {destroyResource, getViewport};

const struct wp_fractional_scale_v1_interface fractionalImplementation = {destroyResource};

void getFractionalScale(wl_client* client, wl_resource*, uint32_t id, wl_resource*)
{
    wl_resource* fractional = wl_resource_create(client, &wp_fractional_scale_v1_interface, 1, id);
    wl_resource_set_implementation(fractional, &fractionalImplementation, nullptr, nullptr);
    wp_fractional_scale_v1_send_preferred_scale(fractional, compositor.kind.fractionalScale);
}
const struct wp_fractional_scale_manager_v1_interface fractionalManagerImplementation = {destroyResource,
                                                                                        getFractionalScale};

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
        const CompositorCase& shape = compositor.kind;
        wl_output_send_mode(resource, WL_OUTPUT_MODE_CURRENT, shape.bufferWidth, shape.bufferHeight, 60000);
        wl_output_send_scale(resource, shape.scale);
        wl_output_send_done(resource);
    }
}

const struct wl_output_interface outputImplementation = {destroyResource};

const GlobalKind compositorGlobal = {&wl_compositor_interface, 4, &compositorImplementation};
const GlobalKind outputGlobal = {&wl_output_interface, 2, &outputImplementation};
const GlobalKind layerShellGlobal = {&zwlr_layer_shell_v1_interface, 3, &layerShellImplementation};
const GlobalKind wmBaseGlobal = {&xdg_wm_base_interface, 2, &wmBaseImplementation};
const GlobalKind viewporterGlobal = {&wp_viewporter_interface, 1, &viewporterImplementation};
const GlobalKind fractionalGlobal = {&wp_fractional_scale_manager_v1_interface, 1, &fractionalManagerImplementation};

wl_global* addGlobal(const GlobalKind& kind)
{
    return wl_global_create(compositor.display, kind.interface, kind.version, const_cast<GlobalKind*>(&kind),
                            bindGlobal);
}

// name, shell, configured size, scale, fractional scale; buffer size and
// scale, the viewport's destination, blocks
const CompositorCase cases[] = {
    {"LockScreen", Shell::layer, 700, 400, 2, 0, 1400, 800, 2, 0, 0, 1},
    {"FractionalScale", Shell::layer, 1280, 720, 2, 180, 1920, 1080, 1, 1280, 720, 2},
    {"NoLayerShell", Shell::xdg, 700, 400, 2, 0, 1400, 800, 2, 0, 0, 1},
};
void PrintTo(const CompositorCase& c, std::ostream* out) { *out << c.name; }

} // namespace

// One test's compositor: shm, a compositor, an output and the shell, and a
// loop that dispatches it while a condition is awaited.
class OwnCompositor : public ::testing::TestWithParam<CompositorCase> {
protected:
    void SetUp() override
    {
        const CompositorCase& kind = GetParam();
        compositor = Compositor{};
        compositor.kind = kind;
        wl_list_init(&compositor.frameCallbacks);
        compositor.display = wl_display_create();
        ASSERT_EQ(wl_display_init_shm(compositor.display), 0);
        addGlobal(compositorGlobal);
        output = addGlobal(outputGlobal);
        addGlobal(kind.shell == Shell::layer ? layerShellGlobal : wmBaseGlobal);
        if (kind.fractionalScale != 0) {
            addGlobal(viewporterGlobal);
            addGlobal(fractionalGlobal);
        }
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
    wl_global* output = nullptr;
};

INSTANTIATE_TEST_SUITE_P(Each, OwnCompositor, ::testing::ValuesIn(cases),
                         [](const ::testing::TestParamInfo<CompositorCase>& c) { return c.param.name; });

// With layer-shell the program is one process on a socket the compositor
// hands over, as a lock screen does it, with no seat. Without it the parent
// and its process for the output (named by its global: the output has no
// name) both connect by the compositor's socket, the output gets a
// full-screen window, and when the output goes its process is ended while
// the parent waits on.
TEST_P(OwnCompositor, EveryFrameIsCommittedAtExactlyTheConfiguredSizeAndScaleUntilTheProgramIsEnded)
{
    const bool handed = GetParam().shell == Shell::layer;
    std::vector<std::string> environment = {"DISPLAY="};
    int sockets[2] = {-1, -1};
    if (handed) {
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, sockets), 0);
        fcntl(sockets[0], F_SETFD, FD_CLOEXEC);
        wl_client_create(compositor.display, sockets[0]);
        environment.push_back("WAYLAND_SOCKET=" + std::to_string(sockets[1]));
    } else {
        const std::string runtime = testDirectory("own-compositor");
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        const char* socket = wl_display_add_socket_auto(compositor.display);
        ASSERT_NE(socket, nullptr);
        environment.push_back("XDG_RUNTIME_DIR=" + runtime);
        environment.push_back("WAYLAND_DISPLAY=" + std::string(socket));
    }
    ChildProcess& vasken = startVasken(environment);
    if (handed)
        close(sockets[1]);
    EXPECT_TRUE(serveUntil("twenty frames", [&] { return compositor.framesShown >= 20 || !vasken.running(); }));
    EXPECT_TRUE(vasken.running()) << vasken.errors();
    EXPECT_EQ(compositor.misfit, "") << "the first frame that did not fit";
    pid_t outputProcess = 0;
    std::ifstream(std::string("/proc/") + std::to_string(vasken.pid) + "/task/" + std::to_string(vasken.pid) +
                  "/children") >>
        outputProcess;
    if (!handed) {
        EXPECT_GT(outputProcess, 0) << "no process for the output";
        EXPECT_NE(compositor.fullScreenOn, nullptr) << "no full-screen request";
        EXPECT_EQ(compositor.fullScreenOn, compositor.output) << "full screen on another output than the one announced";
        wl_global_destroy(output);
        const std::string reaped = "/proc/" + std::to_string(outputProcess);
        EXPECT_TRUE(serveUntil("the output's process to end",
                               [&] { return access(reaped.c_str(), F_OK) != 0 || !vasken.running(); }, 10000));
        EXPECT_TRUE(vasken.running()) << "the parent ended with its output: " << vasken.errors();
    }
    kill(vasken.pid, SIGTERM);
    EXPECT_TRUE(serveUntil("the program to end", [&] { return !vasken.running(); }, 10000));
    EXPECT_EQ(vasken.waitExit(0), 0) << vasken.errors();
    if (outputProcess > 0) {
        EXPECT_NE(kill(outputProcess, 0), 0) << "the output's process outlived the parent";
    }
}

// The program's connection to a Wayland compositor: the globals it uses, a
// record per output (its name and whole-number scale) that follows outputs
// as they come and go, and the seats, whose keyboards and pointers end the
// saver as the input rules below say. The surface
// (platforms/wayland/surface_wayland.cpp), the parent of the per-output
// processes (platforms/wayland/outputs_wayland.cpp) and the program's loop
// read this state after each dispatch.
#pragma once
#include <cstdint>

struct wl_compositor;
struct wl_display;
struct wl_keyboard;
struct wl_output;
struct wl_pointer;
struct wl_registry;
struct wl_seat;
struct wl_shm;
struct wp_fractional_scale_manager_v1;
struct wp_viewporter;
struct xdg_wm_base;
struct zwlr_layer_shell_v1;
struct zxdg_output_manager_v1;
struct zxdg_output_v1;

enum : int32_t { maxWaylandOutputs = 16, maxWaylandSeats = 4, outputNameSize = 64 };

struct WaylandOutput {
    wl_output* output; // null: the slot is free
    uint32_t global;   // its name in the registry, the same for every client
    zxdg_output_v1* xdgOutput;
    char name[outputNameSize]; // the connector's (xdg-output or wl_output 4); "" until known
    int32_t scale;             // whole number
    bool done;                 // wl_output's first done came
    bool xdgDone;              // xdg-output's own done came (before version 3)
};

// What input ends the program, beside signals and the compositor.
enum class InputEnds : uint8_t {
    keyOrButton, // a window of its own, as on X11
    anyInput,    // the saver: a key, a button, or the pointer's travel
};

struct WaylandSeat {
    wl_seat* seat; // null: the slot is free
    uint32_t global;
    wl_keyboard* keyboard;
    bool keyboardCameLater; // the keyboard appeared after the program connected
    wl_pointer* pointer;
    bool pointerInside; // over our surface; the travel counts from where it entered
    double enterX;
    double enterY;
};

struct WaylandConnection {
    wl_display* display;
    wl_registry* registry;
    wl_compositor* compositor;
    wl_shm* shm;
    xdg_wm_base* wmBase;
    zwlr_layer_shell_v1* layerShell;
    wp_viewporter* viewporter;
    wp_fractional_scale_manager_v1* fractionalScale;
    zxdg_output_manager_v1* outputManager;
    uint32_t compositorVersion;
    WaylandOutput outputs[maxWaylandOutputs];
    WaylandSeat seats[maxWaylandSeats];
    InputEnds inputEnds;
    bool inputEnded; // input asked the program to end
    bool connected;  // the first globals and their state are in
};

extern WaylandConnection wayland;

// The pointer may travel this far (logical pixels) from where it entered.
constexpr double pointerTravelAllowed = 4.0;

// Connects as libwayland does ($WAYLAND_SOCKET, else $WAYLAND_DISPLAY) and
// waits until the globals and every output's name and scale are known.
// False with a sentence in *error when there is no compositor or it lacks
// wl_compositor 4 or wl_shm.
bool connectWayland(const char** error);
// Lets go of everything and closes the connection.
void disconnectWayland();

// Sends what is queued and waits until the compositor sends something, fd
// (-1: none) becomes readable or timeout milliseconds pass (-1: no limit),
// then handles what came. False once the connection is lost.
bool waitWayland(int timeout, int fd, bool& fdReady);
// Why the connection was lost, as a sentence.
const char* waylandLossReason();
// Whether the compositor ended it over an error of this client's.
bool waylandProtocolError();

// The output of that wl_output, or of that name ("#N": the registry's
// global N, for outputs that have no name); null if there is none.
WaylandOutput* findWaylandOutput(const wl_output* output);
WaylandOutput* findWaylandOutput(const char* name);

// Whether the output's name and scale are known.
bool waylandOutputReady(const WaylandOutput& output);

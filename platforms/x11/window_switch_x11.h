// The one program draws on an X display or on a Wayland compositor, and the
// window functions that the memory drawing model and the scene driver call
// are functions fixed at link time: this switch forwards each to the display
// the program opened (platforms/x11/main_x11.cpp chooses).
#pragma once
#include <cstdint>

enum class OpenedDisplay : uint8_t { x11, wayland };

// From now on the window functions go to display; X11 until then.
void useDisplay(OpenedDisplay display);

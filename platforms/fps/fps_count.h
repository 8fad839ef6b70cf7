// Kit: --fps as XScreenSaver's hacks show it, for the Linux programs. The
// program's loop (platforms/loop/saver_loop.h) counts its frames here, and
// about once a second the text becomes the frames per second and the share
// of a core the process used meanwhile; the display draws the text with the
// overlay (platforms/fps/fps_overlay.h).
#pragma once

// Starts the count; until the first second is over the text shows dashes.
void startFpsCount();
// Counts a frame that has just ended; nothing unless the count was started.
void countFpsFrame();
// The text to show, lines split by '\n'; empty unless the count was started.
const char* fpsText();

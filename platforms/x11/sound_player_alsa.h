// The X11 program's sound player: waves built into the program, played on
// ALSA's default device by a thread of its own.
#pragma once

// Stops what plays, ends the player's thread and closes the device. Called
// once when the program ends.
void closeSoundPlayer();

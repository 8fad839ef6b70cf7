// Kit: the sound player of the Linux programs: waves built into the
// program, played on ALSA's default device by a thread of its own.
#pragma once

// Stops what plays, ends the player's thread and closes the device. Called
// once when the program ends.
void closeSoundPlayer();

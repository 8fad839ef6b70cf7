// The X11 program's bitmap sources: pattern images built into the program,
// and, when the user names a directory, files of the same names there that
// replace them (as a file in the working directory replaces a resource of
// the Windows image).
#pragma once

// The directory searched for pattern files, or null for none (the default:
// a hack started by a daemon has no working directory of its user's choice).
void setBitmapDirectory(const char* directory);

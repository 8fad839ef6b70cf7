// For the tests of a Linux program that may play sound: ALSA's default
// device made a file device that writes what it is given to a file, so that
// what plays can be read back and nothing reaches a real device.
#pragma once
#include <cstdlib>
#include <fstream>
#include <string>

#include "tests/platforms/x11/x11_test_support.h"

// The file the default device writes to. Set up once per process, before the
// first open, because ALSA reads its configuration once.
inline std::string recordingPath()
{
    static const std::string path = [] {
        const std::string dir = x11test::testDirectory("alsa-recording");
        std::ofstream(dir + "/.asoundrc") << "pcm.!default {\n  type file\n  slave.pcm \"null\"\n  file \"" << dir
                                          << "/played.raw\"\n  format \"raw\"\n}\n";
        setenv("HOME", dir.c_str(), 1);
        return dir + "/played.raw";
    }();
    return path;
}

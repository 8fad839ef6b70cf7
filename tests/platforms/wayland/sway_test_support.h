// Shared by the Wayland program's tests: SwayTest, a fixture that runs
// headless sway (two outputs, a desktop of a colour the scene never shows,
// so that an uncovered pixel stands out) as an unprivileged user with a runtime directory of its own, runs
// the program, swaymsg, grim, wtype and the tests' pointer client there as
// that user, and takes every process down however the test ends.
#pragma once
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "tests/platforms/process_test_support.h"
#include "tests/platforms/scene_colours_test_support.h"

namespace swaytest {

using namespace processtest;

const char* const user = "vaskenwayland";

// The desktop's colour behind every surface: no entry of the scene's
// palette.
constexpr unsigned long desktop = 0x339966;

// A screenshot of one output in device pixels, as 0xRRGGBB values.
struct Grab {
    int width = 0;
    int height = 0;
    std::vector<unsigned long> pixels;
    unsigned long at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

inline unsigned long rgb(uint8_t red, uint8_t green, uint8_t blue)
{
    return static_cast<unsigned long>(red) << 16 | static_cast<unsigned long>(green) << 8 | blue;
}

inline scenetest::SceneColours sortColours(const Grab& grab) { return scenetest::sortSceneColours(grab.pixels, rgb); }

// The tests' pointer client (a copy of VASKEN_TEST_POINTER) as a child with pipes:
// send() writes a line and waits for its "done".
class PointerClient {
public:
    PointerClient(const std::vector<std::string>& launcher, const std::string& program)
    {
        // Only the client may hold the pipes: its input ends when this
        // side closes it, whatever the test starts later.
        int in[2], out[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0)
            return;
        std::vector<std::string> args = launcher;
        args.push_back(program);
        const int null = open("/dev/null", O_WRONLY);
        pid = spawn(args, out[1], null, {}, in[0]);
        close(null);
        close(in[0]);
        close(out[1]);
        toClient = fdopen(in[1], "w");
        fromClient = fdopen(out[0], "r");
        ready = answer() == "ready";
    }
    ~PointerClient()
    {
        if (toClient != nullptr)
            std::fclose(toClient);
        if (fromClient != nullptr)
            std::fclose(fromClient);
        const auto ended = [&] { return waitpid(pid, nullptr, WNOHANG) != 0; };
        if (pid > 0 && !eventually("the pointer client to end", ended, 5000)) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    bool send(const std::string& line)
    {
        std::fprintf(toClient, "%s\n", line.c_str());
        std::fflush(toClient);
        return answer() == "done";
    }
    bool ready = false;

private:
    std::string answer()
    {
        char line[64] = "";
        if (fromClient == nullptr || std::fgets(line, sizeof line, fromClient) == nullptr)
            return "";
        std::string text = line;
        return text.substr(0, text.find('\n'));
    }
    pid_t pid = -1;
    FILE* toClient = nullptr;
    FILE* fromClient = nullptr;
};

// One test's sway with outputs HEADLESS-1 and HEADLESS-2 (1280 x 720), and
// the programs the test starts in it. SetUp skips the test unless it runs
// as root (it makes the user).
class SwayTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (geteuid() != 0)
            GTEST_SKIP() << "running sway as an unprivileged user needs root";
        ASSERT_TRUE(ensureTestUser(user, account));
        // The runtime folder and copies of the programs live in the user's
        // home: the build folder may lie where the user cannot reach (a
        // clone in a private temporary folder). A short path: sockets'
        // paths are at most 107 bytes long.
        runtime = account.home + "/wl" + std::to_string(getpid());
        programDir = account.home + "/vasken-test-" + std::to_string(getpid());
        ASSERT_EQ(std::system(("rm -rf '" + runtime + "' '" + programDir + "' && mkdir -p '" + runtime + "' '" +
                               programDir + "' && cp " VASKEN_PROGRAM " " VASKEN_TEST_POINTER " '" + programDir +
                               "' && chmod -R a+rX '" + programDir + "'")
                                  .c_str()),
                  0);
        ASSERT_EQ(chown(runtime.c_str(), account.uid, account.gid), 0);
        ASSERT_EQ(chmod(runtime.c_str(), 0700), 0);
        for (int i = 0; i < 256; ++i)
            ASSERT_NE(scenetest::palettePixel(i, rgb), desktop) << "the desktop's colour is palette entry " << i;
        std::ofstream(runtime + "/config") << "output * bg #339966 solid_color\n";
        const std::vector<std::string> environment = {
            "XDG_RUNTIME_DIR=" + runtime, "WLR_BACKENDS=headless", "WLR_LIBINPUT_NO_DEVICES=1",
            "WLR_RENDERER=pixman",        "WLR_HEADLESS_OUTPUTS=2"};
        std::vector<std::string> args = asUser(environment);
        args.insert(args.end(), {"sway", "-c", runtime + "/config"});
        sway = std::make_unique<ChildProcess>(args);
        ASSERT_TRUE(eventually("sway's sockets", [&] {
            return !sway->running() || (access((runtime + "/wayland-1").c_str(), F_OK) == 0 && !ipcSocket().empty());
        }));
        ASSERT_TRUE(sway->running()) << "sway ended: " << sway->errors();
        ASSERT_TRUE(eventually("the desktop", [&] {
            const Grab grab = this->grab("HEADLESS-1");
            return !grab.pixels.empty() && grab.at(grab.width / 2, grab.height / 2) == desktop;
        }));
    }

    // The program first, sway last; vasken processes of the user that
    // outlived their parent are killed (each by its pid).
    void TearDown() override
    {
        programs.clear();
        pointer.reset();
        for (pid_t left : processesOf(user, "vasken"))
            kill(left, SIGKILL);
        if (sway != nullptr && sway->running()) {
            kill(sway->pid, SIGTERM);
            sway->waitExit(5000);
        }
        sway.reset();
        for (pid_t left : processesOf(user, "swaybg"))
            kill(left, SIGKILL);
        std::system(("rm -rf '" + runtime + "' '" + programDir + "'").c_str());
    }

    // A command line that runs as the user with a clean environment: the
    // runtime directory, the compositor and its IPC socket, and the
    // entries given.
    std::vector<std::string> asUser(const std::vector<std::string>& environment = {}) const
    {
        std::vector<std::string> args = {"setpriv",
                                         "--reuid=" + std::to_string(account.uid),
                                         "--regid=" + std::to_string(account.gid),
                                         "--clear-groups",
                                         "env",
                                         "-i",
                                         "PATH=/usr/bin:/bin",
                                         "HOME=" + account.home,
                                         "XDG_RUNTIME_DIR=" + runtime,
                                         "WAYLAND_DISPLAY=wayland-1"};
        const std::string ipc = ipcSocket();
        if (!ipc.empty())
            args.push_back("SWAYSOCK=" + ipc);
        args.insert(args.end(), environment.begin(), environment.end());
        return args;
    }

    std::string ipcSocket() const
    {
        std::string found;
        if (FILE* pipe = popen(("ls " + runtime + "/sway-ipc.*.sock 2>/dev/null").c_str(), "r")) {
            char line[512] = "";
            if (std::fgets(line, sizeof line, pipe) != nullptr)
                found = std::string(line).substr(0, std::string(line).find('\n'));
            pclose(pipe);
        }
        return found;
    }

    // Runs a tool as the user; its exit status is 0 on success.
    int run(const std::vector<std::string>& tool) const
    {
        std::string command;
        for (const std::string& word : asUser())
            command += "'" + word + "' ";
        for (const std::string& word : tool)
            command += "'" + word + "' ";
        return std::system((command + ">/dev/null 2>&1").c_str());
    }

    int swaymsg(const std::string& command) const { return run({"swaymsg", command}); }

    // One output in device pixels (grim), empty when grim fails.
    Grab grab(const std::string& output) const
    {
        const std::string file = runtime + "/grab.ppm";
        Grab grab;
        if (run({"grim", "-t", "ppm", "-o", output, file}) != 0)
            return grab;
        std::ifstream in(file, std::ios::binary);
        std::string magic;
        int maximum = 0;
        in >> magic >> grab.width >> grab.height >> maximum;
        in.get();
        std::vector<unsigned char> bytes(static_cast<size_t>(grab.width) * grab.height * 3);
        in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (magic != "P6" || maximum != 255 || !in)
            return Grab{};
        for (size_t i = 0; i < bytes.size(); i += 3)
            grab.pixels.push_back(rgb(bytes[i], bytes[i + 1], bytes[i + 2]));
        return grab;
    }

    // The program as the user, on this sway.
    ChildProcess& startVasken(const std::vector<std::string>& options)
    {
        std::vector<std::string> args = asUser();
        args.push_back(programDir + "/" + baseName(VASKEN_PROGRAM));
        args.insert(args.end(), options.begin(), options.end());
        programs.push_back(std::make_unique<ChildProcess>(args));
        return *programs.back();
    }

    // The pointer client as the user; a test keeps one for its sequence.
    PointerClient& startPointer()
    {
        pointer = std::make_unique<PointerClient>(asUser(), programDir + "/" + baseName(VASKEN_TEST_POINTER));
        return *pointer;
    }

    // Waits until the output shows the scene all over: no desktop pixel,
    // the ships, and squares in every quarter.
    ::testing::AssertionResult covered(const std::string& output)
    {
        std::string seen = "no screenshot";
        return eventually("the scene all over " + output, [&] {
                   const Grab grab = this->grab(output);
                   if (grab.pixels.empty())
                       return false;
                   int uncovered = 0;
                   int quarters[4] = {};
                   for (int y = 0; y < grab.height; ++y)
                       for (int x = 0; x < grab.width; ++x) {
                           const unsigned long p = grab.at(x, y);
                           uncovered += p == desktop;
                           quarters[(y * 2 / grab.height) * 2 + x * 2 / grab.width] += p != 0 && p != desktop;
                       }
                   const scenetest::SceneColours colours = sortColours(grab);
                   seen = std::to_string(uncovered) + " desktop pixels, " + std::to_string(colours.shipPixels) +
                          " ship pixels, " + std::to_string(colours.squareColours) +
                          " square colours, lit pixels by quarter " +
                          std::to_string(quarters[0]) + " " + std::to_string(quarters[1]) + " " +
                          std::to_string(quarters[2]) + " " + std::to_string(quarters[3]);
                   return uncovered == 0 && colours.shipPixels > 500 && colours.squareColours >= 8 &&
                          quarters[0] > 0 && quarters[1] > 0 && quarters[2] > 0 && quarters[3] > 0;
               }) << ": " << seen;
    }

    static std::string baseName(const std::string& path) { return path.substr(path.rfind('/') + 1); }

    TestUser account;
    std::string runtime;
    std::string programDir; // the copies of vasken and the pointer client
    std::unique_ptr<ChildProcess> sway;
    std::vector<std::unique_ptr<ChildProcess>> programs;
    std::unique_ptr<PointerClient> pointer;
};

} // namespace swaytest

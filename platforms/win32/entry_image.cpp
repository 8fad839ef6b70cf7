// Process entry of the freestanding image: no C runtime start code runs, so
// this entry runs the static constructors, skips the program name, runs the
// chosen mode and destroys the static objects before the process ends.
#include "platforms/win32/host_win32.h"
#include "support/float_control.h"
#include "platforms/win32/runtime_image.h"

namespace {

const char* stepCharNextA(const char* at) { return CharNextA(at); }

} // namespace

extern "C" void WINAPI hostEntry()
{
    // The formation's arithmetic must match the native SSE build bit for bit
    // whatever control word the platform started the thread with.
    setDoublePrecision();
    runStaticConstructors();
    const char* tail = skipProgramName(GetCommandLineA(), stepCharNextA);
    STARTUPINFOA startup;
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    const int32_t result = saverMain(GetModuleHandleA(nullptr), tail);
    runExitHandlers();
    ExitProcess(static_cast<UINT>(result));
}

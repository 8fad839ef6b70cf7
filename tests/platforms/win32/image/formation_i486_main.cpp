// The formation's long-run scenario built by the image's compiler with the
// image's flags (x87 code for the i486), linked without any runtime and
// started as a bare i386 Linux process under user-mode emulation
// (run_i486.sh). It prints the checksum and exits 0 when it matches.
#include <cstddef>
#include <cstdint>
#include <new>

#include "support/clock.h"
#include "support/float_control.h"
#include "tests/formation_scenario.h"

namespace {

uint32_t ticks = 0;
alignas(16) unsigned char arena[1 << 16];
size_t arenaUsed = 0;

void setTicks(uint32_t value) { ticks = value; }

// Linux i386 system calls through int 0x80; the program has no C library.
void systemCall(int32_t number, int32_t a, int32_t b, int32_t c)
{
    asm volatile("int $0x80" : "+a"(number) : "b"(a), "c"(b), "d"(c) : "memory");
}

} // namespace

uint32_t readTickCount() { return ticks; }

// The few runtime pieces the core and the scenario reach besides the image's
// memory functions: a bump allocator (tables are replaced, never freed here).
namespace std { const nothrow_t nothrow{}; }
void* operator new[](size_t size, const std::nothrow_t&) noexcept
{
    if (size > sizeof arena - arenaUsed)
        return nullptr;
    void* block = arena + arenaUsed;
    arenaUsed += (size + 15) & ~static_cast<size_t>(15);
    return block;
}
void operator delete[](void*) noexcept {}
extern "C" int atexit(void (*)()) { return 0; }

extern "C" void start()
{
    setDoublePrecision();
    const uint64_t checksum = runFormationScenario(setTicks);
    char text[17];
    for (int i = 0; i < 16; ++i)
        text[i] = "0123456789ABCDEF"[(checksum >> (60 - 4 * i)) & 15];
    text[16] = '\n';
    systemCall(4, 1, static_cast<int32_t>(reinterpret_cast<intptr_t>(text)), 17);
    systemCall(1, checksum == formationScenarioChecksum ? 0 : 1, 0, 0);
}

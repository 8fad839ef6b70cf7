// The image's block copies as the image's compiler builds them for the i486
// (32-bit words), checked against the byte model and started as a bare i386
// Linux process under user-mode emulation (run_i486.sh).
#include <cstddef>
#include <cstdint>

#include "tests/block_copy_checks.h"

namespace {

// Linux i386 system calls through int 0x80; the program has no C library.
void systemCall(int32_t number, int32_t a, int32_t b, int32_t c)
{
    asm volatile("int $0x80" : "+a"(number) : "b"(a), "c"(b), "d"(c) : "memory");
}

void print(const char* text)
{
    int32_t length = 0;
    while (text[length])
        ++length;
    systemCall(4, 1, static_cast<int32_t>(reinterpret_cast<intptr_t>(text)), length);
}

} // namespace

extern "C" void start()
{
    const block_copy_checks::Failure f = block_copy_checks::runAll();
    if (f.failures == 0) {
        print("block copies match the byte model\n");
    } else {
        print("block copies differ from the byte model, first in ");
        print(f.operation);
        print("\n");
    }
    systemCall(1, f.failures == 0 ? 0 : 1, 0, 0);
}

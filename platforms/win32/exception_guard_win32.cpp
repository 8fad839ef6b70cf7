// The structured-exception guard around the chosen run mode. g++ has no
// __try/__except, so the guard registers its own handler: on 32-bit x86 an
// exception registration record on the thread's handler chain (fs:[0]), which
// every version of the platform from Windows 95 on dispatches to. The 64-bit
// twin build, used for testing on 64-bit Wine, uses a vectored handler that
// answers only for faults raised in this executable's own code.
#include "platforms/win32/host_win32.h"

namespace {

struct GuardState {
    void* jumpBuffer[5];
    void (*onFault)();
};

// Offers the exception to the platform's filter; true when the guard is to
// take over (EXCEPTION_EXECUTE_HANDLER).
bool filterSaysExecute(EXCEPTION_RECORD* record, CONTEXT* context)
{
    EXCEPTION_POINTERS pointers;
    pointers.ExceptionRecord = record;
    pointers.ContextRecord = context;
    return UnhandledExceptionFilter(&pointers) == EXCEPTION_EXECUTE_HANDLER;
}

} // namespace

#if defined(__i386__)

namespace {

// Layout fixed by the platform: the first two fields are the registration
// record that fs:[0] points to.
struct GuardFrame {
    GuardFrame* previous;
    void* handler;
    GuardState state;
};

GuardFrame* readChainHead()
{
    GuardFrame* head;
    asm volatile("movl %%fs:0, %0" : "=r"(head));
    return head;
}

void writeChainHead(GuardFrame* head)
{
    asm volatile("movl %0, %%fs:0" : : "r"(head) : "memory");
}

// Runs the unwind handlers of every registration above ours. RtlUnwind does
// not preserve the callee-saved registers on every version, so they are
// saved around the call.
__attribute__((noinline)) void unwindTo(GuardFrame* frame, EXCEPTION_RECORD* record)
{
    asm volatile("pushl %%ebp\n\t"
                 "pushl %%ebx\n\t"
                 "pushl %%esi\n\t"
                 "pushl %%edi\n\t"
                 "pushl $0\n\t"
                 "pushl %1\n\t"
                 "pushl $0\n\t"
                 "pushl %0\n\t"
                 "call _RtlUnwind@16\n\t"
                 "popl %%edi\n\t"
                 "popl %%esi\n\t"
                 "popl %%ebx\n\t"
                 "popl %%ebp"
                 :
                 : "r"(frame), "r"(record)
                 : "eax", "ecx", "edx", "memory", "cc");
}

extern "C" EXCEPTION_DISPOSITION __cdecl guardHandler(EXCEPTION_RECORD* record, void* establisher,
                                                      CONTEXT* context, void*)
{
    if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND))
        return ExceptionContinueSearch;
    if (!filterSaysExecute(record, context))
        return ExceptionContinueSearch;
    GuardFrame* frame = static_cast<GuardFrame*>(establisher);
    unwindTo(frame, record);
    frame->state.onFault();
    writeChainHead(frame->previous);
    __builtin_longjmp(frame->state.jumpBuffer, 1);
}

} // namespace

int32_t runGuarded(int32_t (*body)(void* context), void* context, void (*onFault)(), int32_t faultResult)
{
    GuardFrame frame;
    frame.handler = reinterpret_cast<void*>(guardHandler);
    frame.state.onFault = onFault;
    if (__builtin_setjmp(frame.state.jumpBuffer))
        return faultResult;
    frame.previous = readChainHead();
    writeChainHead(&frame);
    const int32_t result = body(context);
    writeChainHead(frame.previous);
    return result;
}

#else

namespace {

GuardState* activeGuard = nullptr;

bool raisedInThisImage(const EXCEPTION_RECORD* record)
{
    HMODULE self = GetModuleHandleA(nullptr);
    const char* base = reinterpret_cast<const char*>(self);
    const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const IMAGE_NT_HEADERS* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const char* address = static_cast<const char*>(record->ExceptionAddress);
    return address >= base && address < base + nt->OptionalHeader.SizeOfImage;
}

LONG CALLBACK vectoredGuard(EXCEPTION_POINTERS* pointers)
{
    EXCEPTION_RECORD* record = pointers->ExceptionRecord;
    // Informational exceptions (debug output, thread names) are not faults.
    if (activeGuard == nullptr || (record->ExceptionCode & 0xC0000000u) != 0xC0000000u ||
        !raisedInThisImage(record))
        return EXCEPTION_CONTINUE_SEARCH;
    if (!filterSaysExecute(record, pointers->ContextRecord))
        return EXCEPTION_CONTINUE_SEARCH;
    GuardState* guard = activeGuard;
    activeGuard = nullptr;
    guard->onFault();
    __builtin_longjmp(guard->jumpBuffer, 1);
}

} // namespace

int32_t runGuarded(int32_t (*body)(void* context), void* context, void (*onFault)(), int32_t faultResult)
{
    GuardState state;
    state.onFault = onFault;
    void* handler = AddVectoredExceptionHandler(1, vectoredGuard);
    if (__builtin_setjmp(state.jumpBuffer)) {
        RemoveVectoredExceptionHandler(handler);
        return faultResult;
    }
    GuardState* outer = activeGuard;
    activeGuard = &state;
    const int32_t result = body(context);
    activeGuard = outer;
    RemoveVectoredExceptionHandler(handler);
    return result;
}

#endif

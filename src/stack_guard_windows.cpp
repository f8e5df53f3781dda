// The stack canary of the Windows build. A function compiled with
// -fstack-protector-strong keeps a copy of __stack_chk_guard in its frame and
// calls __stack_chk_fail if the copy has changed when it returns.
//
// MinGW's own guard (libssp) seeds itself through ADVAPI32, one more DLL for
// every run to load. This one mixes what KERNEL32 tells at start-up, as
// Windows' own compilers do: the system time, the process and thread ids,
// the tick count, the performance counter, and where the stack lies.
#include <windows.h>

#include <cstdint>

namespace
{

// What the guard holds until it is seeded, and if the seed comes out the same.
constexpr std::uintptr_t default_guard = 0xBB40E64EU;
// The status Windows gives a process that overran a buffer on its stack.
constexpr UINT stack_buffer_overrun = 0xC0000409U;

} // namespace

extern "C" {

std::uintptr_t __stack_chk_guard = default_guard;

[[noreturn]] void __stack_chk_fail()
{
    // A frame was overwritten: end now, and run nothing more of the program.
    TerminateProcess(GetCurrentProcess(), stack_buffer_overrun);
    __builtin_trap();
}
}

namespace
{

// Runs before wmain, and before any protected function. It must not check
// a canary itself: the guard changes while it runs.
__attribute__((constructor, no_stack_protector)) void seed_stack_guard()
{
    FILETIME time{};
    GetSystemTimeAsFileTime(&time);
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    std::uintptr_t seed = time.dwLowDateTime ^ time.dwHighDateTime;
    seed ^= GetCurrentProcessId() ^ GetCurrentThreadId() ^ GetTickCount();
    seed ^= counter.LowPart ^ static_cast<std::uintptr_t>(counter.HighPart);
    seed ^= reinterpret_cast<std::uintptr_t>(&time);
    __stack_chk_guard = seed == default_guard ? seed + 1 : seed;
}

} // namespace

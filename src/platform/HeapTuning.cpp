#include "platform/HeapTuning.h"

#include <cstdlib> // before the test below: the C library's headers say whose library it is

#if defined(__GLIBC__)
#include <cstring>
#include <string>
#include <unistd.h>
#endif

namespace tarnwick {

#if defined(__GLIBC__)

namespace {

constexpr const char* kTunables = "GLIBC_TUNABLES";
constexpr const char* kHeapTuning = "glibc.malloc.hugetlb=1:glibc.malloc.top_pad=16777216";
// Set for the restarted program: "-" when there were no tunables, else "=" and what they were.
constexpr const char* kBefore = "TARNWICK_TUNABLES_BEFORE";

void putBack(const char* before)
{
    if (before[0] == '=')
        setenv(kTunables, before + 1, 1);
    else
        unsetenv(kTunables);
}

} // namespace

void restartWithHeapTuning(char** argv)
{
    if (const char* before = std::getenv(kBefore)) {
        // The restarted program: the C library has read its tunables at start.
        putBack(before);
        unsetenv(kBefore);
        return;
    }
    const char* current = std::getenv(kTunables);
    if (current && std::strstr(current, "glibc.malloc."))
        return;
    const std::string before = current ? std::string("=") + current : std::string("-");
    const std::string tuned = current && *current ? std::string(current) + ':' + kHeapTuning : kHeapTuning;
    if (setenv(kBefore, before.c_str(), 1) != 0 || setenv(kTunables, tuned.c_str(), 1) != 0) {
        putBack(before.c_str());
        unsetenv(kBefore);
        return;
    }
    execv("/proc/self/exe", argv);
    // Not restarted (no /proc, say): the program runs as it was started.
    putBack(before.c_str());
    unsetenv(kBefore);
}

#else

void restartWithHeapTuning(char**) {}

#endif

} // namespace tarnwick

#include "platform/Interruption.h"

#include <csignal>

namespace tarnwick {

namespace {

volatile std::sig_atomic_t g_caught = 0;

extern "C" void remember(int signal)
{
    g_caught = signal;
}

#ifdef SIGBREAK
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGBREAK};
#else
constexpr int kSignals[] = {SIGINT, SIGTERM};
#endif

} // namespace

#ifdef _WIN32

InterruptionCatcher::InterruptionCatcher()
{
    for (int signal : kSignals)
        std::signal(signal, remember);
}

InterruptionCatcher::~InterruptionCatcher()
{
    for (int signal : kSignals)
        std::signal(signal, SIG_DFL);
}

int InterruptionCatcher::caught()
{
    return g_caught == SIGBREAK ? SIGINT : int(g_caught);
}

#else

InterruptionCatcher::InterruptionCatcher()
{
    struct sigaction action = {};
    action.sa_handler = remember;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART; // a read or write in hand goes on; the run looks at the flag between rows
    for (int signal : kSignals)
        sigaction(signal, &action, nullptr);
}

InterruptionCatcher::~InterruptionCatcher()
{
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int signal : kSignals)
        sigaction(signal, &action, nullptr);
}

int InterruptionCatcher::caught()
{
    return g_caught;
}

#endif

} // namespace tarnwick

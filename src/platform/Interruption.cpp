#include "platform/Interruption.h"

#include <csignal>

#ifndef _WIN32
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace tarnwick {

namespace {

volatile std::sig_atomic_t g_caught = 0;

#ifdef SIGBREAK
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGBREAK};
#else
constexpr int kSignals[] = {SIGINT, SIGTERM};
#endif

} // namespace

#ifdef _WIN32

namespace {

std::function<void()>* g_onSignal = nullptr;

// Windows runs a console signal's handler on a thread of its own, so the
// handler may call back itself.
extern "C" void remember(int signal)
{
    g_caught = signal;
    std::signal(signal, remember);
    if (g_onSignal && *g_onSignal)
        (*g_onSignal)();
}

} // namespace

InterruptionCatcher::InterruptionCatcher(std::function<void()> onSignal) : m_onSignal(std::move(onSignal))
{
    g_onSignal = &m_onSignal;
    for (int signal : kSignals)
        std::signal(signal, remember);
}

InterruptionCatcher::~InterruptionCatcher()
{
    for (int signal : kSignals)
        std::signal(signal, SIG_DFL);
    g_onSignal = nullptr;
}

int InterruptionCatcher::caught()
{
    return g_caught == SIGBREAK ? SIGINT : int(g_caught);
}

#else

namespace {

// The handler only writes a byte here; the watcher thread reads it.
int g_pipe[2] = {-1, -1};

extern "C" void remember(int signal)
{
    const int saved = errno;
    g_caught = signal;
    const char byte = 1;
    if (g_pipe[1] >= 0) [[maybe_unused]]
        const ssize_t written = write(g_pipe[1], &byte, 1);
    errno = saved;
}

} // namespace

InterruptionCatcher::InterruptionCatcher(std::function<void()> onSignal) : m_onSignal(std::move(onSignal))
{
    if (pipe(g_pipe) == 0) {
        fcntl(g_pipe[0], F_SETFD, FD_CLOEXEC);
        fcntl(g_pipe[1], F_SETFD, FD_CLOEXEC);
        m_watcher = std::thread([this, in = g_pipe[0]] {
            char byte = 0;
            for (;;) {
                const ssize_t got = read(in, &byte, 1);
                if (got < 0 && errno == EINTR)
                    continue;
                if (got <= 0 || byte == 0)
                    return; // the catcher ends
                if (m_onSignal)
                    m_onSignal();
            }
        });
    }
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
    if (m_watcher.joinable()) {
        const char end = 0;
        [[maybe_unused]] const ssize_t written = write(g_pipe[1], &end, 1);
        m_watcher.join();
    }
    for (int& end : g_pipe) {
        if (end >= 0)
            close(end);
        end = -1;
    }
}

int InterruptionCatcher::caught()
{
    return g_caught;
}

#endif

} // namespace tarnwick

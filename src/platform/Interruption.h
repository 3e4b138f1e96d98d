#pragma once

#include <functional>
#include <thread>

namespace tarnwick {

// Catches SIGINT and SIGTERM (Ctrl+C and Ctrl+Break on Windows) while an
// instance lives: the signal is remembered, so that the run in hand can
// end in order, drop its unfinished file and close its log, and `onSignal`
// is called at once on a thread of the catcher's (not in the signal
// handler), so that a read the run waits on can be cancelled. Before and
// after, the signals do what they always do.
class InterruptionCatcher
{
public:
    explicit InterruptionCatcher(std::function<void()> onSignal = {});
    ~InterruptionCatcher();
    InterruptionCatcher(const InterruptionCatcher&) = delete;
    InterruptionCatcher& operator=(const InterruptionCatcher&) = delete;

    // The signal caught, 0 while none has come.
    static int caught();
    // 128 + the signal, as a shell reports a process ended by it.
    static int exitStatus() { return 128 + caught(); }

private:
    std::function<void()> m_onSignal;
    std::thread m_watcher;
};

} // namespace tarnwick

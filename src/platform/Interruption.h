#pragma once

namespace tarnwick {

// Catches SIGINT and SIGTERM (Ctrl+C and Ctrl+Break on Windows) while an
// instance lives: the signal is only remembered, so that the run in hand can
// end in order, drop its unfinished file and close its log. Before and after,
// the signals do what they always do.
class InterruptionCatcher
{
public:
    InterruptionCatcher();
    ~InterruptionCatcher();
    InterruptionCatcher(const InterruptionCatcher&) = delete;
    InterruptionCatcher& operator=(const InterruptionCatcher&) = delete;

    // The signal caught, 0 while none has come.
    static int caught();
    // 128 + the signal, as a shell reports a process ended by it.
    static int exitStatus() { return 128 + caught(); }
};

} // namespace tarnwick

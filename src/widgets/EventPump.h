#pragma once

#include <QElapsedTimer>

namespace tarnwick {

// Runs pending events for a loop that yields once per line or row, at most
// every few milliseconds: handling them for each of 10,000 lines of an import
// took a fifth of its time. Windows are still redrawn and a click on Exit
// heard within that interval.
class EventPump
{
public:
    static constexpr int kEveryMs = 10;

    void pump();

private:
    QElapsedTimer m_sincePumped;
};

} // namespace tarnwick

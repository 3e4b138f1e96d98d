#include "widgets/EventPump.h"

#include <QCoreApplication>

namespace tarnwick {

void EventPump::pump()
{
    if (m_sincePumped.isValid() && m_sincePumped.elapsed() < kEveryMs)
        return;
    QCoreApplication::processEvents();
    m_sincePumped.start();
}

} // namespace tarnwick

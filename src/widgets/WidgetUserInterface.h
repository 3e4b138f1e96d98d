#pragma once

#include "widgets/EventPump.h"
#include "base/UserInterface.h"

namespace tarnwick {

// The wizard's side of UserInterface: modal message boxes over the active
// window, and the event loop for yields (every few milliseconds at most).
class WidgetUserInterface : public UserInterface
{
public:
    void showMessage(const QString& text, const QString& title = kAppTitle) override;
    bool askYesNo(const QString& text, const QString& title = kAppTitle) override;
    bool askOkCancel(const QString& text, const QString& title = kAppTitle) override;
    void yield() override;
    [[noreturn]] void exitProcess(int status) override;

private:
    EventPump m_events;
};

} // namespace tarnwick

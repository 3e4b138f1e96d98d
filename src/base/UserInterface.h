#pragma once

#include <QString>

namespace tarnwick {

inline const QString kAppTitle = QStringLiteral("Tarnwick");

// What a message tells, for the icon a window puts beside it: a failure, a
// refusal of what was asked (fix the input and try again), or plain news.
enum class MessageKind { Information, Warning, Error };
inline MessageKind messageKind(const QString& text)
{
    for (const char* lead : {"error", "(error)", "unable", "no application", "could not", "no log file"}) {
        if (text.startsWith(QLatin1String(lead), Qt::CaseInsensitive))
            return MessageKind::Error;
    }
    if (text.contains(QLatin1String(" in procedure "), Qt::CaseInsensitive) ||
        text.contains(QLatin1String("Exiting..."), Qt::CaseInsensitive))
        return MessageKind::Error;
    for (const char* lead : {"you must", "invalid", "the upper", "no ", "the output"}) {
        if (text.startsWith(QLatin1String(lead), Qt::CaseInsensitive))
            return MessageKind::Warning;
    }
    return MessageKind::Information;
}

// How core reaches the administrator without opening a window itself. The
// wizard answers with message boxes, the headless command with stderr, tests
// with a recorder that keeps every text and answers from a script.
class UserInterface
{
public:
    virtual ~UserInterface() = default;

    // A message with only an OK button.
    virtual void showMessage(const QString& text, const QString& title = kAppTitle) = 0;
    // Yes and No buttons; true for Yes.
    virtual bool askYesNo(const QString& text, const QString& title = kAppTitle) = 0;
    // OK and Cancel buttons; true for OK.
    virtual bool askOkCancel(const QString& text, const QString& title = kAppTitle) = 0;
    // Let pending window events run once.
    virtual void yield() = 0;
    // End the process at once, without unload events.
    [[noreturn]] virtual void exitProcess(int status) = 0;
};

} // namespace tarnwick

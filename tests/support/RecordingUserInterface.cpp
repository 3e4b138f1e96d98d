#include "support/RecordingUserInterface.h"

namespace tarnwick::test {

void RecordingUserInterface::showMessage(const QString& text, const QString& title)
{
    shown.append({text, title, Shown::Message});
}

bool RecordingUserInterface::askYesNo(const QString& text, const QString& title)
{
    shown.append({text, title, Shown::YesNo});
    return nextAnswer();
}

bool RecordingUserInterface::askOkCancel(const QString& text, const QString& title)
{
    shown.append({text, title, Shown::OkCancel});
    return nextAnswer();
}

void RecordingUserInterface::exitProcess(int status)
{
    ++exits;
    throw ExitRequested{status};
}

QStringList RecordingUserInterface::texts() const
{
    QStringList out;
    for (const Shown& s : shown)
        out.append(s.text);
    return out;
}

bool RecordingUserInterface::nextAnswer()
{
    return m_answers.isEmpty() ? false : m_answers.takeFirst();
}

} // namespace tarnwick::test

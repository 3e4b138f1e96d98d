#pragma once

#include "base/UserInterface.h"
#include "platform/Shell.h"

#include <QList>
#include <QStringList>

#include <cstdlib>
#include <functional>

namespace tarnwick::test {

// Thrown by RecordingUserInterface::exitProcess so a test can see the program end without ending the test process.
struct ExitRequested
{
    int status;
};

// Keeps every text core shows and answers questions from a script (No / Cancel once it runs out). Never blocks.
class RecordingUserInterface : public UserInterface
{
public:
    struct Shown
    {
        QString text;
        QString title;
        enum Kind { Message, YesNo, OkCancel } kind;
    };

    void showMessage(const QString& text, const QString& title = kAppTitle) override
    {
        shown.append({text, title, Shown::Message});
    }
    bool askYesNo(const QString& text, const QString& title = kAppTitle) override
    {
        shown.append({text, title, Shown::YesNo});
        return !m_answers.isEmpty() && m_answers.takeFirst();
    }
    bool askOkCancel(const QString& text, const QString& title = kAppTitle) override
    {
        shown.append({text, title, Shown::OkCancel});
        return !m_answers.isEmpty() && m_answers.takeFirst();
    }
    void yield() override { ++yields; }
    [[noreturn]] void exitProcess(int status) override
    {
        if (onExit) {
            onExit(status);
            std::abort(); // onExit ends the process
        }
        ++exits;
        throw ExitRequested{status};
    }

    // Answers for the next questions, in order.
    void answer(std::initializer_list<bool> answers) { m_answers.append(answers); }
    QStringList texts() const
    {
        QStringList out;
        for (const Shown& s : shown)
            out.append(s.text);
        return out;
    }
    void clear() { shown.clear(); }

    QList<Shown> shown;
    int yields = 0;
    int exits = 0;
    // Ends the process instead of throwing ExitRequested (see runToProgramEnd).
    std::function<void(int)> onExit;

private:
    QList<bool> m_answers;
};

// Records what the program asked the shell to open; `opens` false plays a desktop that cannot open anything.
class RecordingShell : public Shell
{
public:
    bool openDocument(const QString& pathOrUrl) override { return documents.append(pathOrUrl), opens; }
    bool openInTextEditor(const QString& path) override { return editorFiles.append(path), opens; }
    QStringList documents;
    QStringList editorFiles;
    bool opens = true;
};

} // namespace tarnwick::test

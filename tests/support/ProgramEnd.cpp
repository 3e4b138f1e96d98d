#include "support/ProgramEnd.h"

#include <QDataStream>
#include <QFile>
#include <QTest>

#include <cstdio>
#include <sys/wait.h>
#include <unistd.h>

namespace tarnwick::test {

ProgramEnd runToProgramEnd(RecordingUserInterface& ui, const std::function<void()>& action,
                           const std::function<QString()>& probe)
{
    int fds[2];
    if (::pipe(fds) != 0)
        qFatal("pipe failed");
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0)
        qFatal("fork failed");
    if (pid == 0) {
        ::close(fds[0]);
        // _exit: the child ends as the program does, without running the parent's clean-up a second time.
        const auto finish = [&](int status) {
            QByteArray bytes;
            QDataStream out(&bytes, QIODevice::WriteOnly);
            out << status << (probe ? probe() : QString()) << qint32(ui.shown.size());
            for (const RecordingUserInterface::Shown& s : ui.shown)
                out << s.text << s.title << qint32(s.kind);
            QFile pipe;
            if (!pipe.open(fds[1], QIODevice::WriteOnly) || pipe.write(bytes) != bytes.size() || !pipe.flush())
                ::_exit(3);
            ::_exit(0);
        };
        ui.onExit = finish;
        action();
        finish(-1);
    }
    ::close(fds[1]);
    QFile pipe; // read to its end: the child's status, its probe and what it showed
    const QByteArray bytes = pipe.open(fds[0], QIODevice::ReadOnly) ? pipe.readAll() : QByteArray();
    ::close(fds[0]);
    int wstatus = 0;
    ::waitpid(pid, &wstatus, 0);
    ProgramEnd end;
    if (!WIFEXITED(wstatus) || WEXITSTATUS(wstatus) != 0 || bytes.isEmpty()) {
        QTest::qFail("the child running the action did not report its end", __FILE__, __LINE__);
        return end;
    }
    QDataStream in(bytes);
    qint32 shown = 0;
    in >> end.status >> end.probe >> shown;
    ui.shown.clear();
    for (qint32 i = 0; i < shown; ++i) {
        RecordingUserInterface::Shown s;
        qint32 kind = 0;
        in >> s.text >> s.title >> kind;
        s.kind = RecordingUserInterface::Shown::Kind(kind);
        ui.shown.append(s);
    }
    if (end.status != -1)
        ++ui.exits;
    return end;
}

} // namespace tarnwick::test

#include "support/ProgramEnd.h"

#include <QDataStream>
#include <QTest>

#include <cerrno>
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
            for (qsizetype done = 0; done < bytes.size();) {
                const ssize_t n = ::write(fds[1], bytes.constData() + done, size_t(bytes.size() - done));
                if (n <= 0)
                    ::_exit(3);
                done += n;
            }
            ::_exit(0);
        };
        ui.onExit = finish;
        action();
        finish(-1);
    }
    ::close(fds[1]);
    QByteArray bytes;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) != 0;) {
        if (n > 0)
            bytes.append(buffer, n);
        else if (errno != EINTR)
            break;
    }
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

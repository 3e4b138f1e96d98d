#include "platform/DesktopShell.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTextStream>
#include <QUrl>

namespace tarnwick {

namespace {

QUrl toUrl(const QString& pathOrUrl)
{
    if (QFileInfo::exists(pathOrUrl))
        return QUrl::fromLocalFile(QFileInfo(pathOrUrl).absoluteFilePath());
    return QUrl(pathOrUrl, QUrl::TolerantMode);
}

#ifndef Q_OS_WIN

// The opener says within this time when it found no handler; one still
// running by then has started the viewer (some wait for it to close).
constexpr int kOpenerVerdictMs = 2000;

bool runOpener(const QString& program, const QStringList& arguments)
{
    auto* opener = new QProcess;
    opener->setProgram(program);
    opener->setArguments(arguments);
    opener->setStandardOutputFile(QProcess::nullDevice());
    opener->setStandardErrorFile(QProcess::nullDevice());
    opener->start();
    if (!opener->waitForStarted()) {
        delete opener;
        return false;
    }
    if (opener->waitForFinished(kOpenerVerdictMs)) {
        const bool opened = opener->exitStatus() == QProcess::NormalExit && opener->exitCode() == 0;
        delete opener;
        return opened;
    }
    // Left running with the viewer; it goes when it ends.
    QObject::connect(opener, &QProcess::finished, opener, &QObject::deleteLater);
    return true;
}

// The lines of one group of a desktop file or a mimeapps.list, as key and value.
QList<std::pair<QString, QString>> readGroup(const QString& path, const QString& group)
{
    QList<std::pair<QString, QString>> entries;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return entries;
    QTextStream in(&file);
    bool inGroup = false;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inGroup = line == QLatin1Char('[') + group + QLatin1Char(']');
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (inGroup && equals > 0 && !line.startsWith(QLatin1Char('#')))
            entries.append({line.left(equals).trimmed(), line.mid(equals + 1).trimmed()});
    }
    return entries;
}

QStringList dataDirs()
{
    return QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
}

// The desktop entries named for a type, in the order the freedesktop.org
// rules prefer them: the mimeapps.list defaults, then the installed
// applications' own claims.
QStringList entryNames(const QString& mimeType)
{
    QStringList lists;
    for (const QString& dir : QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation))
        lists << dir + QStringLiteral("/mimeapps.list");
    for (const QString& dir : dataDirs())
        lists << dir + QStringLiteral("/applications/mimeapps.list");
    QStringList names;
    for (const QString& group : {QStringLiteral("Default Applications"), QStringLiteral("Added Associations")}) {
        for (const QString& list : std::as_const(lists)) {
            for (const auto& [key, value] : readGroup(list, group)) {
                if (key == mimeType)
                    names << value.split(QLatin1Char(';'), Qt::SkipEmptyParts);
            }
        }
    }
    for (const QString& dir : dataDirs()) {
        for (const auto& [key, value] :
             readGroup(dir + QStringLiteral("/applications/mimeinfo.cache"), QStringLiteral("MIME Cache"))) {
            if (key == mimeType)
                names << value.split(QLatin1Char(';'), Qt::SkipEmptyParts);
        }
    }
    names.removeDuplicates();
    return names;
}

// The command an entry's Exec line gives for one file.
QStringList commandFor(const QString& exec, const QString& path)
{
    QStringList command;
    bool fileGiven = false;
    for (QString argument : QProcess::splitCommand(exec)) {
        if (argument == QStringLiteral("%f") || argument == QStringLiteral("%F") || argument == QStringLiteral("%u") ||
            argument == QStringLiteral("%U")) {
            command << path; // one argument, blanks and all
            fileGiven = true;
            continue;
        }
        if (argument.size() == 2 && argument.startsWith(QLatin1Char('%')) && argument != QStringLiteral("%%"))
            continue; // %i, %c, %k and the deprecated codes
        command << argument.replace(QStringLiteral("%%"), QStringLiteral("%"));
    }
    if (!fileGiven && !command.isEmpty())
        command << path;
    return command;
}

#endif

} // namespace

QList<QStringList> DesktopShell::desktopCommands(const QString& mimeType, const QString& path)
{
    QList<QStringList> commands;
#ifndef Q_OS_WIN
    for (const QString& name : entryNames(mimeType)) {
        for (const QString& dir : dataDirs()) {
            const QString file = dir + QStringLiteral("/applications/") + name;
            if (!QFileInfo::exists(file))
                continue;
            QString exec;
            bool terminal = false;
            bool hidden = false;
            for (const auto& [key, value] : readGroup(file, QStringLiteral("Desktop Entry"))) {
                if (key == QStringLiteral("Exec"))
                    exec = value;
                else if (key == QStringLiteral("Terminal"))
                    terminal = value == QStringLiteral("true");
                else if (key == QStringLiteral("Hidden"))
                    hidden = value == QStringLiteral("true");
            }
            const QStringList command = commandFor(exec, path);
            if (!terminal && !hidden && !command.isEmpty())
                commands << command;
            break; // the first folder that has the entry decides
        }
    }
#else
    Q_UNUSED(mimeType);
    Q_UNUSED(path);
#endif
    return commands;
}

bool DesktopShell::openDocument(const QString& pathOrUrl)
{
#ifdef Q_OS_WIN
    return QDesktopServices::openUrl(toUrl(pathOrUrl));
#else
    // Addresses go to the browser as Qt finds it; files to the desktop's opener,
    // which says when it has no handler (Qt's own call never does).
    const QUrl url = toUrl(pathOrUrl);
    if (!url.isLocalFile())
        return QDesktopServices::openUrl(url);
    return runOpener(QStringLiteral("xdg-open"), {url.toLocalFile()});
#endif
}

bool DesktopShell::openInTextEditor(const QString& path)
{
#ifdef Q_OS_WIN
    // The path travels as one argument, so blanks in it open the right file.
    return QProcess::startDetached(QStringLiteral("notepad.exe"), {path});
#else
    const QString file = QFileInfo(path).absoluteFilePath();
    for (const QStringList& command : desktopCommands(QStringLiteral("text/plain"), file)) {
        if (QProcess::startDetached(command.first(), command.mid(1)))
            return true;
    }
    return false;
#endif
}

} // namespace tarnwick

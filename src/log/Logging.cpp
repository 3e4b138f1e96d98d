#include "log/Logging.h"

#include "base/StepRunner.h"
#include "base/UserInterface.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/ProgramInfo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <cerrno>

namespace tarnwick {

const QString Logging::kHeaderRule = QString(61, QLatin1Char('*'));

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kModule = QStringLiteral("Module Module1");

QString generalDate(const QDateTime& at)
{
    // Short date, a blank, long time; the zone name of Qt's long format says
    // nothing an administrator on this machine needs.
    const QLocale locale = QLocale::system();
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    timeFormat.remove(QLatin1Char('t')).remove(QLatin1Char('T'));
    return locale.toString(at.date(), QLocale::ShortFormat) + QLatin1Char(' ')
           + at.time().toString(timeFormat.trimmed());
}

} // namespace

Logging::Logging(UserInterface& ui, const ProgramInfo& program, const Clock& clock)
    : m_ui(ui), m_program(program), m_clock(clock)
{
}

QString Logging::besideProgram() const
{
    return m_program.folder + QDir::separator() + QStringLiteral("logs");
}

QString Logging::perUser() const
{
    return m_program.userDataFolder + QDir::separator() + QStringLiteral("logs");
}

QString Logging::logFolder() const
{
    const QFileInfo beside(besideProgram());
    const bool usable = beside.exists() ? beside.isDir() && beside.isWritable()
                                        : !beside.isSymLink() && QFileInfo(m_program.folder).isWritable();
    return usable ? besideProgram() : perUser();
}

QString Logging::GenerateNewLogFileName()
{
    StepRunner steps([this](const Failure& f) {
        m_ui.showMessage(ErrorText::inProcedure(f, QStringLiteral("GenerateNewLogFileName"), kModule));
    });
    // A program folder the user may not write (an installed program) sends
    // the logs to the per-user folder without a word; something in the way
    // of "logs" is told, and then the logs go there too.
    const QFileInfo beside(besideProgram());
    if (beside.exists() && !beside.isDir())
        steps.run([] { throw Failure(ErrorNumber::PathFileAccess, QStringLiteral("Path/File access error")); });
    QString folder = logFolder();
    m_folderFailure.reset();
    const auto make = [&](const QString& path, bool oneLevel) {
        if (QFileInfo(path).isDir())
            return true;
        errno = 0;
        if (oneLevel ? QDir().mkdir(path) : QDir().mkpath(path))
            return true;
        m_folderFailure = FileSystem::lastFailure();
        steps.run([&] { throw *m_folderFailure; });
        return false;
    };
    if (!make(folder, folder == besideProgram()) && folder == besideProgram()) {
        folder = perUser();
        make(folder, false);
    }
    m_folder = folder;
    const QString stamp = m_clock.now().toString(QStringLiteral("yyyyMMdd_HH_mm_ss"));
    const QString filePart = QDir::separator() + QStringLiteral("Tarnwick_Log_") + stamp;
    steps.run([&] { CleanupLogFiles(); });
    // A second run in the same second gets its own file instead of emptying the first.
    QString path = folder + filePart + QStringLiteral(".TXT");
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = folder + filePart + QLatin1Char('_') + QString::number(n) + QStringLiteral(".TXT");
    m_strLogFileName = path;
    return path;
}

void Logging::remember(const Failure& failure)
{
    if (!m_failure)
        m_failure = failure;
}

void Logging::OpenLogFile(const QString& path, bool append)
{
    // Nothing here is told: the export reads logWritten() and logFailure() at its end.
    m_failure.reset();
    // Without its folder the log fails for the reason the folder could not be made.
    m_opened =
        StepRunner([this](const Failure& f) {
            remember(m_folderFailure && !QFileInfo(m_folder).isDir() ? *m_folderFailure : f);
        }).run([&] { m_file.open(path, append ? TextFileWriter::Mode::Append : TextFileWriter::Mode::Truncate); });
    WriteToLog(kCrLf + kHeaderRule);
    WriteToLog(QStringLiteral("Running ") + m_program.baseName + QStringLiteral(" version: ") +
               m_program.versionText() + kCrLf);
    WriteToLog(QStringLiteral("Search for '(error)' or '(warning)' to find logged errors and warnings "
                              "during the import process.") +
               kCrLf);
    WriteToLog(kHeaderRule + kCrLf);
    WriteToLog(QStringLiteral("Starting process at:") + generalDate(m_clock.now()) + kCrLf);
    m_intErrorCount = 0;
    m_intWarningCount = 0;
    m_strLogFileName = path;
}

void Logging::WriteToLog(const QString& text)
{
    // The program writes its error and warning lines with the marker first;
    // a marker further on is part of a name or a driver's text.
    const QStringView line = QStringView(text).trimmed();
    if (line.startsWith(QLatin1StringView("(error)"), Qt::CaseInsensitive))
        ++m_intErrorCount;
    else if (line.startsWith(QLatin1StringView("(warning)"), Qt::CaseInsensitive))
        ++m_intWarningCount;
    if (m_opened)
        StepRunner([this](const Failure& f) { remember(f); }).run([&] { m_file.writeLine(text); });
    m_ui.yield();
}

void Logging::CloseLogFile()
{
    if (m_file.isOpen())
        StepRunner([this](const Failure& f) { remember(f); }).run([&] { m_file.close(); });
}

void Logging::CleanupLogFiles()
{
    StepRunner steps([this](const Failure& f) {
        m_ui.showMessage(ErrorText::inProcedure(f, QStringLiteral("CleanupLogFiles"), kModule));
    });
    const QString folderPath = m_folder.isEmpty() ? logFolder() : m_folder;
    if (!QFileInfo(folderPath).isDir())
        return;
    const QDir folder(folderPath);
    const QDate today = m_clock.now().date();
    // Each entry is read as itself: a link's own date, never its target's. Only
    // files and links go; subfolders are neither entered nor removed, and
    // nothing is touched that is not removed.
    const QStringList names =
        folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : names) {
        const QString path = folder.filePath(name);
        steps.run([&] {
            errno = 0;
            const std::optional<FileSystem::Entry> entry = FileSystem::entryOf(path);
            if (!entry)
                throw FileSystem::lastFailure();
            if (entry->kind != FileSystem::Entry::File && entry->kind != FileSystem::Entry::Link)
                return;
            if (entry->modified.date().daysTo(today) <= 30)
                return;
            errno = 0;
            if (QFile::remove(path))
                return;
            const Failure failure = FileSystem::lastFailure();
            // Deleted also when read-only: Windows wants the mark lifted first
            // (elsewhere the folder's rights alone decide, and this never runs).
            const QFileDevice::Permissions before = QFile::permissions(path);
            if (entry->kind != FileSystem::Entry::File || (before & QFileDevice::WriteOwner) ||
                !QFile::setPermissions(path, before | QFileDevice::WriteOwner | QFileDevice::WriteUser))
                throw failure;
            errno = 0;
            if (!QFile::remove(path)) {
                const Failure again = FileSystem::lastFailure();
                QFile::setPermissions(path, before);
                throw again;
            }
        });
    }
}

} // namespace tarnwick

#include "log/Logging.h"

#include "app/StepRunner.h"
#include "app/UserInterface.h"
#include "platform/Clock.h"
#include "platform/ProgramInfo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

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

QString Logging::logFolder() const
{
    return m_program.folder + QDir::separator() + QStringLiteral("logs");
}

QString Logging::GenerateNewLogFileName()
{
    StepRunner steps([this](const Failure& f) {
        m_ui.showMessage(ErrorText::inProcedure(f, QStringLiteral("GenerateNewLogFileName"), kModule));
    });
    const QString folder = logFolder();
    const QString stamp = m_clock.now().toString(QStringLiteral("yyyyMMdd_HH_mm_ss"));
    const QString filePart = QDir::separator() + QStringLiteral("Tarnwick_Log_") + stamp;
    steps.run([&] {
        if (!QFileInfo::exists(folder) && !QDir().mkdir(folder))
            throw Failure(ErrorNumber::PathNotFound, QStringLiteral("Path not found"));
    });
    steps.run([&] { CleanupLogFiles(); });
    // A second run in the same second gets its own file instead of emptying the first.
    QString path = folder + filePart + QStringLiteral(".TXT");
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = folder + filePart + QLatin1Char('_') + QString::number(n) + QStringLiteral(".TXT");
    m_strLogFileName = path;
    return path;
}

void Logging::OpenLogFile(const QString& path, bool append)
{
    StepRunner steps;  // failures here are passed over without notice
    steps.run([&] { m_file.open(path, append ? TextFileWriter::Mode::Append : TextFileWriter::Mode::Truncate); });
    WriteToLog(kCrLf + kHeaderRule);
    WriteToLog(QStringLiteral("Running ") + m_program.baseName + QStringLiteral(" version: ")
               + m_program.versionText() + kCrLf);
    WriteToLog(QStringLiteral("Search for '(error)' or '(warning)' to find logged errors and warnings "
                              "during the import process.")
               + kCrLf);
    WriteToLog(kHeaderRule + kCrLf);
    WriteToLog(QStringLiteral("Starting process at:") + generalDate(m_clock.now()) + kCrLf);
    // The header names both markers; counting starts after it.
    m_intErrorCount = 0;
    m_intWarningCount = 0;
    m_strLogFileName = path;
}

void Logging::WriteToLog(const QString& text)
{
    if (text.contains(QStringLiteral("(error)"), Qt::CaseInsensitive))
        ++m_intErrorCount;
    if (text.contains(QStringLiteral("(warning)"), Qt::CaseInsensitive))
        ++m_intWarningCount;
    StepRunner().run([&] { m_file.writeLine(text); });
    m_ui.yield();
}

void Logging::CloseLogFile()
{
    StepRunner().run([&] { m_file.close(); });
}

void Logging::CleanupLogFiles()
{
    StepRunner steps([this](const Failure& f) {
        m_ui.showMessage(ErrorText::inProcedure(f, QStringLiteral("CleanupLogFiles"), kModule));
    });
    const QDir folder(logFolder());
    if (!folder.exists())
        return;
    const QDate today = m_clock.now().date();
    const QFileInfoList files = folder.entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo& file : files) {
        steps.run([&] {
            const QDateTime changed = file.lastModified();
            if (!changed.isValid())
                throw Failure(ErrorNumber::FileNotFound, QStringLiteral("File not found"));
            if (changed.date().daysTo(today) <= 30)
                return;
            // Deleted also when read-only.
            QFile f(file.absoluteFilePath());
            f.setPermissions(f.permissions() | QFileDevice::WriteOwner | QFileDevice::WriteUser);
            if (!f.remove())
                throw Failure(ErrorNumber::PermissionDenied, f.errorString());
        });
    }
}

} // namespace tarnwick

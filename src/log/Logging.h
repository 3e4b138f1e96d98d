#pragma once

#include "platform/TextFileWriter.h"

#include <QString>

#include <optional>

namespace tarnwick {

class Clock;
class UserInterface;
struct ProgramInfo;

// One dated plain-text log per export run, in the folder "logs" beside the
// program, or in the per-user data folder when that one cannot be made or
// written. Counts the lines written as errors and warnings: those that begin
// with "(error)" or "(warning)" in any letter case, so a marker inside a
// name counts for nothing. Prunes files older than 30 days whenever a new
// name is made.
class Logging
{
public:
    Logging(UserInterface& ui, const ProgramInfo& program, const Clock& clock);

    QString GenerateNewLogFileName();
    void OpenLogFile(const QString& path, bool append);
    void WriteToLog(const QString& text);
    void CloseLogFile();
    void CleanupLogFiles();

    // Where the next log goes: "logs" beside the program when that folder
    // can be made and written, else "logs" in the per-user data folder.
    QString logFolder() const;
    bool isOpen() const { return m_file.isOpen(); }
    const QString& strLogFileName() const { return m_strLogFileName; }
    // The current log was opened and holds its header.
    bool logWritten() const { return m_opened; }
    // The first failure to open, write or close the current log; empty while all is well.
    const std::optional<Failure>& logFailure() const { return m_failure; }
    // Not limited to 16 bits: a long run's summary must not stop counting.
    int intErrorCount() const { return m_intErrorCount; }
    int intWarningCount() const { return m_intWarningCount; }

    static const QString kHeaderRule; // 61 asterisks

private:
    QString besideProgram() const;
    QString perUser() const;
    void remember(const Failure& failure);

    UserInterface& m_ui;
    const ProgramInfo& m_program;
    const Clock& m_clock;
    TextFileWriter m_file;
    QString m_folder; // of the last name made
    QString m_strLogFileName;
    std::optional<Failure> m_failure;
    std::optional<Failure> m_folderFailure; // why the folder of the last name could not be made
    bool m_opened = false;
    int m_intErrorCount = 0;
    int m_intWarningCount = 0;
};

} // namespace tarnwick

#pragma once

#include "platform/TextFileWriter.h"

#include <QString>

namespace tarnwick {

class Clock;
class UserInterface;
struct ProgramInfo;

// One dated plain-text log per export run, in the folder "logs" beside the
// program. Counts the lines that carry "(error)" or "(warning)" in any letter
// case, and prunes files older than 30 days whenever a new name is made.
class Logging
{
public:
    Logging(UserInterface& ui, const ProgramInfo& program, const Clock& clock);

    QString GenerateNewLogFileName();
    void OpenLogFile(const QString& path, bool append);
    void WriteToLog(const QString& text);
    void CloseLogFile();
    void CleanupLogFiles();

    QString logFolder() const;
    bool isOpen() const { return m_file.isOpen(); }
    const QString& strLogFileName() const { return m_strLogFileName; }
    // Not limited to 16 bits: a long run's summary must not stop counting.
    int intErrorCount() const { return m_intErrorCount; }
    int intWarningCount() const { return m_intWarningCount; }

    static const QString kHeaderRule;  // 61 asterisks

private:
    UserInterface& m_ui;
    const ProgramInfo& m_program;
    const Clock& m_clock;
    TextFileWriter m_file;
    QString m_strLogFileName;
    int m_intErrorCount = 0;
    int m_intWarningCount = 0;
};

} // namespace tarnwick

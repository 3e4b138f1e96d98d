#pragma once

#include "platform/TextFileWriter.h"

#include <QString>

#include <memory>

namespace tarnwick {

// What changed between an earlier export and a new one, written as a CSV
// report of one row per change: a list added, removed or renamed for an
// owner, a member added to or removed from a list, a member whose extension
// changed. Lists are matched by owner alias and list id, members within a
// list by type and alias. The earlier file is read whole before the export
// starts (it may be the very file the export replaces); the new one is read
// after it is written, one block at a time.
class ExportComparison
{
public:
    ExportComparison();
    ~ExportComparison();
    ExportComparison(const ExportComparison&) = delete;
    ExportComparison& operator=(const ExportComparison&) = delete;

    struct Counts
    {
        qint64 listsAdded = 0;
        qint64 listsRemoved = 0;
        qint64 listsRenamed = 0;
        qint64 membersAdded = 0;
        qint64 membersRemoved = 0;
        qint64 extensionsChanged = 0;
        qint64 total() const;
        // "lists added: 1, lists removed: 0, ..." in the report's order of kinds.
        QString text() const;
    };

    // Reads the earlier export: UTF-8 with or without a byte-order mark, or
    // the system's code page. Returns what is wrong with it, empty when it
    // was read: not there, not an export (header, fields), or in an encoding
    // this program cannot read.
    QString readPrevious(const QString& path);
    // Compares the new export, in the encoding it was written in, with the
    // earlier one and writes the report in that encoding, whole or not at
    // all; once after each readPrevious. Throws Failure when the new file
    // cannot be read or the report written.
    Counts compare(const QString& currentPath, TextFileWriter::Encoding encoding, const QString& reportPath);

    // "<folder>/<name without its last suffix>.changes.csv"
    static QString reportPathFor(const QString& outputPath);

    static const QString kReportHeader;
    static const QString kListAdded;
    static const QString kListRemoved;
    static const QString kListRenamed;
    static const QString kMemberAdded;
    static const QString kMemberRemoved;
    static const QString kExtensionChanged;

private:
    struct Index;
    std::unique_ptr<Index> m_previous;
};

} // namespace tarnwick

#pragma once

#include "base/Recordset.h"
#include "select/SubscriberSelection.h"

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QStringList>

#include <optional>
#include <vector>

class QIODevice;

namespace tarnwick {

// Reads a text file one line at a time. A line ends at CR, CR LF or LF (files
// written on this platform end their lines with LF alone); the terminator is
// not part of the line. Lines are 8-bit text in the system's code page, as the
// program writes them, unless the file begins with a UTF-8 byte-order mark.
class TextLineReader
{
public:
    explicit TextLineReader(QIODevice& device);
    bool atEnd();
    // The next line; fails (Failure) when reading past the end of the file.
    QString readLine();

private:
    bool fill();
    void start();
    QString decode(qsizetype end);

    QIODevice& m_device;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    bool m_started = false; // the file's first bytes have been looked at
    QStringDecoder m_decoder;
};

// Adds the subscribers a CSV file names: the header line says which field
// holds the alias and which the extension; each further line's subscriber is
// found by extension or, failing that, by alias. Ends with a summary of the
// lines read and the rows the grid gained.
class CsvSubscriberImport
{
public:
    explicit CsvSubscriberImport(SubscriberSelection& selection) : m_selection(selection) {}

    void run(const QString& path);

    // What the last run counted: data lines read and lookup rows handed to
    // AddUserToGrid (which may have refused some).
    qint64 linesRead() const { return m_linesRead; }
    qint64 usersAdded() const { return m_usersAdded; }

private:
    // What a data line asks for: its extension (trimmed, when the field is a
    // number) and its alias (as written), each when its column lies within the line.
    struct LineKeys
    {
        bool skipped = false; // both columns lie beyond the line's fields
        std::optional<QString> extension;
        std::optional<QString> alias;
    };
    // What the set queries found for a chunk of lines.
    struct ChunkLookups
    {
        Recordset byExtension;
        Recordset byAlias;
        RowLookupColumns extensionColumns; // where each one's row lookups stand
        RowLookupColumns aliasColumns;
        std::vector<std::vector<qsizetype>> extensionRows; // per line of the chunk
        std::vector<std::vector<qsizetype>> aliasRows;
    };

    LineKeys keysOf(const QString& line) const;
    // Both lookups of a chunk of lines in two set queries; none when a query fails.
    std::optional<ChunkLookups> lookUpChunk(const QStringList& lines) const;
    void importLine(const QString& line, const ChunkLookups* lookups, qsizetype index);
    // Hands every row of the lookup to AddUserToGrid; false when it found none or failed.
    bool addFound(const QString& sql, const QString& idField);
    // The same for rows a set query read with their row lookups.
    bool addFromRows(const Recordset& rs, const RowLookupColumns& columns, const std::vector<qsizetype>& rows);
    // One more row handed over: the count and its label.
    void countHandOver();

    SubscriberSelection& m_selection;
    qsizetype m_aliasColumn = -1;
    qsizetype m_extensionColumn = -1;
    qint64 m_linesRead = 0;
    qint64 m_usersAdded = 0;
};

} // namespace tarnwick

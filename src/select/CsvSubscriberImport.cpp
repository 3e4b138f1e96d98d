#include "select/CsvSubscriberImport.h"

#include "base/Recordset.h"
#include "base/SqlText.h"
#include "base/StepRunner.h"
#include "base/UserInterface.h"
#include "platform/FileSystem.h"
#include "program/AppContext.h"
#include "select/NumberText.h"
#include "select/SelectionGrid.h"
#include "select/SelectionProgress.h"
#include "select/SubscriberSelection.h"

#include <QFile>
#include <QStringList>

#include <optional>

namespace tarnwick {

namespace {

constexpr qint64 kChunk = 64 * 1024;
// Lines read ahead for one chunk of lookups stop at this many characters too.
constexpr qsizetype kChunkCharacters = 4 * 1024 * 1024;

// True when one of those rows has an object id: a lookup that found someone.
bool hasObjectId(const Recordset& rs, const std::vector<qsizetype>& rows)
{
    for (const qsizetype r : rows) {
        if (!rs.rowsOf({r}).value(QStringLiteral("ObjectID")).isNull())
            return true;
    }
    return false;
}

const QString kFormatError = QStringLiteral("Error - CSV File is not formatted correctly.  Review "
                                            "the help file for details on format constraints.");

// A count in the summary: the blank before it is a non-negative number's sign.
QString signedText(qint64 n)
{
    return QLatin1Char(' ') + QString::number(n);
}

} // namespace

// Appends the next chunk, dropping the lines already read; with nothing
// more to read the buffer stays as it was.
bool TextLineReader::fill()
{
    const QByteArray more = m_device.read(kChunk);
    if (more.isEmpty())
        return false;
    m_buffer.remove(0, m_pos);
    m_pos = 0;
    m_buffer.append(more);
    return true;
}

// A mark inside the file is a character of its line: only the one at the start is taken away.
TextLineReader::TextLineReader(QIODevice& device)
    : m_device(device), m_decoder(FileSystem::codePageDecoder(QStringConverter::Flag::ConvertInitialBom))
{
}

// A UTF-8 byte-order mark says the file is UTF-8, whatever the code page.
void TextLineReader::start()
{
    m_started = true;
    while (m_buffer.size() - m_pos < 3 && fill()) {
    }
    if (QByteArrayView(m_buffer).sliced(m_pos).startsWith("\xEF\xBB\xBF")) {
        m_pos += 3;
        m_decoder = QStringDecoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    }
}

// The bytes from the read position up to `end`, each line decoded on its own.
QString TextLineReader::decode(qsizetype end)
{
    m_decoder.resetState();
    return m_decoder.decode(QByteArrayView(m_buffer).sliced(m_pos, end - m_pos));
}

bool TextLineReader::atEnd()
{
    if (!m_started)
        start();
    return m_pos >= m_buffer.size() && !fill();
}

QString TextLineReader::readLine()
{
    if (atEnd())
        throw Failure(62, QStringLiteral("Input past end of file"));
    qsizetype searchFrom = m_pos;
    for (;;) {
        qsizetype end = searchFrom;
        const qsizetype size = m_buffer.size();
        const char* data = m_buffer.constData();
        while (end < size && data[end] != '\r' && data[end] != '\n')
            ++end;
        if (end < size) {
            // A CR at the end of the buffer may be the first half of CR LF.
            if (data[end] == '\r' && end + 1 == size) {
                const qsizetype offset = end - m_pos;
                if (fill()) {
                    searchFrom = m_pos + offset;
                    continue;
                }
            }
            const QString line = decode(end);
            qsizetype next = end + 1;
            if (m_buffer.at(end) == '\r' && next < m_buffer.size() && m_buffer.at(next) == '\n')
                ++next;
            m_pos = next;
            return line;
        }
        const qsizetype offset = size - m_pos;
        if (!fill()) {
            // The last line has no terminator.
            const QString line = decode(m_buffer.size());
            m_pos = m_buffer.size();
            return line;
        }
        searchFrom = m_pos + offset;
    }
}

void CsvSubscriberImport::run(const QString& path)
{
    AppContext& app = m_selection.app();
    SelectionGrid& grid = m_selection.grid();
    SelectionProgress& progress = m_selection.progress();
    m_aliasColumn = -1;
    m_extensionColumn = -1;
    m_linesRead = 0;
    m_usersAdded = 0;

    QFile file(path);
    const qint64 startingRows = grid.Rows() - 1;
    std::optional<TextLineReader> reader;

    // Three stretches, each with its own answer to a failure.
    const bool opened = StepRunner([&](const Failure&) {
                            app.ui.showMessage(QStringLiteral("Error - Could not open CSV file"));
                        }).run([&] {
        progress.setOf(QString());
        if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
            throw Failure(ErrorNumber::FileNotFound, QStringLiteral("File not found"));
        reader.emplace(file);
    });

    const bool headerRead = opened && StepRunner([&](const Failure&) { app.ui.showMessage(kFormatError); }).run([&] {
        const QString header = reader->readLine();
        if (header.size() < 2)
            throw Failure(ErrorNumber::InvalidProcedureCall, kFormatError);
        const QStringList fields = header.split(QLatin1Char(','));
        for (qsizetype i = 0; i < fields.size(); ++i) {
            const QString name = fields[i].trimmed();
            if (m_aliasColumn < 0 && name.compare(QLatin1String("alias"), Qt::CaseInsensitive) == 0)
                m_aliasColumn = i;
            if (m_extensionColumn < 0 && name.compare(QLatin1String("Extension"), Qt::CaseInsensitive) == 0)
                m_extensionColumn = i;
        }
        if (m_aliasColumn < 0 && m_extensionColumn < 0)
            throw Failure(ErrorNumber::InvalidProcedureCall, kFormatError);
    });

    if (headerRead) {
        StepRunner steps; // the main loop skips what fails, without a word
        for (bool more = true; more;) {
            // A chunk of lines is read ahead, so that their lookups go in two
            // set queries; the lines are then taken one by one as before.
            QStringList lines;
            qsizetype characters = 0;
            bool lineUnread = false; // counted, then failed to read
            while (lines.size() < kKeysPerQuery && characters < kChunkCharacters) {
                const std::optional<bool> end = steps.value([&] { return reader->atEnd(); });
                if (!end || *end) {
                    more = false;
                    break;
                }
                const std::optional<QString> line = steps.value([&] { return reader->readLine(); });
                if (!line) {
                    lineUnread = true;
                    more = false;
                    break;
                }
                lines.append(*line);
                characters += line->size();
            }
            const std::optional<ChunkLookups> lookups =
                app.perRowQueries || lines.isEmpty() ? std::nullopt : lookUpChunk(lines);
            for (qsizetype i = 0; i < lines.size() + (lineUnread ? 1 : 0); ++i) {
                ++m_linesRead;
                steps.run([&] { progress.setCount(QStringLiteral("Lines=") + QString::number(m_linesRead)); });
                app.ui.yield();
                if (i < lines.size())
                    importLine(lines[i], lookups ? &*lookups : nullptr, i);
            }
        }
    }

    app.ui.showMessage(QStringLiteral("Import complete. ") + signedText(m_linesRead) +
                       QStringLiteral(" lines read in from text file, ") + signedText(grid.Rows() - 1 - startingRows) +
                       QStringLiteral(" users added to grid."));
}

CsvSubscriberImport::LineKeys CsvSubscriberImport::keysOf(const QString& line) const
{
    LineKeys keys;
    const QStringList fields = line.split(QLatin1Char(','));
    auto within = [&](qsizetype column) { return column >= 0 && column < fields.size(); };
    // A column the header lacks never lies beyond the line.
    keys.skipped = m_aliasColumn >= fields.size() && m_extensionColumn >= fields.size();
    if (keys.skipped)
        return keys;
    if (within(m_extensionColumn) && isNumericText(fields[m_extensionColumn]))
        keys.extension = fields[m_extensionColumn].trimmed();
    if (within(m_aliasColumn))
        keys.alias = fields[m_aliasColumn]; // looked up as written, blanks included
    return keys;
}

namespace {

const QString kLine = QStringLiteral("TarnwickLine");

// The rows of a set query by the line (KeyNumber) each answers, in the query's order.
std::vector<std::vector<qsizetype>> rowsByLine(Recordset& rs, const std::vector<qsizetype>& lineOfKey, qsizetype lines)
{
    std::vector<std::vector<qsizetype>> rows(static_cast<size_t>(lines));
    qsizetype row = 0;
    for (rs.moveFirst(); !rs.atEnd(); rs.moveNext(), ++row)
        rows[size_t(lineOfKey.at(size_t(rs.value(kLine).toLongLong())))].push_back(row);
    return rows;
}

} // namespace

std::optional<CsvSubscriberImport::ChunkLookups> CsvSubscriberImport::lookUpChunk(const QStringList& lines) const
{
    const QString connection = m_selection.app().strConnectionString;
    ChunkLookups found;
    std::vector<LineKeys> keys;
    keys.reserve(size_t(lines.size()));
    for (const QString& line : lines)
        keys.push_back(keysOf(line));

    const bool read = StepRunner().run([&] {
        // The extension lookup of every line whose field is a number.
        QStringList extensions;
        std::vector<qsizetype> extensionLine;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (keys[size_t(i)].extension) {
                extensions.append(*keys[size_t(i)].extension);
                extensionLine.push_back(i);
            }
        }
        found.extensionRows.resize(size_t(lines.size()));
        if (!extensions.isEmpty()) {
            found.byExtension.open(
                withRowLookups(
                    QStringLiteral("SELECT k.KeyNumber AS ") + kLine +
                        QStringLiteral(", vw_Subscriber.SubscriberObjectID AS ObjectID, vw_Subscriber.Alias AS "
                                       "TarnwickSortAlias FROM (") +
                        sqlKeyTable(extensions) +
                        QStringLiteral(") k INNER JOIN vw_DTMFAccessID ON vw_DTMFAccessID.DTMFAccessID = k.KeyText "
                                       "INNER JOIN vw_Subscriber ON "
                                       "vw_Subscriber.SubscriberObjectID=vw_DTMFAccessID.ParentObjectID "
                                       "WHERE SubscriberType IN (1,3)"),
                    QStringLiteral("q.") + kLine + QStringLiteral(", q.TarnwickSortAlias")),
                connection);
            found.extensionColumns = RowLookupColumns(found.byExtension);
            found.extensionRows = rowsByLine(found.byExtension, extensionLine, lines.size());
        }
        // The alias lookup of every line whose extension found nobody.
        QStringList aliases;
        std::vector<qsizetype> aliasLine;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (keys[size_t(i)].alias &&
                !(keys[size_t(i)].extension && hasObjectId(found.byExtension, found.extensionRows[size_t(i)]))) {
                aliases.append(*keys[size_t(i)].alias);
                aliasLine.push_back(i);
            }
        }
        found.aliasRows.resize(size_t(lines.size()));
        if (!aliases.isEmpty()) {
            found.byAlias.open(withRowLookups(QStringLiteral("SELECT k.KeyNumber AS ") + kLine +
                                              QStringLiteral(", vw_Subscriber.SubscriberObjectID AS ObjectID FROM (") +
                                              sqlKeyTable(aliases) +
                                              QStringLiteral(") k INNER JOIN vw_Subscriber ON vw_Subscriber.Alias = "
                                                             "k.KeyText WHERE SubscriberType IN (1,3)")),
                               connection);
            found.aliasColumns = RowLookupColumns(found.byAlias);
            found.aliasRows = rowsByLine(found.byAlias, aliasLine, lines.size());
        }
    });
    if (!read)
        return std::nullopt;
    return found;
}

void CsvSubscriberImport::importLine(const QString& line, const ChunkLookups* lookups, qsizetype index)
{
    const LineKeys keys = keysOf(line);
    if (keys.skipped)
        return;
    if (keys.extension) {
        const bool added =
            lookups
                ? addFromRows(lookups->byExtension, lookups->extensionColumns, lookups->extensionRows[size_t(index)])
                : addFound(QStringLiteral("SELECT vw_Subscriber.SubscriberObjectID, vw_DTMFAccessID.DTMFAccessID ") +
                               QStringLiteral("FROM vw_Subscriber INNER JOIN vw_DTMFAccessID ") +
                               QStringLiteral("ON vw_Subscriber.SubscriberObjectID=vw_DTMFAccessID.ParentObjectID ") +
                               QStringLiteral("WHERE vw_DTMFAccessID.DTMFAccessID=") + sqlQuoted(*keys.extension) +
                               QStringLiteral(" AND SubscriberType IN (1,3)") +
                               QStringLiteral(" ORDER BY vw_Subscriber.Alias"),
                           QStringLiteral("SubscriberObjectID"));
        if (added)
            return;
    }
    if (keys.alias) {
        if (lookups)
            addFromRows(lookups->byAlias, lookups->aliasColumns, lookups->aliasRows[size_t(index)]);
        else
            addFound(QStringLiteral("SELECT SubscriberObjectID as ObjectID from vw_Subscriber WHERE Alias=") +
                         sqlQuoted(*keys.alias) + QStringLiteral(" AND SubscriberType IN (1,3)"),
                     QStringLiteral("ObjectID"));
    }
}

bool CsvSubscriberImport::addFromRows(const Recordset& rs, const RowLookupColumns& columns,
                                      const std::vector<qsizetype>& rows)
{
    // As addFound: a row whose id cannot be read is passed over.
    std::vector<std::pair<QString, SubscriberFound>> found;
    const int idColumn = rs.columnIndex(QStringLiteral("ObjectID"));
    for (const qsizetype r : rows) {
        const Recordset one = rs.rowsOf({r});
        if (const std::optional<QString> id = StepRunner().value([&] { return one.text(idColumn); }))
            found.emplace_back(*id, foundInRow(one, columns));
    }
    if (found.empty())
        return false;
    for (const auto& [id, lookup] : found) {
        m_selection.addFound(id, lookup);
        countHandOver();
    }
    return true;
}

bool CsvSubscriberImport::addFound(const QString& sql, const QString& idField)
{
    AppContext& app = m_selection.app();
    // A lookup that cannot run or be walked is given up silently, as if it
    // found no one; a row whose id cannot be read is passed over.
    const std::optional<QStringList> ids = StepRunner().value([&] {
        Recordset rs;
        rs.open(sql, app.strConnectionString);
        QStringList found;
        StepRunner row;
        for (rs.moveFirst(); !rs.atEnd(); rs.moveNext())
            row.run([&] { found.append(rs.text(idField)); });
        rs.close();
        return found;
    });
    if (!ids || ids->isEmpty())
        return false;
    for (const QString& id : *ids) {
        m_selection.AddUserToGrid(id);
        countHandOver();
    }
    return true;
}

void CsvSubscriberImport::countHandOver()
{
    ++m_usersAdded;
    StepRunner().run(
        [&] { m_selection.progress().setTotal(QStringLiteral("Users added=") + QString::number(m_usersAdded)); });
    m_selection.app().ui.yield();
}

} // namespace tarnwick

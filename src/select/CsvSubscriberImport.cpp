#include "select/CsvSubscriberImport.h"

#include "app/AppContext.h"
#include "app/Recordset.h"
#include "app/SqlText.h"
#include "app/StepRunner.h"
#include "app/UserInterface.h"
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

bool TextLineReader::atEnd()
{
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
            const QString line = QString::fromLocal8Bit(m_buffer.constData() + m_pos, end - m_pos);
            qsizetype next = end + 1;
            if (m_buffer.at(end) == '\r' && next < m_buffer.size() && m_buffer.at(next) == '\n')
                ++next;
            m_pos = next;
            return line;
        }
        const qsizetype offset = size - m_pos;
        if (!fill()) {
            // The last line has no terminator.
            const QString line =
                QString::fromLocal8Bit(m_buffer.constData() + m_pos, m_buffer.size() - m_pos);
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

    const bool headerRead = opened && StepRunner([&](const Failure&) {
                                          app.ui.showMessage(kFormatError);
                                      }).run([&] {
        const QString header = reader->readLine();
        if (header.size() < 2)
            throw Failure(ErrorNumber::InvalidProcedureCall, kFormatError);
        const QStringList fields = header.split(QLatin1Char(','));
        for (qsizetype i = 0; i < fields.size(); ++i) {
            const QString name = fields[i].trimmed();
            if (m_aliasColumn < 0 && name.compare(QLatin1String("alias"), Qt::CaseInsensitive) == 0)
                m_aliasColumn = i;
            if (m_extensionColumn < 0 &&
                name.compare(QLatin1String("Extension"), Qt::CaseInsensitive) == 0)
                m_extensionColumn = i;
        }
        if (m_aliasColumn < 0 && m_extensionColumn < 0)
            throw Failure(ErrorNumber::InvalidProcedureCall, kFormatError);
    });

    if (headerRead) {
        StepRunner steps; // the main loop skips what fails, without a word
        for (;;) {
            const std::optional<bool> end = steps.value([&] { return reader->atEnd(); });
            if (!end || *end)
                break;
            ++m_linesRead;
            steps.run([&] {
                progress.setCount(QStringLiteral("Lines=") + QString::number(m_linesRead));
            });
            app.ui.yield();
            const std::optional<QString> line = steps.value([&] { return reader->readLine(); });
            if (!line)
                break;
            importLine(*line);
        }
    }

    app.ui.showMessage(QStringLiteral("Import complete. ") + signedText(m_linesRead) +
                       QStringLiteral(" lines read in from text file, ") +
                       signedText(grid.Rows() - 1 - startingRows) +
                       QStringLiteral(" users added to grid."));
}

void CsvSubscriberImport::importLine(const QString& line)
{
    const QStringList fields = line.split(QLatin1Char(','));
    auto within = [&](qsizetype column) { return column >= 0 && column < fields.size(); };
    // A column the header lacks never lies beyond the line.
    const bool aliasBeyond = m_aliasColumn >= fields.size();
    const bool extensionBeyond = m_extensionColumn >= fields.size();
    if (aliasBeyond && extensionBeyond)
        return;

    if (within(m_extensionColumn) && isNumericText(fields[m_extensionColumn])) {
        const QString sql =
            QStringLiteral(
                "SELECT vw_Subscriber.SubscriberObjectID, vw_DTMFAccessID.DTMFAccessID ") +
            QStringLiteral("FROM vw_Subscriber INNER JOIN vw_DTMFAccessID ") +
            QStringLiteral("ON vw_Subscriber.SubscriberObjectID=vw_DTMFAccessID.ParentObjectID ") +
            QStringLiteral("WHERE vw_DTMFAccessID.DTMFAccessID=") +
            sqlQuoted(fields[m_extensionColumn].trimmed()) +
            QStringLiteral(" AND SubscriberType IN (1,3)") +
            QStringLiteral(" ORDER BY vw_Subscriber.Alias");
        if (addFound(sql, QStringLiteral("SubscriberObjectID")))
            return;
    }
    if (within(m_aliasColumn)) {
        // The alias is looked up as written, blanks included.
        addFound(QStringLiteral(
                     "SELECT SubscriberObjectID as ObjectID from vw_Subscriber WHERE Alias=") +
                     sqlQuoted(fields[m_aliasColumn]) +
                     QStringLiteral(" AND SubscriberType IN (1,3)"),
                 QStringLiteral("ObjectID"));
    }
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
        ++m_usersAdded;
        StepRunner().run([&] {
            m_selection.progress().setTotal(QStringLiteral("Users added=") +
                                            QString::number(m_usersAdded));
        });
        app.ui.yield();
    }
    return true;
}

} // namespace tarnwick

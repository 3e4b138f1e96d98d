#include "base/BlockRead.h"

#include "base/Failure.h"

#ifdef _WIN32
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

#include <QSqlDatabase>
#include <QSqlDriver>

#include <iterator>
#include <memory>

namespace tarnwick {

void* odbcHandle(const QVariant& handle)
{
    if (handle.metaType() != QMetaType::fromType<SQLHANDLE>())
        return nullptr;
    return *static_cast<const SQLHANDLE*>(handle.constData());
}

QString dbmsName(const QSqlDatabase& db)
{
    const SQLHDBC connection = db.driver() ? odbcHandle(db.driver()->handle()) : nullptr;
    SQLWCHAR name[64] = {};
    SQLSMALLINT length = 0;
    if (!connection || !SQL_SUCCEEDED(SQLGetInfoW(connection, SQL_DBMS_NAME, name, sizeof name, &length)))
        return {};
    return QString(reinterpret_cast<const QChar*>(name), qMin<qsizetype>(length / 2, 63));
}

namespace {

constexpr SQLULEN kRowsPerFetch = 256;
// Characters; a wider column (or one of unknown width) is read a row at a
// time. PostgreSQL's driver gives a text of no declared length (an
// expression's) as 8190 characters wide, so that is held in blocks.
constexpr SQLLEN kWidest = 8190;

static_assert(sizeof(SQLWCHAR) == sizeof(QChar), "wide ODBC text is UTF-16");

// Taken as it is: QString::fromUtf16 would drop a leading byte-order mark,
// which belongs to the value.
QString textOf(const SQLWCHAR* data, qsizetype characters)
{
    return QString(reinterpret_cast<const QChar*>(data), characters);
}

// The driver's own words, as Qt's driver joins them.
Failure fetchFailure(SQLHSTMT statement)
{
    QString text;
    for (SQLSMALLINT i = 1;; ++i) {
        SQLWCHAR state[SQL_SQLSTATE_SIZE + 1];
        SQLWCHAR message[SQL_MAX_MESSAGE_LENGTH];
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        if (!SQL_SUCCEEDED(SQLGetDiagRecW(SQL_HANDLE_STMT, statement, i, state, &native, message,
                                          SQLSMALLINT(std::size(message)), &length)))
            break;
        const QString one = textOf(message, qMin<qsizetype>(length, qsizetype(std::size(message)) - 1));
        if (one != text)
            text += (text.isEmpty() ? QString() : QStringLiteral(" ")) + one;
    }
    return Failure(ErrorNumber::DatabaseError,
                   text.trimmed().isEmpty() ? QStringLiteral("Unspecified database error") : text.trimmed());
}

// The whole value of one column of the row in hand, however long.
bool getText(SQLHSTMT statement, SQLUSMALLINT column, QString& out, bool& isNull)
{
    out.resize(0);
    isNull = false;
    SQLWCHAR buffer[4096];
    for (;;) {
        SQLLEN length = 0;
        const SQLRETURN r = SQLGetData(statement, column, SQL_C_WCHAR, buffer, sizeof buffer, &length);
        if (r == SQL_NO_DATA)
            return true;
        if (!SQL_SUCCEEDED(r))
            return false;
        if (length == SQL_NULL_DATA) {
            isNull = true;
            return true;
        }
        const qsizetype room = qsizetype(std::size(buffer)) - 1;
        const qsizetype got = length == SQL_NO_TOTAL || length / SQLLEN(sizeof(SQLWCHAR)) > room
                                  ? room
                                  : qsizetype(length / SQLLEN(sizeof(SQLWCHAR)));
        out += textOf(buffer, got);
        if (r == SQL_SUCCESS)
            return true;
    }
}

} // namespace

void executePrepared(void* handle)
{
    const auto stmt = static_cast<SQLHSTMT>(handle);
    const SQLRETURN r = SQLExecute(stmt);
    if (!SQL_SUCCEEDED(r) && r != SQL_NO_DATA)
        throw fetchFailure(stmt);
}

BlockReadResult readRows(void* handle, bool widthsHold, const std::function<bool()>& stopped)
{
    const auto stmt = static_cast<SQLHSTMT>(handle);
    BlockReadResult result;
    SQLSMALLINT count = 0;
    if (!SQL_SUCCEEDED(SQLNumResultCols(stmt, &count)))
        throw fetchFailure(stmt);
    if (count < 1)
        return result;

    // Widths in characters, the terminator included; none when a column is
    // read a row at a time.
    std::vector<SQLLEN> widths(static_cast<size_t>(count), 0);
    bool blocks = true;
    for (SQLUSMALLINT c = 1; c <= SQLUSMALLINT(count); ++c) {
        SQLWCHAR name[256];
        SQLSMALLINT nameLength = 0;
        if (!SQL_SUCCEEDED(SQLColAttributeW(stmt, c, SQL_DESC_LABEL, name, sizeof name, &nameLength, nullptr)))
            throw fetchFailure(stmt);
        result.names.append(
            textOf(name, qMin<qsizetype>(nameLength / SQLSMALLINT(sizeof(SQLWCHAR)), qsizetype(std::size(name)) - 1)));
        SQLLEN display = 0;
        if (!widthsHold ||
            !SQL_SUCCEEDED(SQLColAttributeW(stmt, c, SQL_DESC_DISPLAY_SIZE, nullptr, 0, nullptr, &display)) ||
            display < 1 || display > kWidest)
            blocks = false;
        widths[c - 1] = display + 1;
    }

    const SQLULEN rowsPerFetch = blocks ? kRowsPerFetch : 1;
    SQLULEN fetched = 0;
    std::vector<SQLUSMALLINT> statuses(rowsPerFetch);
    if (!SQL_SUCCEEDED(
            SQLSetStmtAttr(stmt, SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 0)) ||
        !SQL_SUCCEEDED(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(rowsPerFetch), 0)) ||
        !SQL_SUCCEEDED(SQLSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0)) ||
        !SQL_SUCCEEDED(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_STATUS_PTR, statuses.data(), 0)))
        throw fetchFailure(stmt);

    std::vector<std::unique_ptr<SQLWCHAR[]>> texts(static_cast<size_t>(count));
    std::vector<std::vector<SQLLEN>> lengths(static_cast<size_t>(count));
    if (blocks) {
        for (SQLUSMALLINT c = 1; c <= SQLUSMALLINT(count); ++c) {
            const SQLLEN width = widths[c - 1];
            texts[c - 1] = std::make_unique_for_overwrite<SQLWCHAR[]>(size_t(width) * rowsPerFetch);
            lengths[c - 1].resize(rowsPerFetch);
            if (!SQL_SUCCEEDED(SQLBindCol(stmt, c, SQL_C_WCHAR, texts[c - 1].get(), width * SQLLEN(sizeof(SQLWCHAR)),
                                          lengths[c - 1].data())))
                throw fetchFailure(stmt);
        }
    }

    QString text; // a value read on its own; its room is kept for the next
    for (SQLULEN asked = 0;; asked += rowsPerFetch) {
        if (stopped && asked % kRowsPerFetch == 0 && stopped())
            throw Failure(ErrorNumber::DatabaseError, QStringLiteral("Operation canceled"));
        const SQLRETURN r = SQLFetch(stmt);
        if (r == SQL_NO_DATA)
            break;
        if (!SQL_SUCCEEDED(r) || fetched > rowsPerFetch)
            throw fetchFailure(stmt);
        for (SQLULEN row = 0; row < fetched; ++row) {
            if (statuses[row] != SQL_ROW_SUCCESS && statuses[row] != SQL_ROW_SUCCESS_WITH_INFO)
                throw fetchFailure(stmt);
            for (SQLUSMALLINT c = 1; c <= SQLUSMALLINT(count); ++c) {
                bool isNull = false;
                if (!blocks) {
                    if (!getText(stmt, c, text, isNull))
                        throw fetchFailure(stmt);
                } else if (const SQLLEN length = lengths[c - 1][row]; length == SQL_NULL_DATA) {
                    isNull = true;
                } else {
                    const SQLLEN width = widths[c - 1];
                    // Longer than its column said (a database that keeps any text
                    // in any column): the rest is asked for on its own.
                    if (length < 0 || length >= width * SQLLEN(sizeof(SQLWCHAR))) {
                        if (!SQL_SUCCEEDED(SQLSetPos(stmt, SQLSETPOSIROW(row + 1), SQL_POSITION, SQL_LOCK_NO_CHANGE)) ||
                            !getText(stmt, c, text, isNull))
                            throw Failure(ErrorNumber::DatabaseError,
                                          QStringLiteral("A value is longer than its column: ") + result.names[c - 1]);
                    } else {
                        result.cells.append(QStringView(&texts[c - 1][size_t(row) * size_t(width)],
                                                        qsizetype(length / SQLLEN(sizeof(SQLWCHAR)))));
                        continue;
                    }
                }
                if (isNull)
                    result.cells.appendNull();
                else
                    result.cells.append(text);
            }
            ++result.rows;
        }
    }
    return result;
}

} // namespace tarnwick

#include "base/BlockRead.h"

#ifdef _WIN32
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

#include <QSqlDatabase>
#include <QSqlDriver>

#include <array>
#include <cstring>
#include <iterator>
#include <memory>
#include <utility>
#include <vector>

namespace tarnwick {

namespace {

constexpr SQLULEN kRowsPerFetch = 256;
// Characters; a longer text column (or one of unknown length) is read through
// Qt. PostgreSQL's driver gives a text of no declared length (an expression's)
// as 8190 characters long, so that is held here.
constexpr SQLULEN kLongestText = 8190;

// The value types Qt's driver gives for the column types read here.
enum class Kind { Text, Int, UInt, LongLong, ULongLong, Double };

struct Column
{
    Kind kind = Kind::Text;
    SQLULEN width = 0; // characters of a text buffer, the terminator included
    SQLWCHAR* texts = nullptr; // rows one after the other, `width` characters each
    std::unique_ptr<SQLWCHAR[]> ownTexts; // holds `texts` when too large for the thread to keep
    std::vector<SQLBIGINT> integers;
    std::vector<double> doubles;
    std::vector<SQLLEN> lengths;
    std::array<QString, 64> recent; // texts read in this column, by their hash
};

// The text buffer of the column in that place: kept by the thread between
// queries when it is not too large. Most queries bring one row; a block
// made, cleared and freed for each of them took fresh memory from the system
// every time. Not cleared: the driver writes the rows it fetches.
SQLWCHAR* textBuffer(size_t place, size_t characters, std::unique_ptr<SQLWCHAR[]>& own)
{
    constexpr size_t kKeptCharacters = size_t(256) * 1024; // half a MiB a column
    if (characters > kKeptCharacters) {
        own = std::make_unique_for_overwrite<SQLWCHAR[]>(characters);
        return own.get();
    }
    thread_local std::vector<std::pair<std::unique_ptr<SQLWCHAR[]>, size_t>> kept;
    if (kept.size() <= place)
        kept.resize(place + 1);
    auto& [buffer, capacity] = kept[place];
    if (capacity < characters) {
        buffer = std::make_unique_for_overwrite<SQLWCHAR[]>(characters);
        capacity = characters;
    }
    return buffer.get();
}

class Statement
{
public:
    explicit Statement(SQLHDBC connection)
    {
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, connection, &m_handle)))
            m_handle = SQL_NULL_HSTMT;
    }
    ~Statement()
    {
        if (m_handle != SQL_NULL_HSTMT)
            SQLFreeHandle(SQL_HANDLE_STMT, m_handle);
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    SQLHSTMT handle() const { return m_handle; }

private:
    SQLHSTMT m_handle = SQL_NULL_HSTMT;
};

// The connection's ODBC handle, when Qt's ODBC driver holds it.
SQLHDBC connectionHandle(const QSqlDatabase& db)
{
    if (db.driverName() != QLatin1String("QODBC") || !db.driver())
        return SQL_NULL_HDBC;
    const QVariant handle = db.driver()->handle();
    if (handle.metaType() != QMetaType::fromType<SQLHANDLE>())
        return SQL_NULL_HDBC;
    return *static_cast<const SQLHANDLE*>(handle.constData());
}

bool isUnsigned(SQLHSTMT statement, SQLUSMALLINT column)
{
    SQLLEN value = SQL_FALSE;
    return SQL_SUCCEEDED(SQLColAttribute(statement, column, SQL_DESC_UNSIGNED, nullptr, 0, nullptr, &value)) &&
           value == SQL_TRUE;
}

// The kind Qt's driver would give the column, or nothing for a type read through Qt.
std::optional<Kind> kindOf(SQLSMALLINT type, bool isUnsignedType)
{
    switch (type) {
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_LONGVARCHAR:
    case SQL_WCHAR:
    case SQL_WVARCHAR:
    case SQL_WLONGVARCHAR:
        return Kind::Text; // of a bounded length only; see kLongestText
    case SQL_TINYINT:
        return Kind::UInt; // as Qt's driver reads it, whatever its sign
    case SQL_BIT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
        return isUnsignedType ? Kind::UInt : Kind::Int;
    case SQL_BIGINT:
        return isUnsignedType ? Kind::ULongLong : Kind::LongLong;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_DECIMAL:
    case SQL_NUMERIC:
        return Kind::Double; // Qt's default precision policy reads these as double
    default:
        return std::nullopt;
    }
}

// Characters of a text the driver gave in `bytes`: as Qt's driver does, a
// trailing NUL some drivers append is not text.
qsizetype textSize(const SQLWCHAR* data, SQLLEN bytes)
{
    qsizetype size = qsizetype(bytes / SQLLEN(sizeof(SQLWCHAR)));
    if (size > 0 && data[size - 1] == 0)
        --size;
    return size;
}

QString textOf(const SQLWCHAR* data, SQLLEN bytes)
{
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(data), textSize(data, bytes));
}

// The text of a cell, shared with an equal one read in the same column not
// long before: a list's id beside each of its members, a class of service
// beside each subscriber, common first names are then held once each.
template <size_t N> QString textOf(const SQLWCHAR* data, SQLLEN bytes, std::array<QString, N>& recent)
{
    const QStringView text(reinterpret_cast<const char16_t*>(data), textSize(data, bytes));
    if (text.isEmpty())
        return QString::fromUtf16(text.utf16(), 0);
    QString& slot = recent[qHash(text) % N];
    if (slot != text)
        slot = QString::fromUtf16(text.utf16(), text.size());
    return slot;
}

} // namespace

std::optional<BlockReadResult> readInBlocks(QSqlDatabase& db, const QString& sql)
{
    static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "wide ODBC text is UTF-16");
    const SQLHDBC connection = connectionHandle(db);
    if (connection == SQL_NULL_HDBC)
        return std::nullopt;
    Statement statement(connection);
    const SQLHSTMT stmt = statement.handle();
    if (stmt == SQL_NULL_HSTMT)
        return std::nullopt;

    SQLULEN fetched = 0;
    std::vector<SQLUSMALLINT> statuses(kRowsPerFetch);
    if (!SQL_SUCCEEDED(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 0)) ||
        !SQL_SUCCEEDED(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(kRowsPerFetch), 0)) ||
        !SQL_SUCCEEDED(SQLSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0)) ||
        !SQL_SUCCEEDED(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_STATUS_PTR, statuses.data(), 0)))
        return std::nullopt;
    // A driver may lower the rows per fetch; the buffers follow what it took.
    SQLULEN rowsPerFetch = 0;
    if (!SQL_SUCCEEDED(SQLGetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, &rowsPerFetch, 0, nullptr)) || rowsPerFetch < 1 ||
        rowsPerFetch > kRowsPerFetch)
        return std::nullopt;

    std::u16string query = sql.toStdU16String();
    if (!SQL_SUCCEEDED(SQLExecDirectW(stmt, reinterpret_cast<SQLWCHAR*>(query.data()), SQLINTEGER(query.size()))))
        return std::nullopt;
    SQLSMALLINT count = 0;
    if (!SQL_SUCCEEDED(SQLNumResultCols(stmt, &count)) || count < 1)
        return std::nullopt;

    BlockReadResult result;
    std::vector<Column> columns(static_cast<size_t>(count));
    for (SQLUSMALLINT c = 1; c <= SQLUSMALLINT(count); ++c) {
        SQLWCHAR name[256];
        SQLSMALLINT nameLength = 0, type = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        if (!SQL_SUCCEEDED(SQLDescribeColW(stmt, c, name, SQLSMALLINT(std::size(name)), &nameLength, &type, &size,
                                           &digits, &nullable)) ||
            nameLength >= SQLSMALLINT(std::size(name)))
            return std::nullopt;
        const std::optional<Kind> kind = kindOf(type, isUnsigned(stmt, c));
        if (!kind || (*kind == Kind::Text && (size < 1 || size > kLongestText)))
            return std::nullopt;
        result.names.append(textOf(name, SQLLEN(nameLength) * SQLLEN(sizeof(SQLWCHAR))));

        Column& column = columns[c - 1];
        column.kind = *kind;
        column.lengths.resize(rowsPerFetch);
        SQLRETURN bound = SQL_ERROR;
        if (*kind == Kind::Text) {
            column.width = size + 1;
            column.texts = textBuffer(c - 1, rowsPerFetch * column.width, column.ownTexts);
            bound = SQLBindCol(stmt, c, SQL_C_WCHAR, column.texts, SQLLEN(column.width * sizeof(SQLWCHAR)),
                               column.lengths.data());
        } else if (*kind == Kind::Double) {
            column.doubles.resize(rowsPerFetch);
            bound = SQLBindCol(stmt, c, SQL_C_DOUBLE, column.doubles.data(), 0, column.lengths.data());
        } else {
            column.integers.resize(rowsPerFetch);
            bound = SQLBindCol(stmt, c, *kind == Kind::ULongLong ? SQL_C_UBIGINT : SQL_C_SBIGINT,
                               column.integers.data(), 0, column.lengths.data());
        }
        if (!SQL_SUCCEEDED(bound))
            return std::nullopt;
    }

    // Each fetch's cells in a block of their own: one list grown cell by cell
    // copied its cells over and over. Every block but the last holds
    // rowsPerFetch rows; a driver that brings a short one before it is read
    // through Qt.
    std::vector<QList<QVariant>>& blocks = result.blocks;
    result.rowsPerBlock = qsizetype(rowsPerFetch);
    for (;;) {
        const SQLRETURN r = SQLFetch(stmt);
        if (r == SQL_NO_DATA)
            break;
        // A fetch that fails is a result cut short: Qt's read words it.
        if (!SQL_SUCCEEDED(r) || fetched > rowsPerFetch)
            return std::nullopt;
        if (!blocks.empty() && blocks.back().size() != qsizetype(rowsPerFetch) * count)
            return std::nullopt;
        QList<QVariant>& cells = blocks.emplace_back();
        cells.reserve(qsizetype(fetched) * count);
        for (SQLULEN row = 0; row < fetched; ++row) {
            if (statuses[row] != SQL_ROW_SUCCESS && statuses[row] != SQL_ROW_SUCCESS_WITH_INFO)
                return std::nullopt;
            for (Column& column : columns) {
                const SQLLEN length = column.lengths[row];
                if (length == SQL_NULL_DATA) {
                    cells.append(QVariant());
                    continue;
                }
                switch (column.kind) {
                case Kind::Text:
                    // Longer than its column said: cut short here, so read through Qt.
                    if (length < 0 || SQLULEN(length) >= column.width * sizeof(SQLWCHAR))
                        return std::nullopt;
                    cells.append(QVariant(textOf(&column.texts[row * column.width], length, column.recent)));
                    break;
                case Kind::Int:
                    cells.append(QVariant(int(column.integers[row])));
                    break;
                case Kind::UInt:
                    cells.append(QVariant(uint(column.integers[row])));
                    break;
                case Kind::LongLong:
                    cells.append(QVariant(qlonglong(column.integers[row])));
                    break;
                case Kind::ULongLong:
                    cells.append(QVariant(qulonglong(column.integers[row])));
                    break;
                case Kind::Double:
                    cells.append(QVariant(column.doubles[row]));
                    break;
                }
            }
            ++result.rows;
        }
    }
    return result;
}

} // namespace tarnwick

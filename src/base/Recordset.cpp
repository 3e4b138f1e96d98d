#include "base/Recordset.h"

#include "base/BackgroundRead.h"
#include "base/BlockRead.h"
#include "base/Failure.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QThread>

#include <atomic>
#include <chrono>

namespace tarnwick {

namespace {

std::atomic<qint64> g_queryCount{0};

// Each thread's connections are its own, so the name carries the thread's number.
QString connectionName(const QString& connectionString)
{
    static std::atomic<int> threads{0};
    thread_local const int thread = ++threads;
    return QStringLiteral("tarnwick-")
           + QString::fromLatin1(QCryptographicHash::hash(connectionString.toUtf8(), QCryptographicHash::Sha1).toHex())
           + QLatin1Char('-') + QString::number(thread);
}

// The names of the connections this thread has made, by connection string.
QHash<QString, QString>& threadConnectionNames()
{
    thread_local QHash<QString, QString> names;
    return names;
}

QString describe(const QSqlError& error)
{
    QString text = error.databaseText().trimmed();
    if (text.isEmpty())
        text = error.driverText().trimmed();
    if (text.isEmpty())
        text = QStringLiteral("Unspecified database error");
    return text;
}

// Opens the connection. PostgreSQL lets a sequential scan of a large table
// begin where one already under way has got to, so two exports at once
// would read a table in two orders: its sessions start every scan at the
// beginning. A server that refuses the setting is read as it is.
bool openSession(QSqlDatabase& db)
{
    if (!db.open())
        return false;
    if (db.driver()->dbmsType() == QSqlDriver::PostgreSQL)
        QSqlQuery(db).exec(QStringLiteral("SET synchronize_seqscans = off"));
    return true;
}

// One connection per connection string, opened on first use. The product
// database is only ever read, so the connection asks the driver for read-only
// access as well.
QSqlDatabase connectionFor(const QString& connectionString)
{
    // Hashing the string on every query showed on point queries, so each
    // thread remembers the names it has made.
    QHash<QString, QString>& names = threadConnectionNames();
    auto known = names.constFind(connectionString);
    if (known == names.constEnd())
        known = names.insert(connectionString, connectionName(connectionString));
    const QString& name = known.value();
    QSqlDatabase db = QSqlDatabase::database(name, false);
    if (!db.isValid()) {
        db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), name);
        db.setDatabaseName(connectionString);
        db.setConnectOptions(QStringLiteral("SQL_ATTR_ACCESS_MODE=SQL_MODE_READ_ONLY;SQL_ATTR_LOGIN_TIMEOUT=15"));
    }
    if (!db.isOpen() && !openSession(db)) {
        const QSqlError error = db.lastError();
        throw Failure(ErrorNumber::DatabaseError, describe(error));
    }
    return db;
}

} // namespace

namespace {

// The product database is only ever read. Not every driver honours the
// read-only access mode (the SQLite one does not), so a statement that is not
// a single SELECT is refused before it reaches the driver.
bool isSingleSelect(const QString& sql)
{
    const QString text = sql.trimmed();
    if (!text.startsWith(QStringLiteral("SELECT"), Qt::CaseInsensitive))
        return false;
    bool inLiteral = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\''))
            inLiteral = !inLiteral;  // a doubled quote toggles twice
        else if (c == QLatin1Char(';') && !inLiteral && !text.mid(i + 1).trimmed().isEmpty())
            return false;
    }
    return true;
}

// A connection that failed a query may have been lost: the server restarted,
// the network dropped. The driver need not say so (Qt's ODBC driver reports
// a lost PostgreSQL connection as a statement error on a handle it still
// calls open), so a failure on a connection that still claims to be open is
// followed by the cheapest query there is; when that fails too, the
// connection is gone.
bool connectionLost(QSqlDatabase& db, const QSqlError& error)
{
    if (!db.isOpen() || error.type() == QSqlError::ConnectionError)
        return true;
    QSqlQuery probe(db);
    return !probe.exec(QStringLiteral("SELECT 1"));
}

// Opens a lost connection again. A server that restarts takes a few seconds
// to take connections again, so the open is tried for a while before its
// failure is the query's.
void reopen(QSqlDatabase& db)
{
    db.close();
    const QDeadlineTimer deadline(std::chrono::seconds(10));
    for (int wait = 100; !openSession(db); wait = qMin(wait * 2, 1000)) {
        if (deadline.hasExpired())
            throw Failure(ErrorNumber::DatabaseError, describe(db.lastError()));
        QThread::msleep(static_cast<unsigned long>(qMin<qint64>(wait, qMax<qint64>(1, deadline.remainingTime()))));
    }
}

} // namespace

void Recordset::open(const QString& sql, const QString& connectionString, const std::function<void()>& whileFetching)
{
    if (m_open)
        close();
    if (!isSingleSelect(sql))
        throw Failure(ErrorNumber::DatabaseError,
                      QStringLiteral("Only a single SELECT statement may be run on the product database"));
    if (whileFetching) {
        // The calling thread waits for a reader that holds no state of its own.
        *this = BackgroundRead<Recordset>([sql, connectionString] {
                    Recordset rs;
                    rs.open(sql, connectionString);
                    return rs;
                }).take(whileFetching);
        return;
    }
    QSqlDatabase db = connectionFor(connectionString);
    QSqlError error = fetchAll(db, sql);
    if (error.isValid() && connectionLost(db, error)) {
        // Opened again and tried once more; a second failure is the query's.
        reopen(db);
        error = fetchAll(db, sql);
        if (error.isValid() && connectionLost(db, error))
            db.close(); // the next query starts with a fresh open
    }
    if (error.isValid())
        throw Failure(ErrorNumber::DatabaseError, describe(error));
    m_current = 0;
    m_open = true;
}

QSqlError Recordset::fetchAll(QSqlDatabase& db, const QString& sql)
{
    m_names.clear();
    m_blocks.clear();
    m_rows = 0;
    ++g_queryCount;
    if (std::optional<BlockReadResult> read = readInBlocks(db, sql)) {
        m_names = std::move(read->names);
        m_blocks = std::move(read->blocks);
        m_rowsPerBlock = read->rowsPerBlock;
        m_rows = read->rows;
        return {};
    }
    // Qt's own read: for what the block read does not hold, and for the
    // wording of every failure.
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(sql))
        return query.lastError();
    const QSqlRecord record = query.record();
    const int columns = record.count();
    m_names.reserve(columns);
    for (int i = 0; i < columns; ++i)
        m_names.append(record.fieldName(i));
    QList<QVariant>& cells = m_blocks.emplace_back();
    while (query.next()) {
        for (int c = 0; c < columns; ++c)
            cells.push_back(query.isNull(c) ? QVariant() : query.value(c));
        ++m_rows;
    }
    m_rowsPerBlock = qMax<qsizetype>(m_rows, 1);
    // The end of the rows and a fetch that failed look alike to next(): a
    // result cut short is a failure, never a shorter answer.
    if (query.lastError().isValid()) {
        m_names.clear();
        m_blocks.clear();
        m_rows = 0;
        return query.lastError();
    }
    return {};
}

void Recordset::close()
{
    requireOpen();
    m_open = false;
    m_blocks.clear();
    m_blocks.shrink_to_fit();
    m_rows = 0;
    m_current = 0;
}

void Recordset::requireOpen() const
{
    if (!m_open)
        throw Failure(ErrorNumber::ObjectClosed, QStringLiteral("Operation is not allowed when the object is closed."));
}

void Recordset::requireRow() const
{
    requireOpen();
    if (m_current < 0 || m_current >= m_rows)
        throw Failure(ErrorNumber::NoCurrentRecord,
                      QStringLiteral("Either BOF or EOF is True, or the current record has been deleted. "
                                     "Requested operation requires a current record."));
}

Recordset Recordset::rowsOf(const std::vector<qsizetype>& rows) const
{
    requireOpen();
    Recordset part;
    part.m_open = true;
    part.m_names = m_names;
    const qsizetype width = m_names.size();
    QList<QVariant>& cells = part.m_blocks.emplace_back();
    cells.reserve(qsizetype(rows.size()) * width);
    for (const qsizetype row : rows) {
        for (int c = 0; c < width; ++c)
            cells.append(cell(row, c));
    }
    part.m_rows = qsizetype(rows.size());
    part.m_rowsPerBlock = qMax<qsizetype>(part.m_rows, 1);
    return part;
}

qsizetype Recordset::recordCount() const
{
    requireOpen();
    return m_rows;
}

void Recordset::moveFirst()
{
    requireOpen();
    m_current = 0;
}

void Recordset::moveNext()
{
    requireRow();
    ++m_current;
}

bool Recordset::atEnd() const
{
    requireOpen();
    return m_current >= m_rows;
}

int Recordset::findColumn(const QString& name) const
{
    // A scan of a handful of names: building a hash on every open cost a point
    // query about a tenth of its time. The first column of a name wins, as it
    // does in ADO's Fields collection.
    for (qsizetype i = 0; i < m_names.size(); ++i) {
        if (m_names[i].size() == name.size() && m_names[i].compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

int Recordset::column(const QString& name) const
{
    requireOpen();
    const int found = findColumn(name);
    if (found < 0)
        throw Failure(ErrorNumber::ItemNotFound,
                      QStringLiteral("Item cannot be found in the collection corresponding to the requested name or ordinal."));
    return found;
}

bool Recordset::hasField(const QString& name) const
{
    return m_open && findColumn(name) >= 0;
}

QVariant Recordset::value(int col) const
{
    requireRow();
    if (col < 0 || col >= m_names.size())
        throw Failure(ErrorNumber::ItemNotFound,
                      QStringLiteral("Item cannot be found in the collection corresponding to the requested name or ordinal."));
    return cell(m_current, col);
}

QVariant Recordset::value(const QString& name) const
{
    const int col = column(name);
    return value(col);
}

bool Recordset::isNull(const QString& name) const
{
    return value(name).isNull();
}

QString Recordset::text(const QString& name) const
{
    return valueToText(value(name));
}

QString Recordset::text(int col) const
{
    return valueToText(value(col));
}

QString valueToText(const QVariant& value)
{
    if (value.isNull())
        throw Failure(ErrorNumber::InvalidUseOfNull, QStringLiteral("Invalid use of Null"));
    if (value.metaType().id() == QMetaType::QByteArray)
        return QString::fromLocal8Bit(value.toByteArray());
    return value.toString();
}

void closeThreadConnections()
{
    QHash<QString, QString>& names = threadConnectionNames();
    for (const QString& name : std::as_const(names)) {
        QSqlDatabase::database(name, false).close();
        QSqlDatabase::removeDatabase(name);
    }
    names.clear();
}

void closeDatabaseConnections()
{
    const QStringList names = QSqlDatabase::connectionNames();
    for (const QString& name : names) {
        if (name.startsWith(QStringLiteral("tarnwick-"))) {
            QSqlDatabase::database(name, false).close();
            QSqlDatabase::removeDatabase(name);
        }
    }
}

qint64 databaseQueryCount()
{
    return g_queryCount.load();
}

} // namespace tarnwick

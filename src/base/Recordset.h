#pragma once

#include "base/CellStore.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <exception>
#include <functional>
#include <memory>
#include <vector>

class QSqlDatabase;
class QSqlError;

namespace tarnwick {

// A read-only query result on the product database, reached through Qt SQL's
// ODBC driver. Every row is fetched when it opens (a client-side cursor), so
// its row count is known before the walk. Field names match without letter
// case; a null value stays distinct from an empty text.
//
// A lost connection is opened again and the query tried once more. Every
// wait is bounded (see setReadLimits) and every read can be cancelled from
// another thread (cancelReads): the statement runs on a reading thread while
// the caller waits, so a read that does not come back is left behind.
// Failures throw Failure with the database's own text, as the old recordset
// raised them: opening a query that fails, reading past the end, a field the
// query does not have, closing one that is not open.
class Recordset
{
public:
    Recordset() = default;

    // Runs `sql` on a connection for `connectionString` (reused per string
    // and per calling thread). `whileFetching`, when given, is called about
    // every 50 ms until the rows are in, so a long read can keep a window drawn.
    void open(const QString& sql, const QString& connectionString, const std::function<void()>& whileFetching = {});
    bool isOpen() const noexcept { return m_open; }
    // 1 when open, 0 when closed.
    int state() const noexcept { return m_open ? 1 : 0; }
    void close();

    qsizetype recordCount() const;
    void moveFirst();
    void moveNext();
    bool atEnd() const;  // the old EOF test

    bool hasField(const QString& name) const;
    // The place of the first column of that name, -1 when there is none or
    // the recordset is closed: a walk of many rows finds its columns once.
    int columnIndex(const QString& name) const { return m_open ? findColumn(name) : -1; }
    // The value as the database gave it, as text; a null QVariant for a null value.
    QVariant value(const QString& name) const;
    QVariant value(int column) const;
    bool isNull(const QString& name) const;
    // The value as text; a null value fails with "Invalid use of Null".
    QString text(const QString& name) const;
    QString text(int column) const;

    QStringList fieldNames() const { return m_names; }

    // An open recordset holding the given rows of this one, in that order:
    // reading in sets hands each owner or list its own share of one query.
    Recordset rowsOf(const std::vector<qsizetype>& rows) const;

private:
    void openHere(const QString& sql, const QString& connectionString);
    void requireOpen() const;
    void requireRow() const;
    int column(const QString& name) const;
    int findColumn(const QString& name) const;  // -1 when absent
    QVariant cell(qsizetype row, int column) const
    {
        const qsizetype at = (m_rowsOf.empty() ? row : m_rowsOf[size_t(row)]) * m_names.size() + column;
        return m_cells->isNull(at) ? QVariant() : QVariant(m_cells->text(at));
    }

    bool m_open = false;
    QStringList m_names;
    // The cells row by row, as the database gave them: shared by the parts
    // rowsOf() hands out, which hold only their rows' places in it.
    std::shared_ptr<const CellStore> m_cells;
    std::vector<qsizetype> m_rowsOf; // empty: every row, in order
    qsizetype m_rows = 0;
    qsizetype m_current = 0;
};

// Converts a database value to text as the old runtime did: numbers in plain
// decimal, texts unchanged. The value must not be null.
QString valueToText(const QVariant& value);
// The field's value as text; empty for a null value, a missing field or no current row.
QString GetFieldString(const Recordset& recordset, const QString& fieldName);
QString GetFieldString(const Recordset& recordset, int column);

// The database's own words for a failure, else the driver's.
QString databaseErrorText(const QSqlError& error);

// Why the reads of a run were stopped. Not a Failure: a run does not go on
// to its next step after it, it ends (see StoppableReads).
class ReadsStopped : public std::exception
{
public:
    enum class Why { Interrupted, TimedOut, Gone };
    ReadsStopped(Why why, QString description) : m_why(why), m_description(std::move(description)) {}
    Why why() const noexcept { return m_why; }
    const QString& description() const noexcept { return m_description; }
    const char* what() const noexcept override { return "tarnwick::ReadsStopped"; }

private:
    Why m_why;
    QString m_description;
};

// While one lives, a read that runs out of time, is cancelled or finds its
// database gone for good throws ReadsStopped, and so does every read after
// it: the run that made it ends once instead of failing row after row.
// Without one, the same stops are Failures of the one read. One at a time.
class StoppableReads
{
public:
    StoppableReads();
    ~StoppableReads();
    StoppableReads(const StoppableReads&) = delete;
    StoppableReads& operator=(const StoppableReads&) = delete;
};

// Limits on a wait for the database, in seconds: to connect (the driver's
// login timeout) and for one statement (the driver's query timeout, and
// SQLite's wait for a lock). Past them, and a second more for the driver to
// say so itself, the statement is cancelled and the wait given up.
void setReadLimits(int connectSeconds, int statementSeconds);
inline constexpr int kDefaultConnectSeconds = 30;
inline constexpr int kDefaultStatementSeconds = 600;

// Cancels the statements in flight and stops the reads (an interruption).
// Safe from any thread but a signal handler.
void cancelReads();
// Whether a reading thread was left in a read that never came back: the
// process should then end without waiting for its threads or connections.
bool readsLeftBehind();

// For BackgroundRead: whether the waiting thread should give up now (reads
// stopped and the reads cancelled have had their time to come back), which
// also cancels what is overdue; the stop to throw then; the mark of a thread
// that runs reads itself; a thread left behind.
bool readWaitIsOver();
[[noreturn]] void throwReadStop();
void markReadingThread();
void noteReadLeftBehind();

// Closes every cached connection (the process keeps them for reuse).
void closeDatabaseConnections();
// Closes the connections this thread made; a thread that reads calls it before it ends.
void closeThreadConnections();
// Number of queries sent since the process started; the benchmarks report it.
qint64 databaseQueryCount();

} // namespace tarnwick

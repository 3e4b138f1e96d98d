#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <vector>

class QSqlDatabase;
class QSqlError;

namespace tarnwick {

// A read-only query result on the product database, reached through Qt SQL's
// ODBC driver. Every row is fetched when it opens (a client-side cursor), so
// its row count is known before the walk. Field names match without letter
// case; a null value stays distinct from an empty text.
//
// A lost connection is opened again and the query tried once more.
// Failures throw Failure with the database's own text, as the old recordset
// raised them: opening a query that fails, reading past the end, a field the
// query does not have, closing one that is not open.
class Recordset
{
public:
    Recordset() = default;

    // Runs `sql` on this thread's connection for `connectionString` (reused
    // per string). `whileFetching`, when given, is called about every 50 ms
    // until the rows are in, so a long read can keep a window drawn: the
    // query then runs on a thread of its own.
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
    QVariant value(const QString& name) const;      // null QVariant for a null value
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
    // Runs the query and keeps every row; the error when it fails or its rows are cut short.
    QSqlError fetchAll(QSqlDatabase& db, const QString& sql);
    void requireOpen() const;
    void requireRow() const;
    int column(const QString& name) const;
    int findColumn(const QString& name) const;  // -1 when absent
    const QVariant& cell(qsizetype row, int column) const
    {
        return m_blocks[size_t(row / m_rowsPerBlock)][(row % m_rowsPerBlock) * m_names.size() + column];
    }

    bool m_open = false;
    QStringList m_names;
    // The cells row by row, in blocks of m_rowsPerBlock rows as they were read.
    std::vector<QList<QVariant>> m_blocks;
    qsizetype m_rowsPerBlock = 1;
    qsizetype m_rows = 0;
    qsizetype m_current = 0;
};

// Converts a database value to text as the old runtime did: numbers in plain
// decimal, texts unchanged. The value must not be null.
QString valueToText(const QVariant& value);

// Closes every cached connection (the process keeps them for reuse).
void closeDatabaseConnections();
// Closes the connections this thread made; a thread that reads calls it before it ends.
void closeThreadConnections();
// Number of queries sent since the process started; the benchmarks report it.
qint64 databaseQueryCount();

} // namespace tarnwick

#pragma once

#include "DemoDatabase.h"

#include <QString>
#include <QTest>

#include <memory>

namespace tarnwick::test {

// A fresh product database on the PostgreSQL test server (CTest starts it for POSTGRES suites), reached through
// ODBC with "SQL Server" mapped to PostgreSQL's driver. The owner role builds it with the one fixture builder; the
// product code reads it as tarnwick_reader, which may only SELECT. It is dropped when this object goes.
// Construction never throws: an unusable server leaves it not ready, which TARNWICK_REQUIRE_POSTGRES reports.
class PostgresDatabase
{
public:
    PostgresDatabase();
    ~PostgresDatabase();
    PostgresDatabase(const PostgresDatabase&) = delete;
    PostgresDatabase& operator=(const PostgresDatabase&) = delete;

    bool isReady() const { return m_builder != nullptr; }
    QString error() const { return m_error; }
    // TARNWICK_ALLOW_NO_POSTGRES=1 lets the suites skip without the server.
    static bool mayBeAbsent() { return qEnvironmentVariable("TARNWICK_ALLOW_NO_POSTGRES") == "1"; }

    // The builder, connected as the owner; the schema is made and readable by the reader.
    demo::DemoDatabase& database() { return *m_builder; }
    QString name() const { return m_name; }
    // What the product code uses: the reader's connection string.
    QString connectionString() const { return connectionString(m_name, "tarnwick_reader", readerPassword()); }

    static int port();
    static QString connectionString(const QString& database, const QString& user, const QString& password,
                                    int port = PostgresDatabase::port());
    static QString readerPassword();
    // Stops or starts the test server (scripts/postgres-test-server.sh stop|start): empty when done, else why not.
    static QString controlServer(const QString& action);
    // That command line, for a test that runs it in the background: program first.
    static QStringList serverCommand(const QString& action);

private:
    bool create();

    QString m_name;
    QString m_builderConnection;
    std::unique_ptr<demo::DemoDatabase> m_builder;
    bool m_created = false;
    QString m_error;
};

} // namespace tarnwick::test

// In a test function: fails (or skips, when allowed) unless `pg` is ready.
#define TARNWICK_REQUIRE_POSTGRES(pg)                                          \
    do {                                                                       \
        if (!(pg).isReady()) {                                                 \
            if (::tarnwick::test::PostgresDatabase::mayBeAbsent())             \
                QSKIP(qPrintable((pg).error()));                               \
            QFAIL(qPrintable((pg).error()));                                   \
        }                                                                      \
    } while (false)

#pragma once

#include "DemoDatabase.h"

#include <QString>
#include <QTest>

#include <memory>

namespace tarnwick::test {

// A fresh product database on the PostgreSQL test server
// (scripts/postgres-test-server.sh; CTest starts it for POSTGRES suites),
// reached through ODBC with "SQL Server" mapped to PostgreSQL's driver.
// The owner role builds it with the one fixture builder; the product code
// reads it as tarnwick_reader, which may only SELECT. The database is dropped
// when this object goes.
//
// Construction never throws: a server that cannot be reached leaves the
// object not ready, and TARNWICK_REQUIRE_POSTGRES turns that into a failure
// (or a skip when TARNWICK_ALLOW_NO_POSTGRES=1).
class PostgresDatabase
{
public:
    PostgresDatabase();
    ~PostgresDatabase();
    PostgresDatabase(const PostgresDatabase&) = delete;
    PostgresDatabase& operator=(const PostgresDatabase&) = delete;

    bool isReady() const { return m_builder != nullptr; }
    QString error() const { return m_error; }
    // True when the environment allows running without the server.
    static bool mayBeAbsent();

    // The builder, connected as the owner; the schema is made and readable by the reader.
    demo::DemoDatabase& database() { return *m_builder; }
    QString name() const { return m_name; }
    // What the product code uses: the reader's connection string.
    QString connectionString() const;
    QString ownerConnectionString() const;

    static int port();
    static QString connectionString(const QString& database, const QString& user, const QString& password,
                                    int port = PostgresDatabase::port());
    static QString readerPassword();
    static QString ownerPassword();

private:
    bool create();
    void drop();

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

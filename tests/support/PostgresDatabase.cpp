#include "support/PostgresDatabase.h"

#include "app/Recordset.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>

#include <exception>

namespace tarnwick::test {

namespace {

QString envOr(const char* name, const QString& fallback)
{
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? fallback : value;
}

// Runs statements on a short-lived owner connection to the database `dbName`.
QString runAsOwner(const QString& dbName, const QStringList& statements)
{
    static int counter = 0;
    const QString connection = QStringLiteral("tarnwick-pg-admin-%1").arg(++counter);
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), connection);
        db.setDatabaseName(PostgresDatabase::connectionString(dbName, QStringLiteral("tarnwick_owner"),
                                                              PostgresDatabase::ownerPassword()));
        db.setConnectOptions(QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=10"));
        if (!db.open()) {
            error = db.lastError().text();
        } else {
            for (const QString& sql : statements) {
                QSqlQuery q(db);
                if (!q.exec(sql)) {
                    error = sql + QStringLiteral(": ") + q.lastError().text();
                    break;
                }
            }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(connection);
    return error;
}

} // namespace

PostgresDatabase::PostgresDatabase()
{
    // Run by hand, outside CTest, the binary still finds PostgreSQL's driver.
    if (qEnvironmentVariableIsEmpty("ODBCSYSINI"))
        qputenv("ODBCSYSINI", QByteArrayLiteral(TARNWICK_BINARY_DIR "/odbc/postgres"));
    m_name = QStringLiteral("tarnwick_t%1_%2")
                 .arg(QCoreApplication::applicationPid())
                 .arg(QRandomGenerator::global()->generate() & 0xffffff, 6, 16, QLatin1Char('0'));
    if (!create()) {
        m_builder.reset();
        m_error = QStringLiteral("PostgreSQL test server on 127.0.0.1:%1 not usable (start it with "
                                 "scripts/postgres-test-server.sh start, or set TARNWICK_ALLOW_NO_POSTGRES=1 "
                                 "to skip): %2")
                      .arg(port())
                      .arg(m_error);
    }
}

PostgresDatabase::~PostgresDatabase()
{
    drop();
}

bool PostgresDatabase::mayBeAbsent()
{
    return qEnvironmentVariable("TARNWICK_ALLOW_NO_POSTGRES") == QLatin1String("1");
}

int PostgresDatabase::port()
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue("TARNWICK_PG_PORT", &ok);
    return ok ? value : 54329;
}

QString PostgresDatabase::readerPassword()
{
    return envOr("TARNWICK_PG_READER_PASSWORD", QStringLiteral("tarnwick-reader"));
}

QString PostgresDatabase::ownerPassword()
{
    return envOr("TARNWICK_PG_OWNER_PASSWORD", QStringLiteral("tarnwick-owner"));
}

QString PostgresDatabase::connectionString(const QString& database, const QString& user, const QString& password,
                                           int portNumber)
{
    return QStringLiteral("Driver={SQL Server};server=127.0.0.1;port=%1;database=%2;uid=%3;pwd=%4")
        .arg(portNumber)
        .arg(database, user, password);
}

QString PostgresDatabase::connectionString() const
{
    return connectionString(m_name, QStringLiteral("tarnwick_reader"), readerPassword());
}

QString PostgresDatabase::ownerConnectionString() const
{
    return connectionString(m_name, QStringLiteral("tarnwick_owner"), ownerPassword());
}

bool PostgresDatabase::create()
{
    m_error = runAsOwner(QStringLiteral("postgres"),
                         {QStringLiteral("CREATE DATABASE %1").arg(m_name),
                          // The reader gets no temporary tables either: it writes nothing at all.
                          QStringLiteral("REVOKE TEMPORARY ON DATABASE %1 FROM PUBLIC").arg(m_name)});
    if (!m_error.isEmpty())
        return false;
    m_created = true;
    m_builderConnection = QStringLiteral("tarnwick-pg-builder-") + m_name;
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), m_builderConnection);
    db.setDatabaseName(ownerConnectionString());
    if (!db.open()) {
        m_error = db.lastError().text();
        return false;
    }
    try {
        m_builder = std::make_unique<demo::DemoDatabase>(db);
        m_builder->createSchema();
        // Tables and views alike; rows added later are covered by the grant.
        m_builder->exec(QStringLiteral("GRANT SELECT ON ALL TABLES IN SCHEMA public TO tarnwick_reader"));
    } catch (const std::exception& e) {
        m_error = QString::fromUtf8(e.what());
        return false;
    }
    return true;
}

void PostgresDatabase::drop()
{
    m_builder.reset();
    if (!m_builderConnection.isEmpty()) {
        QSqlDatabase::database(m_builderConnection, false).close();
        QSqlDatabase::removeDatabase(m_builderConnection);
    }
    if (!m_created)
        return;
    // The product's cached reader connections hold the database open.
    closeDatabaseConnections();
    const QString error = runAsOwner(QStringLiteral("postgres"),
                                     {QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(m_name)});
    if (!error.isEmpty())
        qWarning("could not drop test database %s: %s", qPrintable(m_name), qPrintable(error));
}

} // namespace tarnwick::test

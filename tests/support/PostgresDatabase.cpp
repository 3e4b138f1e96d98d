#include "support/PostgresDatabase.h"

#include "base/Recordset.h"

#include <QCoreApplication>
#include <QProcess>
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

QString ownerConnectionString(const QString& database)
{
    return PostgresDatabase::connectionString(database, "tarnwick_owner",
                                              envOr("TARNWICK_PG_OWNER_PASSWORD", "tarnwick-owner"));
}

// Runs statements on a short-lived owner connection to the server's own database; returns the first error.
QString runAsOwner(const QStringList& statements)
{
    static int counter = 0;
    const QString connection = QString("tarnwick-pg-admin-%1").arg(++counter);
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QODBC", connection);
        db.setDatabaseName(ownerConnectionString("postgres"));
        db.setConnectOptions("SQL_ATTR_LOGIN_TIMEOUT=10");
        if (!db.open())
            error = db.lastError().text();
        for (qsizetype i = 0; error.isEmpty() && i < statements.size(); ++i)
            if (QSqlQuery q(db); !q.exec(statements[i]))
                error = statements[i] + ": " + q.lastError().text();
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
    m_name = QString("tarnwick_t%1_%2")
                 .arg(QCoreApplication::applicationPid())
                 .arg(QRandomGenerator::global()->generate() & 0xffffff, 6, 16, QLatin1Char('0'));
    if (!create()) {
        m_builder.reset();
        m_error = QString("PostgreSQL test server on 127.0.0.1:%1 not usable (start it with "
                          "scripts/postgres-test-server.sh start, or set TARNWICK_ALLOW_NO_POSTGRES=1 to skip): %2")
                      .arg(port())
                      .arg(m_error);
    }
}

PostgresDatabase::~PostgresDatabase()
{
    m_builder.reset();
    if (!m_builderConnection.isEmpty())
        QSqlDatabase::removeDatabase(m_builderConnection);
    if (!m_created)
        return;
    // The product's cached reader connections hold the database open.
    closeDatabaseConnections();
    if (const QString error = runAsOwner({"DROP DATABASE IF EXISTS " + m_name + " WITH (FORCE)"}); !error.isEmpty())
        qWarning("could not drop test database %s: %s", qPrintable(m_name), qPrintable(error));
}

int PostgresDatabase::port()
{
    return envOr("TARNWICK_PG_PORT", "54329").toInt();
}

QString PostgresDatabase::readerPassword()
{
    return envOr("TARNWICK_PG_READER_PASSWORD", "tarnwick-reader");
}

QString PostgresDatabase::connectionString(const QString& database, const QString& user, const QString& password,
                                           int portNumber)
{
    return QString("Driver={SQL Server};server=127.0.0.1;port=%1;database=%2;uid=%3;pwd=%4")
        .arg(portNumber)
        .arg(database, user, password);
}

QStringList PostgresDatabase::serverCommand(const QString& action)
{
    return {"bash", TARNWICK_SOURCE_DIR "/scripts/postgres-test-server.sh", action};
}

QString PostgresDatabase::controlServer(const QString& action)
{
    const QStringList command = serverCommand(action);
    QProcess script;
    script.setProcessChannelMode(QProcess::MergedChannels);
    script.start(command.first(), command.mid(1));
    if (script.waitForFinished(120000) && script.exitStatus() == QProcess::NormalExit && script.exitCode() == 0)
        return {};
    return command.join(' ') + ": " + QString::fromLocal8Bit(script.readAll());
}

bool PostgresDatabase::create()
{
    // The reader gets no temporary tables either: it writes nothing at all.
    m_error = runAsOwner({"CREATE DATABASE " + m_name, "REVOKE TEMPORARY ON DATABASE " + m_name + " FROM PUBLIC"});
    if (!m_error.isEmpty())
        return false;
    m_created = true;
    m_builderConnection = "tarnwick-pg-builder-" + m_name;
    QSqlDatabase db = QSqlDatabase::addDatabase("QODBC", m_builderConnection);
    db.setDatabaseName(ownerConnectionString(m_name));
    if (!db.open()) {
        m_error = db.lastError().text();
        return false;
    }
    try {
        m_builder = std::make_unique<demo::DemoDatabase>(db);
        m_builder->createSchema();
        // Tables and views alike; rows added later are covered by the grant.
        m_builder->exec("GRANT SELECT ON ALL TABLES IN SCHEMA public TO tarnwick_reader");
    } catch (const std::exception& e) {
        m_error = QString::fromUtf8(e.what());
        return false;
    }
    return true;
}

} // namespace tarnwick::test

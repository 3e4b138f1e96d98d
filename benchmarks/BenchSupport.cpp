#include "BenchSupport.h"

#include "DemoDatabase.h"
#include "platform/RegFileRegistry.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#if defined(Q_OS_UNIX)
#include <sys/resource.h>
#endif

namespace tarnwick::bench {

QTextStream& out()
{
    static QTextStream stream(stdout);
    return stream;
}

long peakRssKiB()
{
#if defined(Q_OS_UNIX)
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss; // KiB on Linux
#else
    return -1;
#endif
}

qint64 cpuMilliseconds()
{
#if defined(Q_OS_UNIX)
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (qint64(usage.ru_utime.tv_sec) + usage.ru_stime.tv_sec) * 1000 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
#else
    return -1;
#endif
}

QStringList measureInChild(const QStringList& args, const QString& odbcMap)
{
    QProcess child;
    if (!odbcMap.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ODBCSYSINI"), odbcMap);
        child.setProcessEnvironment(env);
    }
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), args);
    child.waitForFinished(-1);
    const QStringList lines = QString::fromLocal8Bit(child.readAllStandardOutput()).split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        if (line.startsWith(QLatin1String("RESULT ")))
            return line.mid(7).trimmed().split(QLatin1Char(' '));
    }
    return {};
}

int roundsOption(const QStringList& args, int fallback)
{
    const qsizetype at = args.indexOf(QStringLiteral("--rounds"));
    return at >= 0 && at + 1 < args.size() ? qMax(1, args[at + 1].toInt()) : fallback;
}

QString postgresOdbcMap()
{
    return QStringLiteral(TARNWICK_ODBC_PG_DIR);
}

int postgresServerPort()
{
    const int port = qEnvironmentVariableIntValue("TARNWICK_PG_PORT");
    return port > 0 ? port : 54329;
}

namespace {

QString psqlProgram()
{
    const QStringList found = QDir(QStringLiteral("/usr/lib/postgresql"))
                                  .entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::Reversed);
    for (const QString& version : found) {
        const QString psql = QStringLiteral("/usr/lib/postgresql/") + version + QStringLiteral("/bin/psql");
        if (QFileInfo::exists(psql))
            return psql;
    }
    return QStringLiteral("psql");
}

QStringList psqlArguments(const QString& database, int port)
{
    return {QStringLiteral("-X"), QStringLiteral("-q"),
            QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"),
            QStringLiteral("-h"), QStringLiteral("127.0.0.1"),
            QStringLiteral("-p"), QString::number(port),
            QStringLiteral("-U"), QStringLiteral("tarnwick_owner"),
            QStringLiteral("-d"), database};
}

void runChecked(QProcess& process, const QString& what)
{
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        throw std::runtime_error(
            qPrintable(what + QStringLiteral(": ") + QString::fromLocal8Bit(process.readAllStandardError())));
}

void psql(const QString& database, int port, const QStringList& more)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PGPASSWORD"),
               qEnvironmentVariable("TARNWICK_PG_OWNER_PASSWORD", QStringLiteral("tarnwick-owner")));
    process.setProcessEnvironment(env);
    process.start(psqlProgram(), psqlArguments(database, port) + more);
    runChecked(process, QStringLiteral("psql ") + more.join(QLatin1Char(' ')));
}

} // namespace

void copyIntoPostgres(const QString& sqlitePath, const QString& name, int serverPort)
{
    const QString postgres = QStringLiteral("postgres");
    psql(postgres, serverPort, {QStringLiteral("-c"), QStringLiteral("DROP DATABASE IF EXISTS ") + name});
    psql(postgres, serverPort, {QStringLiteral("-c"), QStringLiteral("CREATE DATABASE ") + name});
    psql(name, serverPort, {QStringLiteral("-f"), QStringLiteral(TARNWICK_SOURCE_DIR "/demo/schema.sql")});
    // sqlite3 writes a null as nothing and an empty text as "", which is what COPY reads back.
    for (const char* table :
         {"Cos", "Subscriber", "DtmfAccess", "DistributionList", "PersonalDList", "PersonalDListMember"}) {
        QProcess reader;
        QProcess writer;
        reader.setStandardOutputProcess(&writer);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PGPASSWORD"),
                   qEnvironmentVariable("TARNWICK_PG_OWNER_PASSWORD", QStringLiteral("tarnwick-owner")));
        writer.setProcessEnvironment(env);
        writer.start(psqlProgram(),
                     psqlArguments(name, serverPort)
                         << QStringLiteral("-c")
                         << QStringLiteral("\\copy %1 FROM STDIN WITH (FORMAT csv)").arg(QString::fromLatin1(table)));
        reader.start(QStringLiteral("sqlite3"), {QStringLiteral("-csv"), sqlitePath,
                                                 QStringLiteral("SELECT * FROM %1").arg(QString::fromLatin1(table))});
        runChecked(reader, QStringLiteral("sqlite3"));
        runChecked(writer, QStringLiteral("psql \\copy ") + QString::fromLatin1(table));
    }
    psql(name, serverPort,
         {QStringLiteral("-c"), QStringLiteral("GRANT SELECT ON ALL TABLES IN SCHEMA public TO tarnwick_reader")});
    psql(name, serverPort, {QStringLiteral("-c"), QStringLiteral("ANALYZE")});
}

QString postgresConnectionString(const QString& name, int port)
{
    return QStringLiteral("Driver={SQL Server};server=127.0.0.1;port=%1;database=%2;uid=tarnwick_reader;pwd=%3")
        .arg(port)
        .arg(name, qEnvironmentVariable("TARNWICK_PG_READER_PASSWORD", QStringLiteral("tarnwick-reader")));
}

void useBuildOdbcMap()
{
    if (qEnvironmentVariableIsEmpty("ODBCSYSINI"))
        qputenv("ODBCSYSINI", TARNWICK_ODBC_SQLITE_DIR);
}

LargeDatabase::LargeDatabase(const QStringList& args)
{
    folder = m_temp.path();
    demo::GeneratorOptions options = demo::largeOptions();
    for (qsizetype i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--database"))
            path = QFileInfo(args[i + 1]).absoluteFilePath();
        else if (args[i] == QLatin1String("--keep"))
            folder = QFileInfo(args[i + 1]).absoluteFilePath();
        else if (args[i] == QLatin1String("--subscribers"))
            options.subscribers = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--id-length"))
            options.subscriberIdLength = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--members-per-list"))
            options.membersPerList = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--big-list"))
            options.bigListMembers = args[i + 1].toInt();
    }
    QDir().mkpath(folder);
    if (!path.isEmpty())
        return;
    path = QDir(folder).filePath(QStringLiteral("OrvaneDb"));
    QElapsedTimer timer;
    timer.start();
    auto db = demo::DemoDatabase::createSqlite(path);
    const demo::GeneratorSummary s = demo::generateOrganisation(*db, options);
    out() << "large database: " << s.subscribers << " subscribers, " << s.privateLists << " private lists, "
          << s.memberships << " memberships, " << s.publicLists << " public lists, built in " << timer.elapsed()
          << " ms\n";
    out().flush();
}

QString LargeDatabase::connectionString() const
{
    return demo::DemoDatabase::sqliteConnectionString(QDir::toNativeSeparators(path));
}

void BenchUserInterface::showMessage(const QString& text, const QString&)
{
    std::fprintf(stderr, "message: %s\n", qPrintable(text));
    ++messages;
}

void BenchUserInterface::yield()
{
    if (m_pump)
        m_events.pump();
}

void BenchUserInterface::exitProcess(int status)
{
    std::fflush(nullptr);
    std::_Exit(status);
}

BenchApp::BenchApp(const LargeDatabase& db, bool pumpEvents)
    : ui(pumpEvents), registry(RegFileRegistry::fromBytes(QByteArray(), QStringLiteral("empty.reg"))),
      app(std::make_unique<AppContext>(ui, shell, *registry, ProgramInfo::inFolder(db.folder), clock))
{
    app->strConnectionString = db.connectionString();
}

} // namespace tarnwick::bench

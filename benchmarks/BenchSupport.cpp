#include "BenchSupport.h"

#include "DemoDatabase.h"
#include "platform/RegFileRegistry.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <cstdio>
#include <cstdlib>

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
    return usage.ru_maxrss;  // KiB on Linux
#else
    return -1;
#endif
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
        QCoreApplication::processEvents();
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

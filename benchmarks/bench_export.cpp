// The export on a product database the size of a large site, read one row per
// query (the walks as written) and in sets, measured in one run:
//   bench_export [--database FILE | --subscribers N] [--keep FOLDER]
//                [--postgres [--delay-ms MS]] [--paths per-row,sets] [--rounds N]
//                [--id-length N] [--members-per-list N] [--big-list N]
// Builds the large database (10,000 owners, about 450,000 memberships) in a
// temporary folder unless one is given. Each path runs in a process of its
// own (so its peak memory is its own): "All Subscribers" fills the grid, then
// the whole export core (log, CSV, walk) runs on it. With --postgres the
// database is copied into the project's PostgreSQL test server (start it with
// scripts/postgres-test-server.sh; TARNWICK_PG_PORT names its port) and read
// through psqlODBC and a proxy on 127.0.0.1 that adds MS milliseconds to
// every round trip. Prints queries, wall time, CPU time and peak memory per
// path, the ratios, whether both files are the same bytes, and on SQLite the
// sqlite3 tool's time for one joining statement over the same database.
// On SQLite the database is in WAL mode, so the export reads it in one
// transaction on one connection; a path named with "-rollback" (per-row-rollback,
// sets-rollback) reads a copy with a rollback journal, as every export read
// before (no transaction),
// and the ratio of each path to it is printed:
//   bench_export --paths sets,sets-rollback,per-row,per-row-rollback
// Rounds (3 on SQLite, 1 on PostgreSQL unless given) run the paths and the
// floor in turn; each ratio is taken within a round and the median printed,
// so that a machine whose speed drifts does not move it.
// The hostile shapes, for peak memory: one list of a million members
//   bench_export --big-list 1000000 --keep /tmp/biglist --rounds 1
// and a thousand owners with 70,000-character ids (about 600 MB)
//   bench_export --subscribers 1000 --id-length 70000 --members-per-list 1 --keep /tmp/longids --rounds 1
#include "BenchSupport.h"
#include "DelayProxy.h"
#include "DemoDatabase.h"

#include "base/Recordset.h"
#include "export/ExportRun.h"
#include "program/AppContext.h"
#include "select/SelectionGrid.h"
#include "select/SelectionProgress.h"
#include "select/SubscriberSelection.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTextStream>

#include <algorithm>
#include <cstdio>

#include <exception>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <sys/resource.h>
#include <vector>

namespace {

using namespace tarnwick::bench;

// CR LF pairs, also one split across two reads.
qint64 countLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    qint64 lines = 0;
    char previous = 0;
    while (!file.atEnd()) {
        const QByteArray chunk = file.read(1 << 20);
        for (const char c : chunk) {
            if (c == '\n' && previous == '\r')
                ++lines;
            previous = c;
        }
    }
    return lines;
}

// One path in this process: the grid filled by "All Subscribers", then the export.
int measure(const QString& path, const QString& connection, const QString& folder)
{
    const LargeDatabase db({QStringLiteral("--database"), QStringLiteral("unused"), QStringLiteral("--keep"), folder});
    BenchApp bench(db);
    tarnwick::AppContext& app = *bench.app;
    app.strConnectionString = connection;
    app.perRowQueries = path.startsWith(QLatin1String("per-row"));

    tarnwick::SelectionGrid grid;
    tarnwick::ProgressLabels labels;
    tarnwick::SubscriberSelection selection(app, grid, labels);
    QElapsedTimer timer;
    timer.start();
    const int owners = selection.fillGrid({});
    const qint64 fillMs = timer.elapsed();
    const qint64 fillQueries = tarnwick::databaseQueryCount();

    const QString csv = QDir(folder).filePath(QStringLiteral("export-%1.csv").arg(path));
    NoProgress progress;
    timer.restart();
    {
        // Ended before the connections are closed: its reading threads close their own.
        tarnwick::ExportRun run(app, grid, progress);
        run.run(csv);
    }
    const qint64 exportMs = timer.elapsed();
    const qint64 exportQueries = tarnwick::databaseQueryCount() - fillQueries;
    tarnwick::closeDatabaseConnections();
    out() << "RESULT " << owners << ' ' << fillQueries << ' ' << fillMs << ' ' << exportQueries << ' ' << exportMs
          << ' ' << cpuMilliseconds() << ' ' << peakRssKiB() << ' ' << countLines(csv) - 1 << ' '
          << app.log.intErrorCount() << ' ' << csv << '\n';
    out().flush();
    return 0;
}

struct Result
{
    qint64 owners = 0, fillQueries = 0, fillMs = 0, exportQueries = 0, exportMs = 0, cpuMs = 0, peakKiB = 0, rows = 0,
           errors = 0;
    QString csv;
};

std::optional<Result> runPath(const QString& path, const QString& connection, const QString& odbcMap,
                              const QString& folder)
{
    const QStringList f = measureInChild({QStringLiteral("--measure"), path, connection, folder}, odbcMap);
    if (f.size() >= 10) {
        const auto n = [&f](int i) { return f[i].toLongLong(); };
        return Result{n(0), n(1), n(2), n(3), n(4),
                      n(5), n(6), n(7), n(8), QStringList(f.mid(9)).join(QLatin1Char(' '))};
    }
    std::fprintf(stderr, "bench_export: the %s path gave no result\n", qPrintable(path));
    return std::nullopt;
}

QByteArray fileHash(const QString& path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    return file.open(QIODevice::ReadOnly) && hash.addData(&file) ? hash.result() : QByteArray();
}

// The floor: every owner's lists, members and extensions in one statement of
// the sqlite3 tool, written as CSV.
struct Floor
{
    qint64 ms = 0, cpuMs = 0, rows = 0;
};

// CPU time of the waited-for children, in milliseconds.
qint64 childrenCpuMilliseconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return (qint64(usage.ru_utime.tv_sec) + usage.ru_stime.tv_sec) * 1000 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
}

Floor sqliteFloor(const QString& database, const QString& folder)
{
    const QString output = QDir(folder).filePath(QStringLiteral("sqlite3-floor.csv"));
    const QString sql =
        QStringLiteral(
            ".mode csv\n.output %1\n"
            "SELECT s.Alias, s.DisplayName, s.DTMFAccessID, l.DisplayName, l.DTMFAccessID, "
            "CASE m.ObjectType WHEN 1 THEN 'SUBSCRIBER' ELSE 'PUBLIC LIST' END, m.Alias, m.DisplayName, "
            "CASE m.ObjectType WHEN 1 THEN (SELECT CASE WHEN COUNT(*) = 1 THEN trim(MAX(x.DTMFAccessID)) END "
            "FROM vw_Subscriber x WHERE x.SubscriberObjectID = m.ObjectID) "
            "ELSE (SELECT CASE WHEN COUNT(*) = 1 THEN MAX(d.DTMFAccessID) END FROM vw_DistributionList d "
            "WHERE d.SystemDListObjectID = m.ObjectID) END "
            "FROM vw_Subscriber s INNER JOIN vw_PersonalDList l ON l.ParentObjectID = s.SubscriberObjectID "
            "INNER JOIN vw_PersonalDListMember m ON m.ParentObjectID = l.PersonalDListOBjectID "
            "WHERE s.SubscriberType IN (1,3) AND m.ObjectType IN (1,2);\n")
            .arg(output);
    QProcess sqlite;
    const qint64 cpuBefore = childrenCpuMilliseconds();
    QElapsedTimer timer;
    timer.start();
    sqlite.start(QStringLiteral("sqlite3"), {database});
    sqlite.write(sql.toUtf8());
    sqlite.closeWriteChannel();
    sqlite.waitForFinished(-1);
    const qint64 ms = timer.elapsed();
    const qint64 cpuMs = childrenCpuMilliseconds() - cpuBefore;
    QFile file(output);
    qint64 rows = 0;
    if (file.open(QIODevice::ReadOnly)) {
        while (!file.atEnd()) {
            const QByteArray chunk = file.read(1 << 20);
            rows += chunk.count('\n');
        }
    }
    return {ms, cpuMs, rows};
}

} // namespace

int main(int argc, char** argv)
{
    useBuildOdbcMap();
    QCoreApplication application(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();

    try {
        if (args.size() == 4 && args[0] == QLatin1String("--measure"))
            return measure(args[1], args[2], args[3]);

        const bool postgres = args.contains(QStringLiteral("--postgres"));
        double delayMs = 0;
        QStringList paths{QStringLiteral("per-row"), QStringLiteral("sets")};
        const int rounds = roundsOption(args, postgres ? 1 : 3);
        for (qsizetype i = 0; i + 1 < args.size(); ++i) {
            if (args[i] == QLatin1String("--delay-ms"))
                delayMs = args[i + 1].toDouble();
            else if (args[i] == QLatin1String("--paths"))
                paths = args[i + 1].split(QLatin1Char(','));
        }

        const LargeDatabase database(args);
        QString connection = database.connectionString();
        QString odbcMap = qEnvironmentVariable("ODBCSYSINI");
        std::optional<DelayProxy> proxy;
        if (postgres) {
            QElapsedTimer timer;
            timer.start();
            const QString name = QStringLiteral("tarnwick_bench");
            copyIntoPostgres(database.path, name, postgresServerPort());
            proxy.emplace(postgresServerPort(), std::chrono::microseconds(qint64(delayMs * 1000)));
            connection = postgresConnectionString(name, proxy->port());
            odbcMap = postgresOdbcMap();
            out() << "copied into PostgreSQL on port " << postgresServerPort() << " in " << timer.elapsed()
                  << " ms; read through a proxy adding " << delayMs << " ms per round trip\n";
        }
        out() << "database: " << (postgres ? QStringLiteral("PostgreSQL (psqlODBC)") : QStringLiteral("SQLite")) << ", "
              << database.path << "\n";
        out().flush();

        // Each round runs every path and the floor; a path that gave no
        // result leaves its round out of that path's figures.
        struct Round
        {
            std::map<QString, Result> results;
            Floor floor;
        };
        std::vector<Round> done(static_cast<size_t>(rounds));
        const QString rollback = QStringLiteral("-rollback");
        QString rollbackConnection;
        if (!postgres) {
            const auto sqlite3 = [](const QStringList& arguments) {
                QProcess tool;
                tool.setStandardOutputFile(QProcess::nullDevice());
                tool.start(QStringLiteral("sqlite3"), arguments);
                if (!tool.waitForFinished(-1) || tool.exitCode() != 0)
                    throw std::runtime_error("sqlite3 failed");
            };
            sqlite3({database.path, QStringLiteral("PRAGMA journal_mode=WAL")});
            if (!paths.filter(rollback).isEmpty()) {
                const QString copy = QDir(database.folder).filePath(QStringLiteral("rollback-journal.db"));
                QFile::remove(copy);
                sqlite3({database.path, QStringLiteral(".backup '") + copy + QLatin1Char('\'')});
                sqlite3({copy, QStringLiteral("PRAGMA journal_mode=DELETE")});
                rollbackConnection = tarnwick::demo::DemoDatabase::sqliteConnectionString(copy);
            }
        }
        for (Round& round : done) {
            for (const QString& path : std::as_const(paths)) {
                const QString& reading = path.endsWith(rollback) ? rollbackConnection : connection;
                if (const std::optional<Result> r = runPath(path, reading, odbcMap, database.folder))
                    round.results[path] = *r;
            }
            if (!postgres)
                round.floor = sqliteFloor(database.path, database.folder);
        }
        // The median over the rounds of a figure, or of the ratio of two.
        const auto medianOf = [&](const std::function<std::optional<double>(const Round&)>& figure) {
            std::vector<double> values;
            for (const Round& round : done) {
                if (const std::optional<double> value = figure(round))
                    values.push_back(*value);
            }
            return median(values);
        };
        const auto field = [](const Round& round, const QString& path, qint64 Result::*member) {
            const auto found = round.results.find(path);
            return found == round.results.end() ? std::nullopt : std::optional<double>(double(found->second.*member));
        };
        const auto ratioOf = [&](const std::function<std::optional<double>(const Round&)>& numerator,
                                 const std::function<std::optional<double>(const Round&)>& denominator) {
            return medianOf([&](const Round& round) -> std::optional<double> {
                const std::optional<double> a = numerator(round), b = denominator(round);
                return a && b && *b > 0 ? std::optional<double>(*a / *b) : std::nullopt;
            });
        };
        const auto first = [&](const QString& path) -> const Result* {
            for (const Round& round : done) {
                if (const auto found = round.results.find(path); found != round.results.end())
                    return &found->second;
            }
            return nullptr;
        };

        out() << "\n" << rounds << (rounds == 1 ? " round" : " rounds, medians")
              << "\n| path | owners | CSV rows | errors | fill queries | fill ms | export queries | export ms | "
                 "CPU ms | peak MiB |\n|---|---|---|---|---|---|---|---|---|---|\n";
        for (const QString& path : std::as_const(paths)) {
            const Result* r = first(path);
            if (!r)
                continue;
            const auto of = [&](qint64 Result::*member) {
                return qint64(medianOf([&](const Round& round) { return field(round, path, member); }));
            };
            out() << "| " << path << " | " << r->owners << " | " << r->rows << " | " << r->errors << " | "
                  << r->fillQueries << " | " << of(&Result::fillMs) << " | " << r->exportQueries << " | "
                  << of(&Result::exportMs) << " | " << of(&Result::cpuMs) << " | " << of(&Result::peakKiB) / 1024
                  << " |\n";
        }
        const QString perRow = QStringLiteral("per-row"), sets = QStringLiteral("sets");
        // per-row over sets, within each round.
        const auto faster = [&](qint64 Result::*member) {
            return QString::number(ratioOf([&](const Round& round) { return field(round, perRow, member); },
                                           [&](const Round& round) { return field(round, sets, member); }),
                                   'f', 1) +
                   QLatin1Char('x');
        };
        const Result* a = first(perRow);
        const Result* b = first(sets);
        if (a && b) {
            bool same = true;
            for (const Round& round : done) {
                const auto x = round.results.find(perRow), y = round.results.find(sets);
                same = same && x != round.results.end() && y != round.results.end() &&
                       fileHash(x->second.csv) == fileHash(y->second.csv);
            }
            out() << "\nsets vs per-row: export " << faster(&Result::exportMs) << " faster (CPU of the whole process "
                  << faster(&Result::cpuMs) << "), grid fill " << faster(&Result::fillMs) << " faster, queries "
                  << a->fillQueries + a->exportQueries << " -> " << b->fillQueries + b->exportQueries
                  << "; the two CSV files are " << (same ? "the same bytes" : "DIFFERENT") << "\n";
        }
        for (const QString& path : std::as_const(paths)) {
            if (path.endsWith(rollback) || !paths.contains(path + rollback))
                continue;
            const auto against = [&](qint64 Result::*member) {
                return QString::number(
                           ratioOf([&](const Round& round) { return field(round, path, member); },
                                   [&](const Round& round) { return field(round, path + rollback, member); }),
                           'f', 2) +
                       QLatin1Char('x');
            };
            out() << path << ", one read transaction on one connection vs reads as before (rollback journal): export "
                  << against(&Result::exportMs) << " the time, CPU " << against(&Result::cpuMs) << ", peak memory "
                  << against(&Result::peakKiB) << "\n";
        }
        if (!postgres) {
            const auto floorOf = [](qint64 Floor::*member) {
                return [member](const Round& round) { return std::optional<double>(double(round.floor.*member)); };
            };
            out() << "sqlite3, one joining statement to CSV: " << done.front().floor.rows << " rows in "
                  << qint64(medianOf(floorOf(&Floor::ms))) << " ms, CPU " << qint64(medianOf(floorOf(&Floor::cpuMs)))
                  << " ms";
            if (b) {
                const auto toFloor = [&](qint64 Result::*member, qint64 Floor::*floorMember) {
                    return QString::number(
                        ratioOf([&](const Round& round) { return field(round, sets, member); }, floorOf(floorMember)),
                        'f', 2);
                };
                out() << "; sets take " << toFloor(&Result::exportMs, &Floor::ms) << "x its wall time, "
                      << toFloor(&Result::cpuMs, &Floor::cpuMs) << "x its CPU time";
            }
            out() << "\n";
        }
        out().flush();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_export: %s\n", e.what());
        return 1;
    }
    return 0;
}

// What changed since an earlier export, on the large database, against the
// export itself, measured in one run:
//   bench_compare [--database FILE | --subscribers N] [--keep FOLDER] [--rounds N]
// Builds the large database unless one is given, and beside it a copy changed
// by demo/history.sql (lists added, removed and renamed, members added and
// removed, extensions changed). Each measurement runs in a process of its
// own, so that its peak memory is its own:
//   export          "All Subscribers" and the export of the first database
//   compare         the earlier file read, the later one compared with it, the report written
//   export+compare  the export of the changed copy with the first file as the earlier one
// Rounds (3 unless given) run the three in turn; each ratio is taken within a
// round and the median printed.
#include "BenchSupport.h"

#include "DemoDatabase.h"
#include "base/Recordset.h"
#include "export/ExportComparison.h"
#include "export/ExportRun.h"
#include "select/SelectionGrid.h"
#include "select/SelectionProgress.h"
#include "select/SubscriberSelection.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <cstdio>
#include <exception>
#include <functional>
#include <optional>
#include <stdexcept>
#include <vector>

namespace {

using namespace tarnwick::bench;

// In this process: the export of the database at `connection` to `csv`, compared with `previous` when given.
int measureExport(const QString& folder, const QString& connection, const QString& csv, const QString& previous)
{
    const LargeDatabase db({QStringLiteral("--database"), QStringLiteral("unused"), QStringLiteral("--keep"), folder});
    BenchApp bench(db);
    tarnwick::AppContext& app = *bench.app;
    app.strConnectionString = connection;
    tarnwick::SelectionGrid grid;
    tarnwick::ProgressLabels labels;
    tarnwick::SubscriberSelection selection(app, grid, labels);
    selection.fillGrid({});
    NoProgress progress;
    QElapsedTimer timer;
    timer.start();
    qint64 rows = 0, changes = -1;
    {
        tarnwick::ExportRun run(app, grid, progress);
        run.setPreviousExport(previous);
        run.run(csv);
        rows = run.walk().counts().rows;
        if (run.changes())
            changes = run.changes()->total();
    }
    const qint64 ms = timer.elapsed();
    tarnwick::closeDatabaseConnections();
    out() << "RESULT " << ms << ' ' << cpuMilliseconds() << ' ' << peakRssKiB() << ' ' << rows << ' ' << changes
          << '\n';
    out().flush();
    return 0;
}

// In this process: the comparison alone, as the export runs it.
int measureCompare(const QString& previous, const QString& current, const QString& report)
{
    QElapsedTimer timer;
    timer.start();
    tarnwick::ExportComparison comparison;
    const QString wrong = comparison.readPrevious(previous);
    if (!wrong.isEmpty())
        throw std::runtime_error(qPrintable(wrong));
    const tarnwick::ExportComparison::Counts counts =
        comparison.compare(current, tarnwick::TextFileWriter::Encoding::CodePage, report);
    const qint64 ms = timer.elapsed();
    out() << "RESULT " << ms << ' ' << cpuMilliseconds() << ' ' << peakRssKiB() << ' ' << -1 << ' ' << counts.total()
          << '\n';
    out().flush();
    return 0;
}

struct Result
{
    qint64 ms = 0, cpuMs = 0, peakKiB = 0, rows = 0, changes = 0;
};

Result measured(const QStringList& args)
{
    const QStringList f = measureInChild(args);
    if (f.size() < 5)
        throw std::runtime_error(qPrintable(QStringLiteral("no result from ") + args.join(QLatin1Char(' '))));
    return {f[0].toLongLong(), f[1].toLongLong(), f[2].toLongLong(), f[3].toLongLong(), f[4].toLongLong()};
}

} // namespace

int main(int argc, char** argv)
{
    useBuildOdbcMap();
    QCoreApplication application(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    try {
        if (args.size() == 5 && args[0] == QLatin1String("--export"))
            return measureExport(args[1], args[2], args[3], args[4]);
        if (args.size() == 4 && args[0] == QLatin1String("--compare"))
            return measureCompare(args[1], args[2], args[3]);

        const int rounds = roundsOption(args, 3);
        const LargeDatabase database(args);
        const QDir folder(database.folder);
        // The changed copy: the history's statements through the sqlite3 tool.
        const QString later = folder.filePath(QStringLiteral("OrvaneDb-later"));
        QFile::remove(later);
        if (!QFile::copy(database.path, later))
            throw std::runtime_error("cannot copy the database");
        QProcess sqlite;
        sqlite.start(QStringLiteral("sqlite3"),
                     {later, QStringLiteral(".read " TARNWICK_SOURCE_DIR "/demo/history.sql")});
        if (!sqlite.waitForFinished(-1) || sqlite.exitCode() != 0)
            throw std::runtime_error(sqlite.readAllStandardError().constData());
        const QString laterConnection = tarnwick::demo::DemoDatabase::sqliteConnectionString(later);
        const QString first = folder.filePath(QStringLiteral("first.csv"));
        const QString second = folder.filePath(QStringLiteral("second.csv"));

        std::vector<Result> exports, compares, both;
        for (int round = 0; round < rounds; ++round) {
            exports.push_back(
                measured({QStringLiteral("--export"), database.folder, database.connectionString(), first, QString()}));
            // The later export alone gives the file the comparison reads.
            measured({QStringLiteral("--export"), database.folder, laterConnection, second, QString()});
            compares.push_back(measured(
                {QStringLiteral("--compare"), first, second, folder.filePath(QStringLiteral("second.changes.csv"))}));
            both.push_back(measured({QStringLiteral("--export"), database.folder, laterConnection,
                                     folder.filePath(QStringLiteral("both.csv")), first}));
        }
        const auto med = [](const std::vector<Result>& results, qint64 Result::*member) {
            std::vector<qint64> values;
            for (const Result& r : results)
                values.push_back(r.*member);
            return median(values);
        };
        const auto ratio = [&](const std::vector<Result>& a, qint64 Result::*member) {
            std::vector<double> values;
            for (size_t i = 0; i < a.size(); ++i)
                values.push_back(exports[i].*member > 0 ? double(a[i].*member) / double(exports[i].*member) : 0);
            return QString::number(median(values), 'f', 2);
        };
        out() << "\n"
              << rounds << (rounds == 1 ? " round" : " rounds, medians") << "; the earlier export has "
              << exports.front().rows << " rows, the later " << both.front().rows << ", " << compares.front().changes
              << " changes between them\n"
              << "| run | wall ms | CPU ms | peak MiB | wall / export's | peak / export's |\n"
              << "|---|---|---|---|---|---|\n";
        const std::pair<const char*, const std::vector<Result>*> runs[] = {
            {"export", &exports}, {"compare", &compares}, {"export+compare", &both}};
        for (const auto& [name, results] : runs)
            out() << "| " << name << " | " << med(*results, &Result::ms) << " | " << med(*results, &Result::cpuMs)
                  << " | " << med(*results, &Result::peakKiB) / 1024 << " | " << ratio(*results, &Result::ms) << " | "
                  << ratio(*results, &Result::peakKiB) << " |\n";
        out().flush();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_compare: %s\n", e.what());
        return 1;
    }
    return 0;
}

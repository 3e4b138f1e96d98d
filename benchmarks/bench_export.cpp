// The export on a product database the size of a large site:
//   bench_export [--database FILE | --subscribers N] [--keep FOLDER]
// Builds the large database (10,000 owners, about 450,000 memberships) in a
// temporary folder unless one is given, fills the grid with "All Subscribers"
// and runs the whole export core (log, CSV, walk) on it, then sends the same
// queries again without writing anything, to show what the database's share
// of the time is. Prints wall times, rows per second, queries and peak memory.
#include "BenchSupport.h"

#include "app/AppContext.h"
#include "app/Recordset.h"
#include "app/SqlText.h"
#include "export/ExportRun.h"
#include "select/SelectionGrid.h"
#include "select/SelectionProgress.h"
#include "select/SubscriberSelection.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>

#include <cstdio>
#include <exception>

namespace {

using namespace tarnwick::bench;

struct NoProgress : tarnwick::ExportProgress
{
    void setRange(int, int) override {}
    void setValue(int) override {}
    void setCaption(const QString&) override {}
};

qint64 countLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    qint64 lines = 0;
    while (!file.atEnd()) {
        const QByteArray chunk = file.read(1 << 20);
        lines += chunk.count("\r\n");
    }
    return lines;
}

// The walk's queries, in the walk's order, with nothing written: one list
// query per owner, one member query per list, one extension query per member.
qint64 replayQueries(const tarnwick::SelectionGrid& grid, const QString& connection)
{
    using tarnwick::Recordset;
    qint64 queries = 0;
    const int objectId = grid.ColIndex(QStringLiteral("ObjectID"));
    for (int row = 1; row < grid.Rows(); ++row) {
        Recordset lists;
        lists.open(QStringLiteral("SELECT * FROM vw_PersonalDList WHERE ParentObjectID=") +
                       tarnwick::sqlQuoted(grid.TextMatrix(row, objectId)),
                   connection);
        ++queries;
        for (lists.moveFirst(); !lists.atEnd(); lists.moveNext()) {
            Recordset members;
            members.open(
                QStringLiteral("SELECT * FROM vw_PersonalDListMember WHERE ParentObjectID=") +
                    tarnwick::sqlQuoted(lists.text(QStringLiteral("PersonalDListOBjectID"))),
                connection);
            ++queries;
            for (members.moveFirst(); !members.atEnd(); members.moveNext()) {
                const bool subscriber = members.value(QStringLiteral("ObjectType")).toInt() == 1;
                Recordset ext;
                ext.open(
                    (subscriber
                         ? QStringLiteral(
                               "SELECT DTMFAccessID FROM vw_Subscriber WHERE SubscriberObjectID=")
                         : QStringLiteral("SELECT DTMFAccessID FROM vw_DistributionList WHERE "
                                          "SystemDListObjectID=")) +
                        tarnwick::sqlQuoted(members.value(QStringLiteral("ObjectID")).toString()),
                    connection);
                ++queries;
            }
        }
    }
    return queries;
}

} // namespace

int main(int argc, char** argv)
{
    useBuildOdbcMap();
    QCoreApplication application(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();

    try {
        const LargeDatabase database(args);
        BenchApp bench(database);
        tarnwick::AppContext& app = *bench.app;
        const QString folder = database.folder;

        tarnwick::SelectionGrid grid;
        tarnwick::ProgressLabels labels;
        tarnwick::SubscriberSelection selection(app, grid, labels);
        QElapsedTimer timer;
        timer.start();
        tarnwick::SelectionRequest all;
        const int owners = selection.fillGrid(all);
        out() << "grid: " << owners << " owners in " << timer.elapsed() << " ms\n";
        out().flush();

        const QString csv = QDir(folder).filePath(QStringLiteral("private lists.csv"));
        NoProgress progress;
        tarnwick::ExportRun run(app, grid, progress);
        const qint64 queriesBefore = tarnwick::databaseQueryCount();
        timer.restart();
        run.run(csv);
        const qint64 exportMs = timer.elapsed();
        const qint64 queries = tarnwick::databaseQueryCount() - queriesBefore;
        const qint64 rows = countLines(csv) - 1;
        out() << "export: " << rows << " CSV rows in " << exportMs << " ms, "
              << (exportMs > 0 ? rows * 1000 / exportMs : 0) << " rows/s, " << queries
              << " queries, " << app.log.intErrorCount() << " errors, " << app.log.intWarningCount()
              << " warnings, peak memory " << peakRssKiB() / 1024 << " MiB\n";
        out().flush();

        timer.restart();
        const qint64 replayed = replayQueries(grid, app.strConnectionString);
        const qint64 replayMs = timer.elapsed();
        out() << "the same " << replayed << " queries alone: " << replayMs << " ms ("
              << (exportMs > 0 ? replayMs * 100 / exportMs : 0) << "% of the export), "
              << (replayed > 0 ? replayMs * 1000000 / replayed / 1000.0 : 0.0) << " us per query\n";
        out().flush();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_export: %s\n", e.what());
        return 1;
    }
    return 0;
}

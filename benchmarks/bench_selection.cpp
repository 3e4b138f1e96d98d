// The selection page on a product database the size of a large site:
//   bench_selection [--database FILE | --subscribers N] [--keep FOLDER] [--rounds N]
// Builds the large database (10,000 subscribers, or N) in a temporary folder
// unless one is given, writes a CSV file of 10,000 lines naming its
// subscribers (from the first again when there are fewer), then measures in a
// fresh process each (so each peak memory is its own), reading one row per
// query (the procedures as written) and in sets:
//   all  "All Subscribers" filling the grid through the real page,
//   csv  "Subscribers referenced in this CSV file:" importing that file.
// Prints rows, wall and CPU time, queries and peak memory, and the ratios:
// the paths run in turn for 3 rounds (or N), and each ratio printed is the
// median of the rounds' own.
// Runs offscreen; messages the page shows go to stderr.
#include "BenchSupport.h"
#include "DemoDatabase.h"

#include "app/Wizard.h"
#include "base/Recordset.h"
#include "program/AppContext.h"
#include "select/frmChooseSubscribers.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <vector>

namespace {

using namespace tarnwick::bench;

// One measurement in this process: the page is loaded (its class-of-service
// lists read), then the timed Add Subscribers click.
int measure(const QString& what, const QString& path, const QString& database, const QString& csv)
{
    const LargeDatabase db({QStringLiteral("--database"), database});
    BenchApp bench(db, true);
    tarnwick::AppContext& app = *bench.app;
    app.perRowQueries = path == QLatin1String("per-row");

    tarnwick::Wizard wizard(app);
    tarnwick::frmChooseSubscribers& page = wizard.selectionPage();
    page.show();
    auto* modes = page.findChild<QComboBox*>(QStringLiteral("cmbSubscriberSelectType"));
    if (what == QLatin1String("csv")) {
        modes->setCurrentIndex(modes->findData(6));
        page.setFileChooser([csv](QWidget*, const QString&, const QString&) { return csv; });
        page.findChild<QPushButton*>(QStringLiteral("cmdBrowseForCSV"))->click();
    }
    QCoreApplication::processEvents();

    const qint64 queriesBefore = tarnwick::databaseQueryCount();
    const qint64 cpuBefore = cpuMilliseconds();
    QElapsedTimer timer;
    timer.start();
    page.findChild<QPushButton*>(QStringLiteral("cmdView"))->click();
    QCoreApplication::processEvents(); // the one repaint after the load
    const qint64 ms = timer.elapsed();

    out() << "RESULT " << page.findChild<QLineEdit*>(QStringLiteral("txtUsersInGrid"))->text() << ' ' << ms << ' '
          << cpuMilliseconds() - cpuBefore << ' ' << (tarnwick::databaseQueryCount() - queriesBefore) << ' '
          << peakRssKiB() / 1024 << ' ' << bench.ui.messages << '\n';
    out().flush();
    return 0;
}

// The CSV file: the database's subscribers by alias and extension, 10,000 lines.
int writeCsv(const QString& database, const QString& path)
{
    constexpr int kLines = 10000;
    tarnwick::Recordset rs;
    rs.open(QStringLiteral("SELECT Alias, DTMFAccessID FROM vw_Subscriber WHERE SubscriberType IN (1,3)"),
            tarnwick::demo::DemoDatabase::sqliteConnectionString(QDir::toNativeSeparators(database)));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return 0;
    file.write("alias,Extension\r\n");
    if (rs.recordCount() < 1)
        return 0;
    int lines = 0;
    rs.moveFirst();
    while (lines < kLines) {
        if (rs.atEnd())
            rs.moveFirst();
        file.write(tarnwick::GetFieldString(rs, QStringLiteral("Alias")).toLocal8Bit() + ',' +
                   tarnwick::GetFieldString(rs, QStringLiteral("DTMFAccessID")).toLocal8Bit() + "\r\n");
        ++lines;
        rs.moveNext();
    }
    return lines;
}

} // namespace

int main(int argc, char** argv)
{
    useBuildOdbcMap();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();

    try {
        if (args.size() == 5 && args[0] == QLatin1String("--measure"))
            return measure(args[1], args[2], args[3], args[4]);

        QStringList ratios;
        const LargeDatabase large(args);
        const QString folder = large.folder;
        const QString database = large.path;
        const QString csv = QDir(folder).filePath(QStringLiteral("subscribers.csv"));
        out() << "csv file: " << writeCsv(database, csv) << " lines\n\n"
              << "| load | path | grid rows | wall ms | CPU ms | queries | peak MiB | messages |\n"
              << "|---|---|---|---|---|---|---|---|\n";
        out().flush();
        const int rounds = roundsOption(args, 3);
        for (const char* what : {"all", "csv"}) {
            std::vector<double> roundRatios;
            for (int round = 0; round < rounds; ++round) {
                QList<qint64> wall;
                for (const char* path : {"per-row", "sets"}) {
                    const QStringList f = measureInChild({QStringLiteral("--measure"), QString::fromLatin1(what),
                                                          QString::fromLatin1(path), database, csv});
                    if (f.size() < 6)
                        continue;
                    wall << f[1].toLongLong();
                    out() << "| " << what << " | " << path << " | " << f.join(QStringLiteral(" | ")) << " |\n";
                    out().flush();
                }
                if (wall.size() == 2 && wall[1] > 0)
                    roundRatios.push_back(double(wall[0]) / double(wall[1]));
            }
            if (!roundRatios.empty())
                ratios << QStringLiteral("%1: sets %2x faster")
                              .arg(QString::fromLatin1(what))
                              .arg(median(roundRatios), 0, 'f', 1);
        }
        out() << "\n" << ratios.join(QStringLiteral("; ")) << " (medians of " << rounds << " rounds)\n";
        out().flush();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_selection: %s\n", e.what());
        return 1;
    }
    return 0;
}

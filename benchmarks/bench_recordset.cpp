// The recordset's cost on a product database the size of a large site:
//   bench_recordset [--point-queries N] [--walks N] [--keep FOLDER | --database FILE]
// Builds the large database (10,000 subscribers) in a temporary folder, then
// times point queries and full walks through the same ODBC path the program
// uses, and reports the peak memory.
#include "BenchSupport.h"

#include "base/Failure.h"
#include "base/Recordset.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>

#include <algorithm>
#include <exception>
#include <random>
#include <vector>

using tarnwick::Recordset;
using namespace tarnwick::bench;

namespace {

struct Stats
{
    double median = 0;
    double p90 = 0;
    double min = 0;
};

Stats stats(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    Stats s;
    s.min = samples.front();
    s.median = samples[samples.size() / 2];
    s.p90 = samples[samples.size() * 9 / 10];
    return s;
}

QString micros(double ns)
{
    return QString::number(ns / 1000.0, 'f', 1) + QStringLiteral(" us");
}

QString millis(double ns)
{
    return QString::number(ns / 1e6, 'f', 2) + QStringLiteral(" ms");
}

// Opens, walks every row reading one field, closes; returns the rows seen.
qsizetype walk(const QString& sql, const QString& connection, QStringList* ids = nullptr)
{
    Recordset rs;
    rs.open(sql, connection);
    qsizetype n = 0;
    for (rs.moveFirst(); !rs.atEnd(); rs.moveNext()) {
        const QString id = tarnwick::GetFieldString(rs, QStringLiteral("ObjectID"));
        if (ids)
            ids->append(id);
        ++n;
    }
    rs.close();
    return n;
}

} // namespace

int main(int argc, char** argv)
{
    useBuildOdbcMap();
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({QStringLiteral("point-queries"), QStringLiteral("Point queries to time."), QStringLiteral("n"),
                      QStringLiteral("2000")});
    parser.addOption(
        {QStringLiteral("walks"), QStringLiteral("Full walks to time."), QStringLiteral("n"), QStringLiteral("21")});
    parser.addOption({QStringLiteral("keep"), QStringLiteral("Build the database in this folder and keep it."),
                      QStringLiteral("folder")});
    parser.addOption({QStringLiteral("database"),
                      QStringLiteral("Time an existing large database (made with --keep) instead of building one."),
                      QStringLiteral("file")});
    parser.process(app);
    const int pointQueries = std::max(1, parser.value(QStringLiteral("point-queries")).toInt());
    const int walks = std::max(1, parser.value(QStringLiteral("walks")).toInt());

    try {
        QElapsedTimer timer;
        const LargeDatabase database(QCoreApplication::arguments());
        const QString connection = database.connectionString();

        QStringList ids;
        walk(QStringLiteral("SELECT SubscriberObjectID AS ObjectID FROM vw_Subscriber"), connection, &ids);

        // Point queries on random subscribers, as the grid's lookups run them.
        std::mt19937 rng(7);
        std::uniform_int_distribution<qsizetype> pick(0, ids.size() - 1);
        std::vector<double> pointNs;
        pointNs.reserve(size_t(pointQueries));
        qsizetype found = 0;
        for (int i = 0; i < pointQueries; ++i) {
            const QString sql = QStringLiteral("SELECT SubscriberObjectID, Alias, FirstName, LastName, DisplayName, "
                                               "DTMFAccessID, COSObjectID FROM vw_Subscriber "
                                               "WHERE SubscriberObjectID='") +
                                ids[pick(rng)] + QLatin1Char('\'');
            timer.restart();
            Recordset rs;
            rs.open(sql, connection);
            found += tarnwick::GetFieldString(rs, QStringLiteral("DisplayName")).isEmpty() ? 0 : 1;
            rs.close();
            pointNs.push_back(double(timer.nsecsElapsed()));
        }
        const Stats point = stats(pointNs);
        out() << "point query (open, read a field, close), " << pointQueries << " random subscribers: median "
              << micros(point.median) << ", p90 " << micros(point.p90) << ", min " << micros(point.min) << "\n";

        auto timeWalks = [&](const QString& label, const QString& sql) {
            std::vector<double> ns;
            qsizetype rows = 0;
            for (int i = 0; i < walks; ++i) {
                timer.restart();
                rows = walk(sql, connection);
                ns.push_back(double(timer.nsecsElapsed()));
            }
            const Stats s = stats(ns);
            out() << label << " (" << rows << " rows, open and walk), " << walks << " runs: median " << millis(s.median)
                  << ", min " << millis(s.min) << " (" << micros(s.median / double(rows)) << " a row)\n";
        };
        timeWalks(QStringLiteral("all subscribers"),
                  QStringLiteral("SELECT SubscriberObjectID AS ObjectID FROM vw_Subscriber"));
        timeWalks(
            QStringLiteral("subscribers of type 1 and 3"),
            QStringLiteral("SELECT SubscriberObjectID AS ObjectID FROM vw_Subscriber WHERE SubscriberType IN (1,3)"));

        out() << "queries sent: " << tarnwick::databaseQueryCount() << ", point queries with a name: " << found << "\n"
              << "peak RSS: " << peakRssKiB() / 1024 << " MiB\n";
        tarnwick::closeDatabaseConnections();
    } catch (const tarnwick::Failure& f) {
        out() << "database failure " << f.number() << ": " << f.description() << "\n";
        return 1;
    } catch (const std::exception& e) {
        out() << "failure: " << e.what() << "\n";
        return 1;
    }
    return 0;
}

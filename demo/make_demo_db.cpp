// Builds a product database for the demo or for benchmarks:
//   tarnwick-demo-db <path> [--large] [--awkward-names] [--subscribers N] [--seed N] [--rollback-journal]
#include "DemoDatabase.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>

#include <exception>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Builds a product database (SQLite) for the demo or for benchmarks."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("path"), QStringLiteral("The database file to create (replaced)."));
    parser.addOption({QStringLiteral("large"), QStringLiteral("10,000 subscribers, ~30,000 private lists, ~450,000 memberships.")});
    parser.addOption({QStringLiteral("awkward-names"),
                      QStringLiteral("Every display and list name one that trips readers of the CSV file.")});
    parser.addOption({QStringLiteral("subscribers"), QStringLiteral("Number of subscribers."), QStringLiteral("n")});
    parser.addOption({QStringLiteral("seed"), QStringLiteral("Random seed."), QStringLiteral("n")});
    // A database in WAL mode cannot be read in a folder its reader may not
    // write (an installed package's): the package's copy has a rollback journal.
    parser.addOption({QStringLiteral("rollback-journal"),
                      QStringLiteral("A rollback journal instead of WAL mode, so that it can be read in place "
                                     "where it cannot be written.")});
    parser.process(app);
    QTextStream err(stderr);
    if (parser.positionalArguments().size() != 1) {
        err << "usage: tarnwick-demo-db <path> [--large] [--awkward-names] [--subscribers N] [--seed N] "
               "[--rollback-journal]\n";
        return 2;
    }
    tarnwick::demo::GeneratorOptions options =
        parser.isSet(QStringLiteral("large")) ? tarnwick::demo::largeOptions() : tarnwick::demo::GeneratorOptions{};
    if (parser.isSet(QStringLiteral("subscribers")))
        options.subscribers = parser.value(QStringLiteral("subscribers")).toInt();
    if (parser.isSet(QStringLiteral("seed")))
        options.seed = parser.value(QStringLiteral("seed")).toUInt();
    options.awkwardNames = parser.isSet(QStringLiteral("awkward-names"));
    if (options.subscribers < 20) {
        err << "at least 20 subscribers are needed\n";
        return 2;
    }
    try {
        QElapsedTimer timer;
        timer.start();
        auto db = tarnwick::demo::DemoDatabase::createSqlite(parser.positionalArguments().first());
        const auto s = tarnwick::demo::generateOrganisation(*db, options);
        if (parser.isSet(QStringLiteral("rollback-journal")))
            db->exec(QStringLiteral("PRAGMA journal_mode=DELETE"));
        err << "wrote " << s.subscribers << " subscribers, " << s.classesOfService << " classes of service, "
            << s.publicLists << " public lists, " << s.privateLists << " private lists, " << s.memberships
            << " memberships in " << timer.elapsed() << " ms\n";
    } catch (const std::exception& e) {
        err << "tarnwick-demo-db: " << e.what() << "\n";
        return 1;
    }
    return 0;
}

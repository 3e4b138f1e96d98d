// A whole export from a PostgreSQL product database, read as tarnwick_reader,
// a role that may only SELECT: the run cannot have written anything.
#include "ExportTestSupport.h"
#include "app/Recordset.h"
#include "support/PostgresDatabase.h"
#include "support/TestEnvironment.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

using namespace tarnwick;
using namespace tarnwick::test;
using namespace Qt::StringLiterals;

class TestExportPg : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void exportAsAReaderOnlyRole()
    {
        PostgresDatabase pg;
        TARNWICK_REQUIRE_POSTGRES(pg);
        buildWalkFixture(pg.database());
        { // asked past the recordset, which sends nothing but SELECT anyway
            QSqlDatabase probe = QSqlDatabase::addDatabase(u"QODBC"_s, u"probe"_s);
            probe.setDatabaseName(pg.connectionString());
            QSqlQuery insert(probe);
            QVERIFY2(probe.open(), qPrintable(probe.lastError().text()));
            QVERIFY(!insert.exec(u"INSERT INTO Cos (COSObjectID, TextName) VALUES ('x', 'x')"_s));
            QVERIFY(
                insert.lastError().text().contains(u"permission denied"_s, Qt::CaseInsensitive));
        }
        QSqlDatabase::removeDatabase(u"probe"_s);

        TestEnvironment env;
        env.app->strConnectionString = pg.connectionString();
        SelectionGrid grid;
        addFixtureOwners(grid);
        RecordingProgress progress;
        ExportRun run(*env.app, grid, progress);
        const QString out = env.path(u"out.csv"_s);
        QCOMPARE(run.run(out), ExportRun::Result::Completed);
        QCOMPARE(readFile(out), crlfFile(fixtureCsvLines()));
        QCOMPARE(logBody(env.app->log.strLogFileName()),
                 QStringList(u"[1 of 2] Smith, John"_s) + kOwnerLog +
                     QStringList({u"[2 of 2] Nobody \"Nolists\""_s, kNoListsLine}));
        closeDatabaseConnections();
    }
};

QTEST_GUILESS_MAIN(TestExportPg)
#include "tst_export_pg.moc"

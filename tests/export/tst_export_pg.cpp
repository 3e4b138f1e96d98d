// A whole export from a PostgreSQL product database, read as tarnwick_reader,
// a role that may only SELECT: a run without one logged error is a run that
// never tried to write.
#include "export/ExportRun.h"

#include "ExportTestSupport.h"
#include "app/Recordset.h"
#include "select/SelectionGrid.h"
#include "support/PostgresDatabase.h"
#include "support/TestEnvironment.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

using namespace tarnwick;
using namespace tarnwick::test;

namespace {

struct NoProgress : ExportProgress
{
    void setRange(int, int) override {}
    void setValue(int) override {}
    void setCaption(const QString&) override {}
};

} // namespace

class TestExportPg : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void exportAsAReaderOnlyRole()
    {
        PostgresDatabase pg;
        TARNWICK_REQUIRE_POSTGRES(pg);
        buildWalkFixture(pg.database());

        TestEnvironment env;
        env.app->strConnectionString = pg.connectionString();
        // The role itself cannot write (asked past the recordset, which sends
        // nothing but SELECT anyway), so the run below cannot have written.
        {
            QSqlDatabase probe =
                QSqlDatabase::addDatabase(QStringLiteral("QODBC"), QStringLiteral("reader-probe"));
            probe.setDatabaseName(pg.connectionString());
            QVERIFY2(probe.open(), qPrintable(probe.lastError().text()));
            QSqlQuery insert(probe);
            QVERIFY(!insert.exec(
                QStringLiteral("INSERT INTO Cos (COSObjectID, TextName) VALUES ('x', 'x')")));
            QVERIFY(insert.lastError().text().contains(QStringLiteral("permission denied"),
                                                       Qt::CaseInsensitive));
            probe.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("reader-probe"));

        SelectionGrid grid;
        addFixtureOwners(grid);
        NoProgress progress;
        ExportRun run(*env.app, grid, progress);
        const QString out = env.path(QStringLiteral("out.csv"));
        QCOMPARE(run.run(out), ExportRun::Result::Completed);

        QCOMPARE(env.app->log.intErrorCount(), 0);
        QCOMPARE(
            readFile(out),
            (fixtureCsvLines().join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8());
        QCOMPARE(readCsvWithPython(out), fixtureCsvRecords());
        QCOMPARE(
            logBody(env.app->log.strLogFileName()),
            QStringList({QStringLiteral("[1 of 2] Smith, John"),
                         QStringLiteral("        Processing private list=team"),
                         QStringLiteral("        Processing private list=empty"),
                         QStringLiteral("            No members found for this private list"),
                         QStringLiteral("[2 of 2] Nobody \"Nolists\""),
                         QStringLiteral("    No private lists configured for this subscriber")}));
        closeDatabaseConnections();
    }
};

QTEST_GUILESS_MAIN(TestExportPg)
#include "tst_export_pg.moc"

// A whole export from a PostgreSQL product database, read as tarnwick_reader,
// a role that may only SELECT: the run cannot have written anything.
#include "ExportTestSupport.h"
#include "support/PostgresDatabase.h"

#include <QtSql>
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
            QSqlDatabase probe = QSqlDatabase::addDatabase("QODBC", "probe");
            probe.setDatabaseName(pg.connectionString());
            QSqlQuery insert(probe);
            QVERIFY2(probe.open(), qPrintable(probe.lastError().text()));
            QVERIFY(!insert.exec("INSERT INTO Cos (COSObjectID, TextName) VALUES ('x', 'x')"));
            QVERIFY(insert.lastError().text().contains("permission denied", Qt::CaseInsensitive));
        }
        QSqlDatabase::removeDatabase("probe");

        ExportFixture d;
        d.app.strConnectionString = pg.connectionString();
        d.addOwners();
        QCOMPARE(d.run.run(d.env.path("out.csv")), ExportRun::Result::Completed);
        QCOMPARE(readFile(d.env.path("out.csv")), crlfFile(fixtureCsvLines()));
        QCOMPARE(d.log(), QStringList(u"[1 of 2] Smith, John"_s) + kOwnerLog +
                              QStringList({"[2 of 2] Nobody \"Nolists\"", kNoListsLine}));
    }
};

QTEST_GUILESS_MAIN(TestExportPg)
#include "tst_export_pg.moc"

// The recordset on a PostgreSQL product database through its ODBC driver, read as tarnwick_reader. The server
// folds unquoted column names to lower case, so every by-name lookup here crosses that fold.
#include "RecordsetSuite.h"

#include "support/PostgresDatabase.h"

using tarnwick::test::PostgresDatabase;

class tst_RecordsetPg : public RecordsetSuite
{
    Q_OBJECT
    PostgresDatabase m_pg;

protected:
    QString connectionString() const override { return m_pg.connectionString(); }
    QList<QPair<QString, QString>> unreachable() const override
    {
        const QString reader = "tarnwick_reader", password = PostgresDatabase::readerPassword();
        return {// Port 1 on the loopback: nobody listens there.
                {"no server on the port", PostgresDatabase::connectionString(m_pg.name(), reader, password, 1)},
                {"wrong password", PostgresDatabase::connectionString(m_pg.name(), reader, "not-the-password")},
                {"no such database", PostgresDatabase::connectionString("tarnwick_no_such_db", reader, password)}};
    }

private Q_SLOTS:
    void initTestCase() { TARNWICK_REQUIRE_POSTGRES(m_pg); fill(m_pg.database()); }

    // A server that goes away between two queries: the query fails once the reopen gives up, as any failed query
    // does, and the first query after the server is back is answered. (The export's restart test holds a restart
    // within the reopen's wait, byte for byte.)
    void connectionComesBackAfterAnOutage()
    {
        tarnwick::Recordset rs;
        rs.open(kAll, connectionString());
        QCOMPARE(PostgresDatabase::controlServer("stop"), QString());
        QVERIFY_THROWS_EXCEPTION(tarnwick::Failure, rs.open(kAll, connectionString()));
        QVERIFY(!rs.isOpen());
        QCOMPARE(PostgresDatabase::controlServer("start"), QString());
        rs.open(kAll, connectionString());
        QCOMPARE(rs.recordCount(), 5);
    }
};

QTEST_GUILESS_MAIN(tst_RecordsetPg)
#include "tst_recordset_pg.moc"

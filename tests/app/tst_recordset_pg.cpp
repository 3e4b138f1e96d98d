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

    void columnNamesComeBackFolded()
    {
        tarnwick::Recordset rs;
        rs.open("SELECT SubscriberObjectID, DisplayName FROM vw_Subscriber", connectionString());
        QCOMPARE(rs.fieldNames(), (QStringList{"subscriberobjectid", "displayname"}));
    }
};

QTEST_GUILESS_MAIN(tst_RecordsetPg)
#include "tst_recordset_pg.moc"

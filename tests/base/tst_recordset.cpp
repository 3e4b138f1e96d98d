// The recordset on SQLite product databases through the SQLite ODBC driver.
#include "RecordsetSuite.h"

#include "support/TestEnvironment.h"

class tst_Recordset : public RecordsetSuite
{
    Q_OBJECT
    tarnwick::test::TestEnvironment m_env;

protected:
    QString connectionString() const override { return m_env.connectionString(); }
    QList<QPair<QString, QString>> unreachable() const override
    {
        return {{"file in a folder that does not exist",
                 tarnwick::demo::DemoDatabase::sqliteConnectionString(m_env.path("no/such/folder/OrvaneDb"))}};
    }

private Q_SLOTS:
    void initTestCase() { fill(m_env.database()); }

    // SQLite keeps a text longer than its column's declared size: read whole all the same, by Qt's read
    // when the block read cannot hold it. This one is held in a store block of its own.
    void textLongerThanItsColumn()
    {
        tarnwick::test::TestEnvironment env;
        const QString name = QString(300, u'x') + QString(600000, u'ж');
        env.database().addSubscriber({"SUB-1", "long", "L", "L", name, "1", "CH-1", "COS-1", 1});
        tarnwick::Recordset rs;
        rs.open("SELECT Alias, DisplayName FROM vw_Subscriber", env.connectionString());
        QCOMPARE(rs.recordCount(), 1);
        QCOMPARE(rs.text("DisplayName"), name);
    }
};

QTEST_GUILESS_MAIN(tst_Recordset)
#include "tst_recordset.moc"

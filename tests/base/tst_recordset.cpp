// The recordset on SQLite product databases through the SQLite ODBC driver: the contract on a small
// fill, and the demo organisation, which must hold the awkward rows real servers hold.
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
    // when the block read cannot hold it.
    void textLongerThanItsColumn()
    {
        tarnwick::test::TestEnvironment env;
        const QString name = QString(300, u'x') + QChar(0xe9);
        env.database().addSubscriber({"SUB-1", "long", "L", "L", name, "1", "CH-1", "COS-1", 1});
        tarnwick::Recordset rs;
        rs.open("SELECT Alias, DisplayName FROM vw_Subscriber", env.connectionString());
        QCOMPARE(rs.recordCount(), 1);
        QCOMPARE(rs.text("DisplayName"), name);
    }

    void demoHoldsAwkwardRows()
    {
        tarnwick::test::TestEnvironment demo;
        tarnwick::demo::generateOrganisation(demo.database(), tarnwick::demo::GeneratorOptions{});
        const QString sub = "SELECT * FROM vw_Subscriber WHERE ", list = "SELECT * FROM vw_PersonalDList l WHERE ",
                      member = "SELECT * FROM vw_PersonalDListMember m WHERE ";
        const QString members = member + "m.ParentObjectID = l.PersonalDListOBjectID";
        const QStringList awkward = {
            sub + "DisplayName LIKE '%,%' AND DisplayName LIKE '%\"%'",
            sub + "length(CAST(DisplayName AS BLOB)) > length(DisplayName)", // a character beyond ASCII
            sub + "FirstName IS NULL", sub + "DTMFAccessID IS NULL", sub + "SubscriberType NOT IN (1, 3)",
            "SELECT ParentObjectID FROM vw_DTMFAccessID GROUP BY ParentObjectID HAVING COUNT(*) > 1",
            list + "NOT EXISTS (" + members + ")",
            list + "EXISTS (" + members + " AND m.ObjectType = 1) AND EXISTS (" + members + " AND m.ObjectType = 2)",
            member + "ObjectType NOT IN (1, 2)", member + "Alias IS NULL",
            list + "DisplayName LIKE '%,%'", list + "DisplayName LIKE '%\"%'"};
        for (const QString& sql : awkward) {
            tarnwick::Recordset rs;
            rs.open(sql, demo.connectionString());
            QVERIFY2(rs.recordCount() > 0, qPrintable(sql));
        }
    }
};

QTEST_GUILESS_MAIN(tst_Recordset)
#include "tst_recordset.moc"

// The recordset on SQLite product databases through the SQLite ODBC driver: the contract on a small
// fill, and the demo organisation, which must hold the awkward rows real servers hold.
#include "RecordsetSuite.h"

#include "support/TestEnvironment.h"

class tst_Recordset : public RecordsetSuite
{
    Q_OBJECT
    tarnwick::test::TestEnvironment m_env, m_demo;
    tarnwick::demo::GeneratorSummary m_summary;

    int rows(const QString& sql)
    {
        tarnwick::Recordset rs;
        rs.open(sql, m_demo.connectionString());
        return int(rs.recordCount());
    }

protected:
    QString connectionString() const override { return m_env.connectionString(); }
    QList<QPair<QString, QString>> unreachable() const override
    {
        return {{"file in a folder that does not exist",
                 tarnwick::demo::DemoDatabase::sqliteConnectionString(m_env.path("no/such/folder/OrvaneDb"))}};
    }

private Q_SLOTS:
    void initTestCase()
    {
        fill(m_env.database());
        m_summary = tarnwick::demo::generateOrganisation(m_demo.database(), tarnwick::demo::GeneratorOptions{});
    }

    void demoHoldsAwkwardRows_data()
    {
        QTest::addColumn<QString>("sql");
        const QString sub = "SELECT * FROM vw_Subscriber WHERE ", list = "SELECT * FROM vw_PersonalDList l WHERE ",
                      member = "SELECT * FROM vw_PersonalDListMember m WHERE ";
        const QString members = member + "m.ParentObjectID = l.PersonalDListOBjectID";
        QTest::newRow("comma and double quote in a name") << sub + "DisplayName LIKE '%,%' AND DisplayName LIKE '%\"%'";
        // More bytes than characters: a character beyond ASCII.
        QTest::newRow("non-ASCII name") << sub + "length(CAST(DisplayName AS BLOB)) > length(DisplayName)";
        QTest::newRow("null first name") << sub + "FirstName IS NULL";
        QTest::newRow("null extension") << sub + "DTMFAccessID IS NULL";
        QTest::newRow("a type other than 1 and 3") << sub + "SubscriberType NOT IN (1, 3)";
        QTest::newRow("several extensions for one subscriber")
            << "SELECT ParentObjectID FROM vw_DTMFAccessID GROUP BY ParentObjectID HAVING COUNT(*) > 1";
        QTest::newRow("private list without members") << list + "NOT EXISTS (" + members + ")";
        QTest::newRow("private list with members of both kinds")
            << list + "EXISTS (" + members + " AND m.ObjectType = 1) AND EXISTS (" + members + " AND m.ObjectType = 2)";
        QTest::newRow("member of an unknown type") << member + "ObjectType NOT IN (1, 2)";
        QTest::newRow("member without alias") << member + "Alias IS NULL";
        QTest::newRow("list name with a comma") << list + "DisplayName LIKE '%,%'";
        QTest::newRow("list name with a double quote") << list + "DisplayName LIKE '%\"%'";
    }

    void demoHoldsAwkwardRows()
    {
        QFETCH(QString, sql);
        QVERIFY(rows(sql) > 0);
    }

    void demoSummaryMatchesTheRows()
    {
        const QList<int> counted = {rows("SELECT * FROM vw_Subscriber"), rows("SELECT * FROM vw_COS"),
                                    rows("SELECT * FROM vw_DistributionList"), rows("SELECT * FROM vw_PersonalDList"),
                                    rows("SELECT * FROM vw_PersonalDListMember")};
        QCOMPARE(counted, (QList<int>{m_summary.subscribers, m_summary.classesOfService, m_summary.publicLists,
                                      m_summary.privateLists, m_summary.memberships}));
    }
};

QTEST_GUILESS_MAIN(tst_Recordset)
#include "tst_recordset.moc"

// The demo organisation holds the awkward rows real servers hold, so the
// demo and the export tests meet them; read back the way the product reads.
#include "DemoDatabase.h"

#include "app/Recordset.h"
#include "app/SharedServices.h"
#include "support/TestEnvironment.h"

#include <QSet>
#include <QTest>

using tarnwick::GetFieldString;
using tarnwick::Recordset;

class tst_DemoDatabase : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void subscribers();
    void listsAndMembers_data();
    void listsAndMembers();
    void summaryMatchesTheRows();

private:
    qsizetype rows(const QString& sql)
    {
        Recordset rs;
        rs.open(sql, m_env.connectionString());
        const qsizetype n = rs.recordCount();
        rs.close();
        return n;
    }

    tarnwick::test::TestEnvironment m_env;
    tarnwick::demo::GeneratorSummary m_summary;
};

void tst_DemoDatabase::initTestCase()
{
    m_summary = tarnwick::demo::generateOrganisation(m_env.database(), tarnwick::demo::GeneratorOptions{});
}

void tst_DemoDatabase::subscribers()
{
    Recordset rs;
    rs.open(QStringLiteral("SELECT * FROM vw_Subscriber"), m_env.connectionString());
    bool commaAndQuote = false, nonAscii = false, nullFirstName = false, nullExtension = false;
    QSet<int> types;
    for (rs.moveFirst(); !rs.atEnd(); rs.moveNext()) {
        const QString name = GetFieldString(rs, QStringLiteral("DisplayName"));
        commaAndQuote |= name.contains(QLatin1Char(',')) && name.contains(QLatin1Char('"'));
        nonAscii |= std::any_of(name.begin(), name.end(), [](QChar c) { return c.unicode() > 127; });
        nullFirstName |= rs.isNull(QStringLiteral("FirstName"));
        nullExtension |= rs.isNull(QStringLiteral("DTMFAccessID"));
        types.insert(rs.value(QStringLiteral("SubscriberType")).toInt());
    }
    rs.close();
    QVERIFY(commaAndQuote);
    QVERIFY(nonAscii);
    QVERIFY(nullFirstName);
    QVERIFY(nullExtension);
    QVERIFY(types.contains(1));
    QVERIFY(types.contains(3));
    QVERIFY2(types.size() > 2, "a subscriber type other than 1 and 3");
}

void tst_DemoDatabase::listsAndMembers_data()
{
    QTest::addColumn<QString>("sql");
    const QString memberOf = QStringLiteral("SELECT 1 FROM vw_PersonalDListMember m "
                                            "WHERE m.ParentObjectID = l.PersonalDListOBjectID");
    QTest::newRow("several extensions for one subscriber")
        << QStringLiteral("SELECT ParentObjectID FROM vw_DTMFAccessID GROUP BY ParentObjectID HAVING COUNT(*) > 1");
    QTest::newRow("public lists") << QStringLiteral("SELECT * FROM vw_DistributionList");
    QTest::newRow("private list without members")
        << QStringLiteral("SELECT * FROM vw_PersonalDList l WHERE NOT EXISTS (%1)").arg(memberOf);
    QTest::newRow("private list with members of both kinds")
        << QStringLiteral("SELECT * FROM vw_PersonalDList l WHERE EXISTS (%1 AND m.ObjectType = 1) "
                          "AND EXISTS (%1 AND m.ObjectType = 2)")
               .arg(memberOf);
    QTest::newRow("member of an unknown type")
        << QStringLiteral("SELECT * FROM vw_PersonalDListMember WHERE ObjectType NOT IN (1, 2)");
    QTest::newRow("member without alias") << QStringLiteral("SELECT * FROM vw_PersonalDListMember WHERE Alias IS NULL");
    QTest::newRow("list name with a comma")
        << QStringLiteral("SELECT * FROM vw_PersonalDList WHERE DisplayName LIKE '%,%'");
    QTest::newRow("list name with a double quote")
        << QStringLiteral("SELECT * FROM vw_PersonalDList WHERE DisplayName LIKE '%\"%'");
}

void tst_DemoDatabase::listsAndMembers()
{
    QFETCH(QString, sql);
    QVERIFY(rows(sql) > 0);
}

void tst_DemoDatabase::summaryMatchesTheRows()
{
    QCOMPARE(rows(QStringLiteral("SELECT * FROM vw_Subscriber")), m_summary.subscribers);
    QCOMPARE(rows(QStringLiteral("SELECT * FROM vw_COS")), m_summary.classesOfService);
    QCOMPARE(rows(QStringLiteral("SELECT * FROM vw_DistributionList")), m_summary.publicLists);
    QCOMPARE(rows(QStringLiteral("SELECT * FROM vw_PersonalDList")), m_summary.privateLists);
    QCOMPARE(rows(QStringLiteral("SELECT * FROM vw_PersonalDListMember")), m_summary.memberships);
}

QTEST_GUILESS_MAIN(tst_DemoDatabase)
#include "tst_demodatabase.moc"

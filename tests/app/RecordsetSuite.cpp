#include "RecordsetSuite.h"

#include "app/Failure.h"
#include "app/Recordset.h"
#include "app/SharedServices.h"

#include <QTest>

#include <optional>

using tarnwick::Failure;
using tarnwick::GetFieldString;
using tarnwick::Recordset;
namespace ErrorNumber = tarnwick::ErrorNumber;

namespace {

template <typename Step>
std::optional<Failure> failureOf(Step&& step)
{
    try {
        step();
    } catch (const Failure& failure) {
        return failure;
    }
    return std::nullopt;
}

QString subscriber(const QString& id)
{
    return QStringLiteral("SELECT * FROM vw_Subscriber WHERE SubscriberObjectID = '%1'").arg(id);
}

const QString kAll = QStringLiteral("SELECT * FROM vw_Subscriber ORDER BY SubscriberObjectID");

} // namespace

void RecordsetSuite::fill(tarnwick::demo::DemoDatabase& db)
{
    using Sub = tarnwick::demo::DemoDatabase::Subscriber;
    db.addCos(QStringLiteral("COS-1"), QStringLiteral("Default Subscriber"));
    // Out of key order, so only ORDER BY decides the walk.
    db.addSubscriber(Sub{QStringLiteral("SUB-03"), QStringLiteral("zmuller"), QStringLiteral("Zoë"),
                         QStringLiteral("Müller"), QStringLiteral("Müller, Zoë \"Z\""), QStringLiteral("1003"),
                         QStringLiteral("CH-03"), QStringLiteral("COS-1"), 1});
    db.addSubscriber(Sub{QStringLiteral("SUB-01"), QStringLiteral("asmith"), QStringLiteral("Anna"),
                         QStringLiteral("Smith"), QStringLiteral("Smith, Anna"), QStringLiteral("1001"),
                         QStringLiteral("CH-01"), QStringLiteral("COS-1"), 1});
    db.addSubscriber(Sub{QStringLiteral("SUB-05"), QStringLiteral("zhang"), QStringLiteral("Wěi"),
                         QStringLiteral("Zhang"), QStringLiteral("张伟"), QStringLiteral("1005"),
                         QStringLiteral("CH-05"), QStringLiteral("COS-1"), 3});
    db.addSubscriber(Sub{QStringLiteral("SUB-02"), QStringLiteral("nofirst"), std::nullopt, QStringLiteral("Okafor"),
                         QString(), std::nullopt, QStringLiteral("CH-02"), QStringLiteral("COS-1"), 3});
    db.addSubscriber(Sub{QStringLiteral("SUB-04"), QStringLiteral("faxgw"), QString(), QString(),
                         QStringLiteral("Fax Gateway"), QStringLiteral("1004"), QStringLiteral("CH-04"),
                         QStringLiteral("COS-1"), 6});
    db.addPrivateList(QStringLiteral("PDL-1"), QStringLiteral("SUB-01"), QStringLiteral("team1"),
                      QStringLiteral("My team"), QStringLiteral("1"));
    db.addMember(QStringLiteral("PDL-1"), 1, QStringLiteral("SUB-03"), QStringLiteral("zmuller"),
                 QStringLiteral("Müller, Zoë \"Z\""));
}

void RecordsetSuite::walk_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QStringList>("expected");
    const QStringList all = {QStringLiteral("SUB-01"), QStringLiteral("SUB-02"), QStringLiteral("SUB-03"),
                             QStringLiteral("SUB-04"), QStringLiteral("SUB-05")};
    QStringList reversed = all;
    std::reverse(reversed.begin(), reversed.end());
    QTest::newRow("all, by id") << kAll << all;
    QTest::newRow("descending")
        << QStringLiteral("SELECT SubscriberObjectID FROM vw_Subscriber ORDER BY SubscriberObjectID DESC") << reversed;
    QTest::newRow("types 1 and 3, by alias")
        << QStringLiteral("SELECT SubscriberObjectID FROM vw_Subscriber WHERE SubscriberType IN (1,3) ORDER BY Alias")
        << QStringList{QStringLiteral("SUB-01"), QStringLiteral("SUB-02"), QStringLiteral("SUB-05"),
                       QStringLiteral("SUB-03")};
    QTest::newRow("non-ASCII text in the query")
        << QStringLiteral("SELECT SubscriberObjectID FROM vw_Subscriber WHERE DisplayName = 'Müller, Zoë \"Z\"'")
        << QStringList{QStringLiteral("SUB-03")};
    QTest::newRow("no rows") << subscriber(QStringLiteral("nobody")) << QStringList();
}

void RecordsetSuite::walk()
{
    QFETCH(QString, sql);
    QFETCH(QStringList, expected);
    Recordset rs;
    rs.open(sql, connectionString());
    QCOMPARE(rs.state(), 1);
    // Known before the first row is visited.
    QCOMPARE(rs.recordCount(), expected.size());
    QStringList seen;
    for (rs.moveFirst(); !rs.atEnd(); rs.moveNext())
        seen << rs.text(QStringLiteral("SubscriberObjectID"));
    QCOMPARE(seen, expected);
    const auto pastEnd = failureOf([&] { rs.moveNext(); });
    QVERIFY(pastEnd);
    QCOMPARE(pastEnd->number(), ErrorNumber::NoCurrentRecord);
    if (!expected.isEmpty()) {
        rs.moveFirst();
        QCOMPARE(rs.text(QStringLiteral("subscriberobjectid")), expected.first());
    }
    rs.close();
    QCOMPARE(rs.state(), 0);
}

void RecordsetSuite::fieldByNameInAnyCase_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("expected");
    const QString sub = subscriber(QStringLiteral("SUB-01"));
    const QString list = QStringLiteral("SELECT * FROM vw_PersonalDList WHERE ParentObjectID = 'SUB-01'");
    QTest::newRow("as declared") << sub << QStringLiteral("SubscriberObjectID") << QStringLiteral("SUB-01");
    QTest::newRow("lower case") << sub << QStringLiteral("subscriberobjectid") << QStringLiteral("SUB-01");
    QTest::newRow("upper case") << sub << QStringLiteral("DISPLAYNAME") << QStringLiteral("Smith, Anna");
    QTest::newRow("mixed case") << sub << QStringLiteral("cOsObJeCtId") << QStringLiteral("COS-1");
    QTest::newRow("list id, as the walk spells it") << list << QStringLiteral("PersonalDListOBjectID")
                                                    << QStringLiteral("PDL-1");
    QTest::newRow("list id, usual spelling") << list << QStringLiteral("PersonalDListObjectID")
                                             << QStringLiteral("PDL-1");
    QTest::newRow("list alias") << list << QStringLiteral("Alias") << QStringLiteral("team1");
    QTest::newRow("two columns of one name: the first wins")
        << QStringLiteral("SELECT Alias, DisplayName AS ALIAS FROM vw_Subscriber WHERE SubscriberObjectID = 'SUB-01'")
        << QStringLiteral("alias") << QStringLiteral("asmith");
    QTest::newRow("class of service") << QStringLiteral("SELECT COSObjectID, TextName FROM vw_COS")
                                      << QStringLiteral("TEXTNAME") << QStringLiteral("Default Subscriber");
}

void RecordsetSuite::fieldByNameInAnyCase()
{
    QFETCH(QString, sql);
    QFETCH(QString, field);
    QFETCH(QString, expected);
    Recordset rs;
    rs.open(sql, connectionString());
    QCOMPARE(rs.recordCount(), 1);
    QVERIFY(rs.hasField(field));
    QCOMPARE(rs.text(field), expected);
    QCOMPARE(GetFieldString(rs, field), expected);
    rs.close();
}

void RecordsetSuite::nullEmptyAndNumbers_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("isNull");
    QTest::addColumn<QString>("text");
    const QString noFirst = subscriber(QStringLiteral("SUB-02"));
    QTest::newRow("null first name") << noFirst << QStringLiteral("FirstName") << true << QString();
    QTest::newRow("null extension") << noFirst << QStringLiteral("DTMFAccessID") << true << QString();
    QTest::newRow("empty display name") << noFirst << QStringLiteral("DisplayName") << false << QString();
    QTest::newRow("empty first name") << subscriber(QStringLiteral("SUB-04")) << QStringLiteral("FirstName") << false
                                      << QString();
    QTest::newRow("plain text") << noFirst << QStringLiteral("LastName") << false << QStringLiteral("Okafor");
    QTest::newRow("comma, quotes, accents") << subscriber(QStringLiteral("SUB-03")) << QStringLiteral("DisplayName")
                                            << false << QStringLiteral("Müller, Zoë \"Z\"");
    QTest::newRow("non-Latin script") << subscriber(QStringLiteral("SUB-05")) << QStringLiteral("DisplayName") << false
                                      << QStringLiteral("张伟");
    QTest::newRow("integer column") << noFirst << QStringLiteral("SubscriberType") << false << QStringLiteral("3");
    QTest::newRow("negative number")
        << QStringLiteral("SELECT SubscriberType - 10 AS Delta FROM vw_Subscriber WHERE SubscriberObjectID = 'SUB-01'")
        << QStringLiteral("Delta") << false << QStringLiteral("-9");
    QTest::newRow("count") << QStringLiteral("SELECT COUNT(*) AS Total FROM vw_Subscriber") << QStringLiteral("total")
                           << false << QStringLiteral("5");
}

void RecordsetSuite::nullEmptyAndNumbers()
{
    QFETCH(QString, sql);
    QFETCH(QString, field);
    QFETCH(bool, isNull);
    QFETCH(QString, text);
    Recordset rs;
    rs.open(sql, connectionString());
    QCOMPARE(rs.recordCount(), 1);
    QCOMPARE(rs.isNull(field), isNull);
    QCOMPARE(GetFieldString(rs, field), text);
    if (!isNull)
        QCOMPARE(rs.text(field), text);
    rs.close();
}

void RecordsetSuite::missingFieldOrRow()
{
    Recordset rs;
    QCOMPARE(GetFieldString(rs, QStringLiteral("Alias")), QString());  // not open
    rs.open(subscriber(QStringLiteral("SUB-01")), connectionString());
    QVERIFY(!rs.hasField(QStringLiteral("NoSuchField")));
    QCOMPARE(GetFieldString(rs, QStringLiteral("NoSuchField")), QString());
    const auto missing = failureOf([&] { rs.value(QStringLiteral("NoSuchField")); });
    QVERIFY(missing);
    QCOMPARE(missing->number(), ErrorNumber::ItemNotFound);
    rs.moveNext();
    QVERIFY(rs.atEnd());
    QCOMPARE(GetFieldString(rs, QStringLiteral("Alias")), QString());  // no current row
    const auto noRow = failureOf([&] { rs.text(QStringLiteral("Alias")); });
    QVERIFY(noRow);
    QCOMPARE(noRow->number(), ErrorNumber::NoCurrentRecord);
    rs.close();
}

void RecordsetSuite::textOfNullFails()
{
    Recordset rs;
    rs.open(subscriber(QStringLiteral("SUB-02")), connectionString());
    const auto failure = failureOf([&] { rs.text(QStringLiteral("FirstName")); });
    QVERIFY(failure);
    QCOMPARE(failure->number(), 94);
    QCOMPARE(failure->description(), QStringLiteral("Invalid use of Null"));
    rs.close();
}

void RecordsetSuite::closeWhenNotOpenFails()
{
    Recordset rs;
    QCOMPARE(rs.state(), 0);
    auto failure = failureOf([&] { rs.close(); });
    QVERIFY(failure);
    QCOMPARE(failure->number(), 3704);
    QCOMPARE(failure->description(), QStringLiteral("Operation is not allowed when the object is closed."));
    rs.open(kAll, connectionString());
    rs.close();
    failure = failureOf([&] { rs.close(); });
    QVERIFY(failure);
    QCOMPARE(failure->number(), 3704);
    QVERIFY(failureOf([&] { rs.recordCount(); }));
}

void RecordsetSuite::failingQueryLeavesItClosed_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("driverMentions");
    QTest::newRow("missing view") << QStringLiteral("SELECT * FROM vw_NoSuchView") << QStringLiteral("vw_NoSuchView");
    QTest::newRow("missing column") << QStringLiteral("SELECT NoSuchColumn FROM vw_Subscriber")
                                    << QStringLiteral("NoSuchColumn");
    QTest::newRow("syntax") << QStringLiteral("SELEC * FROM vw_Subscriber") << QStringLiteral("SELEC");
}

void RecordsetSuite::failingQueryLeavesItClosed()
{
    QFETCH(QString, sql);
    QFETCH(QString, driverMentions);
    Recordset rs;
    rs.open(kAll, connectionString());
    const auto failure = failureOf([&] { rs.open(sql, connectionString()); });
    QVERIFY(failure);
    QCOMPARE(failure->number(), ErrorNumber::DatabaseError);
    QVERIFY2(failure->description().contains(driverMentions, Qt::CaseInsensitive), qPrintable(failure->description()));
    QVERIFY(!rs.isOpen());
    QCOMPARE(rs.state(), 0);
    QVERIFY(failureOf([&] { rs.close(); }));
    // The connection survives the failed statement.
    rs.open(kAll, connectionString());
    QCOMPARE(rs.recordCount(), 5);
    rs.close();
}

void RecordsetSuite::unreachableDatabase_data()
{
    QTest::addColumn<QString>("connection");
    const auto rows = unreachable();
    for (const auto& [tag, connection] : rows)
        QTest::newRow(qPrintable(tag)) << connection;
}

void RecordsetSuite::unreachableDatabase()
{
    QFETCH(QString, connection);
    Recordset rs;
    const auto failure = failureOf([&] { rs.open(kAll, connection); });
    QVERIFY(failure);
    QCOMPARE(failure->number(), ErrorNumber::DatabaseError);
    QVERIFY(!failure->description().trimmed().isEmpty());
    QVERIFY(!rs.isOpen());
    // A second try fails the same way rather than reusing a broken connection.
    QVERIFY(failureOf([&] { rs.open(kAll, connection); }));
    rs.open(kAll, connectionString());
    QCOMPARE(rs.recordCount(), 5);
    rs.close();
}

void RecordsetSuite::nothingIsWritten_data()
{
    QTest::addColumn<QString>("sql");
    QTest::newRow("update") << QStringLiteral("UPDATE Subscriber SET LastName = 'Changed'");
    QTest::newRow("update through a view") << QStringLiteral("UPDATE vw_Subscriber SET LastName = 'Changed'");
    QTest::newRow("delete") << QStringLiteral("DELETE FROM PersonalDListMember");
    QTest::newRow("insert") << QStringLiteral("INSERT INTO Cos (COSObjectID, TextName) VALUES ('COS-X', 'Changed')");
    QTest::newRow("create table") << QStringLiteral("CREATE TABLE Scratch (x INTEGER)");
    QTest::newRow("write behind a select") << QStringLiteral("SELECT 1; DELETE FROM PersonalDListMember");
    QTest::newRow("write behind a quoted semicolon")
        << QStringLiteral("SELECT 'a;b' AS x; CREATE TABLE Scratch (x INTEGER)");
}

void RecordsetSuite::nothingIsWritten()
{
    QFETCH(QString, sql);
    Recordset rs;
    const auto failure = failureOf([&] { rs.open(sql, connectionString()); });
    QVERIFY(failure);
    QCOMPARE(failure->number(), ErrorNumber::DatabaseError);
    QVERIFY(!rs.isOpen());
    rs.open(QStringLiteral("SELECT (SELECT COUNT(*) FROM vw_Subscriber WHERE LastName = 'Changed') AS changed, "
                           "(SELECT COUNT(*) FROM vw_PersonalDListMember) AS members, "
                           "(SELECT COUNT(*) FROM vw_COS) AS classes"),
            connectionString());
    QCOMPARE(rs.text(QStringLiteral("changed")), QStringLiteral("0"));
    QCOMPARE(rs.text(QStringLiteral("members")), QStringLiteral("1"));
    QCOMPARE(rs.text(QStringLiteral("classes")), QStringLiteral("1"));
    rs.close();
    QVERIFY(failureOf([&] { rs.open(QStringLiteral("SELECT * FROM Scratch"), connectionString()); }));
    // A semicolon inside a quoted value is data, not a second statement.
    rs.open(QStringLiteral("SELECT COUNT(*) AS n FROM vw_Subscriber WHERE Alias = 'a;b'"), connectionString());
    QCOMPARE(rs.text(QStringLiteral("n")), QStringLiteral("0"));
}

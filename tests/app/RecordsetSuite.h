#pragma once

#include "DemoDatabase.h"
#include "app/Failure.h"
#include "app/Recordset.h"
#include "app/SharedServices.h"

#include <QTest>

#include <functional>
#include <optional>

// Leads a recordset into a failure, which must carry `number` and `text` (our own texts in full; the
// database's need only name the culprit) and leave the recordset open or not.
struct Failing
{
    std::function<void(tarnwick::Recordset&)> step;
    int number;
    QString text;
    bool openAfter;
};
Q_DECLARE_METATYPE(Failing)

// The recordset's contract, checked alike on every database back end the product code may meet: each
// back end's suite fills a fresh database with fill() in its initTestCase and says how to reach it.
class RecordsetSuite : public QObject
{
    Q_OBJECT

protected:
    // The product's connection string to the filled database.
    virtual QString connectionString() const = 0;
    // Connection strings that reach no database: tag, connection string.
    virtual QList<QPair<QString, QString>> unreachable() const = 0;

    static void fill(tarnwick::demo::DemoDatabase& db)
    {
        using Sub = tarnwick::demo::DemoDatabase::Subscriber;
        db.addCos("COS-1", "Default Subscriber");
        // Out of key order, so only ORDER BY decides the walk.
        db.addSubscriber(Sub{"SUB-03", "zmuller", "Zoë", "Müller", "Müller, Zoë \"Z\"", "1003", "CH-03", "COS-1", 1});
        db.addSubscriber(Sub{"SUB-01", "asmith", "Anna", "Smith", "Smith, Anna", "1001", "CH-01", "COS-1", 1});
        db.addSubscriber(Sub{"SUB-05", "zhang", "Wěi", "Zhang", "张伟", "1005", "CH-05", "COS-1", 3});
        db.addSubscriber(Sub{"SUB-02", "nofirst", std::nullopt, "Okafor", "", std::nullopt, "CH-02", "COS-1", 3});
        db.addSubscriber(Sub{"SUB-04", "faxgw", "", "", "Fax Gateway", "1004", "CH-04", "COS-1", 6});
        db.addPrivateList("PDL-1", "SUB-01", "team1", "My team", "1");
        db.addMember("PDL-1", 1, "SUB-03", "zmuller", "Müller, Zoë \"Z\"");
    }

    static QString subscriber(const char* id)
    {
        return QString("SELECT * FROM vw_Subscriber WHERE SubscriberObjectID = '%1'").arg(id);
    }

    static std::optional<tarnwick::Failure> failureOf(const std::function<void()>& step)
    {
        try { step(); } catch (const tarnwick::Failure& failure) { return failure; }
        return std::nullopt;
    }

    static inline const QString kAll = "SELECT * FROM vw_Subscriber ORDER BY SubscriberObjectID", kNull = "<null>";

private Q_SLOTS:
    void walk_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("all, by id") << kAll << QStringList{"SUB-01", "SUB-02", "SUB-03", "SUB-04", "SUB-05"};
        QTest::newRow("non-ASCII text in the query")
            << "SELECT * FROM vw_Subscriber WHERE DisplayName = 'Müller, Zoë \"Z\"'" << QStringList{"SUB-03"};
        QTest::newRow("no rows; a quoted semicolon is data")
            << "SELECT SubscriberObjectID FROM vw_Subscriber WHERE Alias = 'a;b'" << QStringList();
    }

    void walk()
    {
        QFETCH(QString, sql);
        QFETCH(QStringList, expected);
        tarnwick::Recordset rs;
        rs.open(sql, connectionString());
        QCOMPARE(rs.state(), 1);
        QCOMPARE(rs.recordCount(), expected.size()); // known before the first row is visited
        QStringList seen;
        for (rs.moveFirst(); !rs.atEnd(); rs.moveNext())
            seen << rs.text("SubscriberObjectID");
        QCOMPARE(seen, expected);
        rs.close();
        QCOMPARE(rs.state(), 0);
    }

    void fieldText_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("expected");
        const QString sub2 = subscriber("SUB-02");
        QTest::newRow("any letter case") << subscriber("SUB-01") << "cOsObJeCtId" << "COS-1";
        QTest::newRow("list id, as the walk spells it")
            << "SELECT * FROM vw_PersonalDList WHERE ParentObjectID = 'SUB-01'" << "PersonalDListOBjectID" << "PDL-1";
        QTest::newRow("two columns of one name: the first wins")
            << "SELECT Alias, DisplayName AS ALIAS FROM vw_Subscriber WHERE Alias = 'asmith'" << "alias" << "asmith";
        QTest::newRow("null first name") << sub2 << "FirstName" << kNull;
        QTest::newRow("null extension") << sub2 << "DTMFAccessID" << kNull;
        QTest::newRow("empty display name") << sub2 << "DisplayName" << "";
        QTest::newRow("comma, quotes, accents") << subscriber("SUB-03") << "DisplayName" << "Müller, Zoë \"Z\"";
        QTest::newRow("non-Latin script") << subscriber("SUB-05") << "DisplayName" << "张伟";
        QTest::newRow("integer column") << sub2 << "SubscriberType" << "3";
        QTest::newRow("negative number")
            << "SELECT SubscriberType - 10 AS Delta FROM vw_Subscriber WHERE Alias = 'asmith'" << "Delta" << "-9";
    }

    void fieldText()
    {
        QFETCH(QString, sql);
        QFETCH(QString, field);
        QFETCH(QString, expected);
        tarnwick::Recordset rs;
        rs.open(sql, connectionString());
        QCOMPARE(rs.isNull(field), expected == kNull);
        QCOMPARE(tarnwick::GetFieldString(rs, field), expected == kNull ? QString() : expected);
        if (expected != kNull)
            QCOMPARE(rs.text(field), expected);
    }

    void failures_data()
    {
        using namespace tarnwick::ErrorNumber;
        QTest::addColumn<Failing>("c");
        const QString db = connectionString(), closed = "Operation is not allowed when the object is closed.";
        // A query that fails on an open recordset leaves it closed.
        const auto reopen = [db](const QString& sql) { return [=](auto& rs) { rs.open(kAll, db); rs.open(sql, db); }; };
        const auto on = [db](const char* id, auto f) { return [=](auto& rs) { rs.open(subscriber(id), db); f(rs); }; };
        QTest::newRow("close when never opened") << Failing{[](auto& rs) { rs.close(); }, ObjectClosed, closed, false};
        QTest::newRow("close twice")
            << Failing{[=](auto& rs) { rs.open(kAll, db); rs.close(); rs.close(); }, ObjectClosed, closed, false};
        QTest::newRow("text of a null") << Failing{on("SUB-02", [](auto& rs) { rs.text("FirstName"); }),
                                                   InvalidUseOfNull, "Invalid use of Null", true};
        QTest::newRow("a field the query lacks")
            << Failing{on("SUB-01", [](auto& rs) { rs.value("NoSuchField"); }), ItemNotFound,
                       "Item cannot be found in the collection corresponding to the requested name or ordinal.", true};
        QTest::newRow("no current row")
            << Failing{on("SUB-01", [](auto& rs) { rs.moveNext(); rs.text("Alias"); }), NoCurrentRecord,
                       "Either BOF or EOF is True, or the current record has been deleted. Requested operation "
                       "requires a current record.", true};
        // Queries the database refuses, with what its text must name; writes are refused before they reach it.
        const QList<QPair<QString, QString>> refused = {
            {"SELECT * FROM vw_NoSuchView", "vw_NoSuchView"}, {"SELECT NoSuchColumn FROM vw_COS", "NoSuchColumn"},
            {"SELEC * FROM vw_Subscriber", "SELEC"}, {"UPDATE Subscriber SET LastName = 'Changed'", ""},
            {"UPDATE vw_Subscriber SET LastName = 'Changed'", ""}, {"DELETE FROM PersonalDListMember", ""},
            {"INSERT INTO Cos (COSObjectID, TextName) VALUES ('COS-X', 'Changed')", ""},
            {"CREATE TABLE Scratch (x INTEGER)", ""}, {"SELECT 1; DELETE FROM PersonalDListMember", ""},
            {"SELECT 'a;b' AS x; CREATE TABLE Scratch (x INTEGER)", ""}};
        for (const auto& [sql, culprit] : refused)
            QTest::newRow(qPrintable(sql)) << Failing{reopen(sql), DatabaseError, culprit, false};
        for (const auto& [tag, conn] : unreachable())
            QTest::newRow(qPrintable(tag)) << Failing{[=](auto& rs) { rs.open(kAll, conn); }, DatabaseError, {}, false};
    }

    void failures()
    {
        QFETCH(Failing, c);
        tarnwick::Recordset rs;
        const auto failure = failureOf([&] { c.step(rs); });
        QVERIFY(failure);
        QCOMPARE(failure->number(), c.number);
        const QString description = failure->description();
        QVERIFY2(c.number == tarnwick::ErrorNumber::DatabaseError
                     ? description.contains(c.text, Qt::CaseInsensitive) && !description.trimmed().isEmpty()
                     : description == c.text,
                 qPrintable(description));
        QCOMPARE(rs.isOpen(), c.openAfter);
        QCOMPARE(tarnwick::GetFieldString(rs, "NoSuchField"), QString()); // whatever the state, it never fails
        // Nothing was written, and the connection still serves.
        rs.open("SELECT (SELECT COUNT(*) FROM vw_Subscriber WHERE LastName = 'Changed') AS a, "
                "(SELECT COUNT(*) FROM vw_PersonalDListMember) AS b, (SELECT COUNT(*) FROM vw_COS) AS c, "
                "(SELECT COUNT(*) FROM vw_Subscriber) AS d", connectionString());
        QCOMPARE((QStringList{rs.text(0), rs.text(1), rs.text(2), rs.text(3)}), (QStringList{"0", "1", "1", "5"}));
        QVERIFY(failureOf([&] { rs.open("SELECT * FROM Scratch", connectionString()); }));
    }
};

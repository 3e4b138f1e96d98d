#pragma once

#include "DemoDatabase.h"
#include "base/Failure.h"
#include "base/Recordset.h"

#include <QSqlDatabase>
#include <QTest>

#include <functional>

// Leads a recordset into a failure with `number` and `text` (ours in full; the database's need only name the culprit).
struct Failing
{
    std::function<void(tarnwick::Recordset&)> step;
    int number;
    QString text;
    bool openAfter;
};
Q_DECLARE_METATYPE(Failing)

// The recordset's contract on every back end: each suite fills a fresh database with fill() and says how to reach it.
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

    static inline const QString kAll = "SELECT * FROM vw_Subscriber ORDER BY SubscriberObjectID", kNull = "<null>",
                                kOne = "SELECT * FROM vw_Subscriber WHERE SubscriberObjectID = ";

private Q_SLOTS:
    void read_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QStringList>("expected"); // the field's text in every row, in order
        QTest::newRow("display names, in ORDER BY order")
            << kAll << "DisplayName" << QStringList{"Smith, Anna", "", "Müller, Zoë \"Z\"", "Fax Gateway", "张伟"};
        QTest::newRow("null first name beside an empty one")
            << kAll << "FirstName" << QStringList{"Anna", kNull, "Zoë", "", "Wěi"};
        QTest::newRow("integer column") << kAll << "SubscriberType" << QStringList{"1", "3", "1", "6", "3"};
        QTest::newRow("any letter case") << kOne + "'SUB-01'" << "cOsObJeCtId" << QStringList{"COS-1"};
        QTest::newRow("list id, as the walk spells it")
            << "SELECT * FROM vw_PersonalDList" << "PersonalDListOBjectID" << QStringList{"PDL-1"};
        QTest::newRow("two columns of one name: the first wins")
            << "SELECT Alias, DisplayName AS ALIAS FROM vw_Subscriber WHERE Alias = 'asmith'" << "alias"
            << QStringList{"asmith"};
        QTest::newRow("non-ASCII text in the query")
            << "SELECT * FROM vw_Subscriber WHERE DisplayName = 'Müller, Zoë \"Z\"'" << "Alias"
            << QStringList{"zmuller"};
        QTest::newRow("a character of one byte and of two, side by side")
            << "SELECT 'ÿ' AS Name UNION ALL SELECT 'Āÿ'" << "Name" << QStringList{"ÿ", "Āÿ"};
        // More rows than one fetch brings, more cells than a page of the store holds.
        QStringList repeated;
        for (const char* alias : {"asmith", "faxgw", "nofirst", "zhang", "zmuller"})
            repeated += QStringList(15625, alias);
        QTest::newRow("78,125 rows")
            << "SELECT a.Alias FROM vw_Subscriber a, vw_Subscriber b, vw_Subscriber c, vw_Subscriber d, vw_Subscriber "
               "e, vw_Subscriber f, vw_Subscriber g ORDER BY a.Alias"
            << "Alias" << repeated;
        QTest::newRow("no rows; a quoted semicolon is data")
            << "SELECT Alias FROM vw_Subscriber WHERE Alias = 'a;b'" << "Alias" << QStringList();
    }

    void read()
    {
        QFETCH(QString, sql);
        QFETCH(QString, field);
        QFETCH(QStringList, expected);
        // Read here, and on a thread of its own while this one waits: the same rows either way,
        // and the reading thread leaves no connection behind.
        for (const bool inBackground : {false, true}) {
            const QStringList connections = QSqlDatabase::connectionNames();
            tarnwick::Recordset rs;
            rs.open(sql, connectionString(), inBackground ? std::function<void()>([] {}) : std::function<void()>());
            QCOMPARE(rs.state(), 1);
            QCOMPARE(rs.recordCount(), expected.size()); // known before the first row is visited
            QStringList seen;
            for (rs.moveFirst(); !rs.atEnd(); rs.moveNext()) {
                seen << (rs.isNull(field) ? kNull : rs.text(field));
                QCOMPARE(tarnwick::GetFieldString(rs, field), rs.isNull(field) ? QString() : seen.last());
            }
            QCOMPARE(seen, expected);
            rs.close();
            QCOMPARE(rs.state(), 0);
            if (inBackground)
                QCOMPARE(QSqlDatabase::connectionNames(), connections);
        }
    }

    void failures_data()
    {
        using namespace tarnwick::ErrorNumber;
        QTest::addColumn<Failing>("c");
        const QString db = connectionString(), closed = "Operation is not allowed when the object is closed.";
        // A query that fails on an open recordset leaves it closed.
        const auto reopen = [db](const QString& sql) { return [=](auto& rs) { rs.open(kAll, db); rs.open(sql, db); }; };
        const auto on = [db](const char* id, auto f) { return [=](auto& rs) { rs.open(kOne + id, db); f(rs); }; };
        QTest::newRow("close when never opened") << Failing{[](auto& rs) { rs.close(); }, ObjectClosed, closed, false};
        QTest::newRow("close twice")
            << Failing{[=](auto& rs) { rs.open(kAll, db); rs.close(); rs.close(); }, ObjectClosed, closed, false};
        QTest::newRow("text of a null") << Failing{on("'SUB-02'", [](auto& rs) { rs.text("FirstName"); }),
                                                   InvalidUseOfNull, "Invalid use of Null", true};
        QTest::newRow("a field the query lacks")
            << Failing{on("'SUB-01'", [](auto& rs) { rs.value("NoSuchField"); }), ItemNotFound,
                       "Item cannot be found in the collection corresponding to the requested name or ordinal.", true};
        QTest::newRow("no current row")
            << Failing{on("'SUB-01'", [](auto& rs) { rs.moveNext(); rs.text("Alias"); }), NoCurrentRecord,
                       "Either BOF or EOF is True, or the current record has been deleted. Requested operation "
                       "requires a current record.", true};
        // Queries the database refuses, with what its text must name; writes are refused before they reach it.
        const QList<QPair<QString, QString>> refused = {
            {"SELECT * FROM vw_NoSuchView", "vw_NoSuchView"},
            {"SELECT NoSuchColumn FROM vw_COS", "NoSuchColumn"},
            {"SELEC * FROM vw_Subscriber", "SELEC"},
            {"UPDATE Subscriber SET LastName = 'Changed'", ""},
            {"INSERT INTO Cos (COSObjectID, TextName) VALUES ('COS-X', 'Changed')", ""},
            {"SELECT 1; DELETE FROM PersonalDListMember", ""},
            {"SELECT 'a;b' AS x; CREATE TABLE Scratch (x INTEGER)", ""}};
        for (const auto& [sql, culprit] : refused)
            QTest::newRow(qPrintable(sql)) << Failing{reopen(sql), DatabaseError, culprit, false};
        QTest::newRow("a refused query read on a thread of its own")
            << Failing{[db](auto& rs) { rs.open("SELECT * FROM vw_NoSuchView", db, [] {}); }, DatabaseError,
                       "vw_NoSuchView", false};
        for (const auto& [tag, conn] : unreachable())
            QTest::newRow(qPrintable(tag))
                << Failing{[conn = conn](auto& rs) { rs.open(kAll, conn); }, DatabaseError, {}, false};
    }

    void failures()
    {
        QFETCH(Failing, c);
        tarnwick::Recordset rs;
        try {
            c.step(rs);
            QFAIL("no failure");
        } catch (const tarnwick::Failure& failure) {
            QCOMPARE(failure.number(), c.number);
            const QString text = failure.description();
            QVERIFY2(c.number == tarnwick::ErrorNumber::DatabaseError
                         ? text.contains(c.text, Qt::CaseInsensitive) && !text.trimmed().isEmpty()
                         : text == c.text,
                     qPrintable(text));
        }
        QCOMPARE(rs.isOpen(), c.openAfter);
        QCOMPARE(tarnwick::GetFieldString(rs, "NoSuchField"), QString()); // whatever the state, it never fails
        // Nothing was written, and the connection still serves.
        rs.open("SELECT (SELECT COUNT(*) FROM vw_Subscriber WHERE LastName = 'Changed') AS a, "
                "(SELECT COUNT(*) FROM vw_PersonalDListMember) AS b, (SELECT COUNT(*) FROM vw_COS) AS c, "
                "(SELECT COUNT(*) FROM vw_Subscriber) AS d", connectionString());
        QCOMPARE((QStringList{rs.text(0), rs.text(1), rs.text(2), rs.text(3)}), (QStringList{"0", "1", "1", "5"}));
        QVERIFY_THROWS_EXCEPTION(tarnwick::Failure, rs.open("SELECT * FROM Scratch", connectionString()));
    }
};

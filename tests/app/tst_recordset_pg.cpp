// The recordset on a PostgreSQL product database through PostgreSQL's ODBC
// driver, read as tarnwick_reader. The server folds unquoted column names to
// lower case, so every by-name lookup here crosses that fold.
#include "RecordsetSuite.h"

#include "app/Recordset.h"
#include "support/PostgresDatabase.h"

#include <QTest>

#include <memory>

using tarnwick::test::PostgresDatabase;

class tst_RecordsetPg : public RecordsetSuite
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        m_pg = std::make_unique<PostgresDatabase>();
        TARNWICK_REQUIRE_POSTGRES(*m_pg);
        fill(m_pg->database());
    }
    void cleanupTestCase() { m_pg.reset(); }

    void columnNamesComeBackFolded()
    {
        tarnwick::Recordset rs;
        rs.open(QStringLiteral("SELECT SubscriberObjectID, DisplayName FROM vw_Subscriber"), connectionString());
        QCOMPARE(rs.fieldNames(), (QStringList{QStringLiteral("subscriberobjectid"), QStringLiteral("displayname")}));
        rs.close();
    }

protected:
    QString connectionString() const override { return m_pg->connectionString(); }
    QList<QPair<QString, QString>> unreachable() const override
    {
        const QString reader = QStringLiteral("tarnwick_reader");
        return {
            // Port 1 on the loopback: nobody listens there.
            {QStringLiteral("no server on the port"),
             PostgresDatabase::connectionString(m_pg->name(), reader, PostgresDatabase::readerPassword(), 1)},
            {QStringLiteral("wrong password"),
             PostgresDatabase::connectionString(m_pg->name(), reader, QStringLiteral("not-the-password"))},
            {QStringLiteral("no such database"),
             PostgresDatabase::connectionString(QStringLiteral("tarnwick_no_such_db"), reader,
                                                PostgresDatabase::readerPassword())},
        };
    }

private:
    std::unique_ptr<PostgresDatabase> m_pg;
};

QTEST_GUILESS_MAIN(tst_RecordsetPg)
#include "tst_recordset_pg.moc"

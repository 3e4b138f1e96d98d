// The recordset on a SQLite product database through the SQLite ODBC driver.
#include "RecordsetSuite.h"

#include "support/TestEnvironment.h"

#include <QTest>

class tst_Recordset : public RecordsetSuite
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { fill(m_env.database()); }

protected:
    QString connectionString() const override { return m_env.connectionString(); }
    QList<QPair<QString, QString>> unreachable() const override
    {
        return {{QStringLiteral("file in a folder that does not exist"),
                 tarnwick::demo::DemoDatabase::sqliteConnectionString(
                     m_env.path(QStringLiteral("no/such/folder/OrvaneDb")))}};
    }

private:
    tarnwick::test::TestEnvironment m_env;
};

QTEST_GUILESS_MAIN(tst_Recordset)
#include "tst_recordset.moc"

#include "DemoDatabase.h"

#include <QFile>
#include <QHash>
#include <QSqlError>
#include <QUuid>

#include <map>
#include <random>
#include <stdexcept>

namespace tarnwick::demo {

struct PreparedStatements
{
    std::map<QString, std::unique_ptr<QSqlQuery>> byKey;
};

namespace {

QVariant bindable(const Text& t)
{
    if (!t)
        return QVariant(QMetaType::fromType<QString>());
    // Qt SQL binds a null QString as NULL; an engaged empty text is the empty value.
    return t->isNull() ? QVariant(QString(QLatin1String(""))) : QVariant(*t);
}

[[noreturn]] void fail(const QString& what, const QSqlError& error)
{
    throw std::runtime_error((what + QStringLiteral(": ") + error.text()).toStdString());
}

} // namespace

DemoDatabase::DemoDatabase(QSqlDatabase db) : m_db(std::move(db)), m_statements(std::make_unique<PreparedStatements>()) {}

DemoDatabase::~DemoDatabase()
{
    m_statements.reset();
    if (!m_connectionName.isEmpty()) {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connectionName);
    }
}

std::unique_ptr<DemoDatabase> DemoDatabase::createSqlite(const QString& path)
{
    QFile::remove(path);
    static int counter = 0;
    const QString name = QStringLiteral("tarnwick-fixture-%1").arg(++counter);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(path);
    if (!db.open())
        fail(QStringLiteral("cannot create ") + path, db.lastError());
    // Write-ahead logging, so that a reader's one transaction for a whole
    // export lets writers go on, as on the product's own server.
    QSqlQuery(db).exec(QStringLiteral("PRAGMA journal_mode=WAL"));
    auto out = std::make_unique<DemoDatabase>(db);
    out->m_connectionName = name;
    out->createSchema();
    return out;
}

QString DemoDatabase::sqliteConnectionString(const QString& path)
{
    return QStringLiteral("Driver={SQL Server};server=;database=") + path;
}

QString DemoDatabase::schemaSql()
{
    QFile file(QStringLiteral(":/demo/schema.sql"));
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("schema resource missing");
    return QString::fromUtf8(file.readAll());
}

void DemoDatabase::createSchema()
{
    QString script = schemaSql();
    // Drop comment lines, then run statement by statement.
    QStringList lines = script.split(QLatin1Char('\n'));
    lines.removeIf([](const QString& l) { return l.trimmed().startsWith(QStringLiteral("--")); });
    const QStringList statements = lines.join(QLatin1Char('\n')).split(QLatin1Char(';'));
    for (const QString& statement : statements) {
        if (!statement.trimmed().isEmpty())
            exec(statement.trimmed());
    }
}

void DemoDatabase::beginBatch()
{
    if (!m_db.transaction())
        fail(QStringLiteral("begin"), m_db.lastError());
}

void DemoDatabase::commitBatch()
{
    if (!m_db.commit())
        fail(QStringLiteral("commit"), m_db.lastError());
}

void DemoDatabase::exec(const QString& sql)
{
    QSqlQuery q(m_db);
    if (!q.exec(sql))
        fail(sql, q.lastError());
}

QSqlQuery& DemoDatabase::prepared(const QString& key, const QString& sql)
{
    auto& slot = m_statements->byKey[key];
    if (!slot) {
        slot = std::make_unique<QSqlQuery>(m_db);
        if (!slot->prepare(sql))
            fail(sql, slot->lastError());
    }
    return *slot;
}

void DemoDatabase::run(QSqlQuery& q)
{
    if (!q.exec())
        fail(q.lastQuery(), q.lastError());
}

void DemoDatabase::addCos(const QString& id, const Text& name)
{
    QSqlQuery& q = prepared(QStringLiteral("cos"), QStringLiteral("INSERT INTO Cos (COSObjectID, TextName) VALUES (?, ?)"));
    q.bindValue(0, id);
    q.bindValue(1, bindable(name));
    run(q);
}

void DemoDatabase::addSubscriber(const Subscriber& s)
{
    QSqlQuery& q = prepared(QStringLiteral("sub"),
                            QStringLiteral("INSERT INTO Subscriber (SubscriberObjectID, Alias, FirstName, LastName, "
                                           "DisplayName, DTMFAccessID, CallHandlerObjectID, COSObjectID, SubscriberType) "
                                           "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    q.bindValue(0, s.objectId);
    q.bindValue(1, bindable(s.alias));
    q.bindValue(2, bindable(s.firstName));
    q.bindValue(3, bindable(s.lastName));
    q.bindValue(4, bindable(s.displayName));
    q.bindValue(5, bindable(s.extension));
    q.bindValue(6, bindable(s.callHandlerId));
    q.bindValue(7, bindable(s.cosId));
    q.bindValue(8, s.subscriberType);
    run(q);
    if (s.extension)
        addExtension(s.objectId, s.extension->trimmed());
}

void DemoDatabase::addExtension(const QString& subscriberId, const QString& extension)
{
    QSqlQuery& q = prepared(QStringLiteral("ext"),
                            QStringLiteral("INSERT INTO DtmfAccess (DTMFAccessID, ParentObjectID) VALUES (?, ?)"));
    q.bindValue(0, extension);
    q.bindValue(1, subscriberId);
    run(q);
}

void DemoDatabase::addPublicList(const QString& id, const Text& alias, const Text& displayName, const Text& extension)
{
    QSqlQuery& q = prepared(QStringLiteral("dl"),
                            QStringLiteral("INSERT INTO DistributionList (SystemDListObjectID, Alias, DisplayName, "
                                           "DTMFAccessID) VALUES (?, ?, ?, ?)"));
    q.bindValue(0, id);
    q.bindValue(1, bindable(alias));
    q.bindValue(2, bindable(displayName));
    q.bindValue(3, bindable(extension));
    run(q);
}

void DemoDatabase::addPrivateList(const QString& id, const QString& ownerId, const Text& alias,
                                  const Text& displayName, const Text& extension)
{
    QSqlQuery& q = prepared(QStringLiteral("pdl"),
                            QStringLiteral("INSERT INTO PersonalDList (PersonalDListObjectID, ParentObjectID, Alias, "
                                           "DisplayName, DTMFAccessID) VALUES (?, ?, ?, ?, ?)"));
    q.bindValue(0, id);
    q.bindValue(1, ownerId);
    q.bindValue(2, bindable(alias));
    q.bindValue(3, bindable(displayName));
    q.bindValue(4, bindable(extension));
    run(q);
}

void DemoDatabase::addMember(const QString& listId, int objectType, const Text& objectId, const Text& alias,
                             const Text& displayName)
{
    QSqlQuery& q = prepared(QStringLiteral("member"),
                            QStringLiteral("INSERT INTO PersonalDListMember (MemberSeq, ParentObjectID, ObjectType, "
                                           "ObjectID, Alias, DisplayName) VALUES (?, ?, ?, ?, ?, ?)"));
    q.bindValue(0, ++m_memberSeq);
    q.bindValue(1, listId);
    q.bindValue(2, objectType);
    q.bindValue(3, bindable(objectId));
    q.bindValue(4, bindable(alias));
    q.bindValue(5, bindable(displayName));
    run(q);
}

} // namespace tarnwick::demo

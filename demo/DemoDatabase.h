#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include <memory>
#include <optional>

namespace tarnwick::demo {

using Text = std::optional<QString>;  // std::nullopt is a database null

// The one builder of product databases: the demo database, the large
// benchmark database and every test fixture. It writes through any open
// Qt SQL connection (SQLite directly, PostgreSQL through ODBC); the tool
// itself only ever reads what it builds.
class DemoDatabase
{
public:
    struct Subscriber
    {
        QString objectId;
        Text alias;
        Text firstName;
        Text lastName;
        Text displayName;
        Text extension;          // the primary extension, in vw_Subscriber
        Text callHandlerId;
        Text cosId;
        int subscriberType = 1;
    };

    explicit DemoDatabase(QSqlDatabase db);
    ~DemoDatabase();

    // A new SQLite file at `path` (replacing any), with the schema.
    static std::unique_ptr<DemoDatabase> createSqlite(const QString& path);
    // The connection string that reaches a SQLite product database through
    // the "SQL Server" ODBC driver name.
    static QString sqliteConnectionString(const QString& path);
    // The schema script (portable SQL).
    static QString schemaSql();

    QSqlDatabase& connection() { return m_db; }
    void createSchema();
    void beginBatch();
    void commitBatch();

    void addCos(const QString& id, const Text& name);
    // Adds the subscriber and, when it has one, its extension to vw_DTMFAccessID.
    void addSubscriber(const Subscriber& s);
    void addExtension(const QString& subscriberId, const QString& extension);
    void addPublicList(const QString& id, const Text& alias, const Text& displayName, const Text& extension);
    void addPrivateList(const QString& id, const QString& ownerId, const Text& alias, const Text& displayName,
                        const Text& extension);
    // objectType 1: a subscriber member; 2: a public distribution list member.
    void addMember(const QString& listId, int objectType, const Text& objectId, const Text& alias,
                   const Text& displayName);
    // Runs any statement (tests use it to shape awkward data); throws on failure.
    void exec(const QString& sql);

private:
    QSqlQuery& prepared(const QString& key, const QString& sql);
    void run(QSqlQuery& q);

    QSqlDatabase m_db;
    QString m_connectionName;
    std::unique_ptr<struct PreparedStatements> m_statements;
    qint64 m_memberSeq = 0;
};

struct GeneratorOptions
{
    int subscribers = 300;
    int privateListsPerOwner = 3;    // average
    int membersPerList = 15;         // average
    unsigned seed = 20101005;
    bool awkwardData = true;         // the odd rows real servers hold
    bool awkwardNames = false;       // every display and list name one that trips readers of the CSV
    int subscriberIdLength = 36;     // longer: subscriber ids padded to this many characters
    int bigListMembers = 0;          // more than 0: the first subscriber also owns one list this long
};

// Options for the large benchmark database: 10,000 subscribers, about
// 30,000 private lists and 450,000 memberships.
GeneratorOptions largeOptions();

struct GeneratorSummary
{
    int subscribers = 0;
    int classesOfService = 0;
    int publicLists = 0;
    int privateLists = 0;
    int memberships = 0;
};

// Fills an empty database (schema already made) with a realistic organisation.
GeneratorSummary generateOrganisation(DemoDatabase& db, const GeneratorOptions& options);

} // namespace tarnwick::demo

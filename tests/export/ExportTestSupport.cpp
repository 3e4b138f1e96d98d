#include "ExportTestSupport.h"

#include "DemoDatabase.h"
#include "select/SelectionGrid.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QtTest>

namespace tarnwick::test {

void addGridRow(SelectionGrid& grid, const QString& objectId, const QString& alias,
                const QString& displayName, const QString& extension, bool ticked)
{
    grid.AddItem(QString::number(grid.Rows()));
    const int row = grid.Rows() - 1;
    grid.setCellChecked(row, grid.ColIndex(QStringLiteral("Selected")), ticked);
    grid.setTextMatrix(row, grid.ColIndex(QStringLiteral("ObjectID")), objectId);
    grid.setTextMatrix(row, grid.ColIndex(QStringLiteral("Alias")), alias);
    grid.setTextMatrix(row, grid.ColIndex(QStringLiteral("DisplayName")), displayName);
    grid.setTextMatrix(row, grid.ColIndex(QStringLiteral("Extension")), extension);
}

void buildWalkFixture(demo::DemoDatabase& db)
{
    using S = demo::DemoDatabase::Subscriber;
    db.beginBatch();
    db.addCos(QStringLiteral("C1"), QStringLiteral("Default"));
    const auto subscriber = [](const char* id, const char* alias, const QString& name,
                               demo::Text ext) {
        return S{QString::fromLatin1(id),
                 QString::fromLatin1(alias),
                 {},
                 {},
                 name,
                 std::move(ext),
                 QStringLiteral("H-") + QString::fromLatin1(id),
                 QStringLiteral("C1"),
                 1};
    };
    db.addSubscriber(
        subscriber("S-OWNER", "jsmith", QStringLiteral("Smith, John"), QStringLiteral("1001")));
    db.addSubscriber(subscriber("S-NOLISTS", "nolists", QStringLiteral("Nobody \"Nolists\""),
                                QStringLiteral("1002")));
    db.addSubscriber(
        subscriber("S-ANNA", "amuller", QStringLiteral("Anna Müller"), QStringLiteral("  2002  ")));
    db.addSubscriber(subscriber("S-NOEXT", "noext", QStringLiteral("No Ext"), std::nullopt));
    db.addPublicList(QStringLiteral("P-ALL"), QStringLiteral("allstaff"),
                     QStringLiteral("All Staff"), QStringLiteral(" 300 "));

    db.addPrivateList(QStringLiteral("L-TEAM"), QStringLiteral("S-OWNER"), QStringLiteral("team"),
                      QStringLiteral("Team, core"), QStringLiteral("11"));
    db.addMember(QStringLiteral("L-TEAM"), 1, QStringLiteral("S-ANNA"), QStringLiteral("amuller"),
                 QStringLiteral("Anna Müller"));
    db.addMember(QStringLiteral("L-TEAM"), 2, QStringLiteral("P-ALL"), QStringLiteral("allstaff"),
                 QStringLiteral("All \"Staff\""));
    db.addMember(QStringLiteral("L-TEAM"), 3, QStringLiteral("S-ANNA"), QStringLiteral("weird"),
                 QStringLiteral("Weird"));
    db.addMember(QStringLiteral("L-TEAM"), 1, QStringLiteral("S-GHOST"), QStringLiteral("ghost"),
                 QStringLiteral("Ghost\r\nLine"));
    db.addMember(QStringLiteral("L-TEAM"), 1, QStringLiteral("S-NOEXT"), QStringLiteral("noext"),
                 QStringLiteral("No Ext"));
    db.addMember(QStringLiteral("L-TEAM"), 2, QStringLiteral("P-GHOST"),
                 QStringLiteral("o'brien,list"), std::nullopt);
    db.addPrivateList(QStringLiteral("L-EMPTY"), QStringLiteral("S-OWNER"), QStringLiteral("empty"),
                      std::nullopt, std::nullopt);
    db.commitBatch();
}

void addFixtureOwners(SelectionGrid& grid)
{
    addGridRow(grid, QStringLiteral("S-OWNER"), QStringLiteral("jsmith"),
               QStringLiteral("Smith, John"), QStringLiteral("1001"));
    addGridRow(grid, QStringLiteral("S-NOLISTS"), QStringLiteral("nolists"),
               QStringLiteral("Nobody \"Nolists\""), QStringLiteral("1002"));
}

QStringList fixtureCsvLines()
{
    const QString owner = QStringLiteral("jsmith,\"Smith, John\",1001,\"Team, core\",11,");
    return {
        QStringLiteral(
            "OWNER_ALIAS, OWNER_DISPLAY_NAME, OWNER_EXTENSION, LIST_NAME, LIST_ID, MEMBER_TYPE, "
            "MEMBER_ALIAS, MEMBER_DISPLAY_NAME, MEMBER_EXTENSION"),
        owner + QStringLiteral("SUBSCRIBER,amuller,Anna Müller,2002"),
        owner + QStringLiteral("PUBLIC LIST,allstaff,\"All \"\"Staff\"\"\", 300 "),
        owner + QStringLiteral("SUBSCRIBER,ghost,\"Ghost\r\nLine\","),
        owner + QStringLiteral("SUBSCRIBER,noext,No Ext,"),
        owner + QStringLiteral("PUBLIC LIST,\"o'brien,list\",,"),
    };
}

QList<QStringList> fixtureCsvRecords()
{
    const QStringList owner{QStringLiteral("jsmith"), QStringLiteral("Smith, John"),
                            QStringLiteral("1001"), QStringLiteral("Team, core"),
                            QStringLiteral("11")};
    const auto member = [&owner](const char* type, const QString& alias, const QString& name,
                                 const QString& ext) {
        return owner + QStringList{QString::fromLatin1(type), alias, name, ext};
    };
    return {
        // The header keeps its blanks after the commas.
        {QStringLiteral("OWNER_ALIAS"), QStringLiteral(" OWNER_DISPLAY_NAME"),
         QStringLiteral(" OWNER_EXTENSION"), QStringLiteral(" LIST_NAME"),
         QStringLiteral(" LIST_ID"), QStringLiteral(" MEMBER_TYPE"),
         QStringLiteral(" MEMBER_ALIAS"), QStringLiteral(" MEMBER_DISPLAY_NAME"),
         QStringLiteral(" MEMBER_EXTENSION")},
        member("SUBSCRIBER", QStringLiteral("amuller"), QStringLiteral("Anna Müller"),
               QStringLiteral("2002")),
        member("PUBLIC LIST", QStringLiteral("allstaff"), QStringLiteral("All \"Staff\""),
               QStringLiteral(" 300 ")),
        member("SUBSCRIBER", QStringLiteral("ghost"), QStringLiteral("Ghost\r\nLine"), QString()),
        member("SUBSCRIBER", QStringLiteral("noext"), QStringLiteral("No Ext"), QString()),
        member("PUBLIC LIST", QStringLiteral("o'brien,list"), QString(), QString()),
    };
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList crlfLines(const QString& path)
{
    QString text = QString::fromUtf8(readFile(path));
    if (text.endsWith(QStringLiteral("\r\n")))
        text.chop(2);
    return text.isEmpty() ? QStringList() : text.split(QStringLiteral("\r\n"));
}

QStringList logBody(const QString& logPath)
{
    const QStringList lines = crlfLines(logPath);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines[i].startsWith(QStringLiteral("Starting process at:")))
            return lines.mid(i + 2); // the header ends with an empty line
    }
    return {};
}

CommandResult runExportBinary(const QString& folder, const QStringList& arguments,
                              const QString& registryText)
{
    CommandResult result;
    const QString program = QDir(folder).filePath(QStringLiteral("tarnwick-export"));
    if (!QFile::exists(program) &&
        !QFile::copy(QStringLiteral(TARNWICK_BINARY_DIR "/bin/tarnwick-export"), program)) {
        qWarning() << "cannot copy tarnwick-export into" << folder;
        return result;
    }
    const QString registry = QDir(folder).filePath(QStringLiteral("registry.reg"));
    QFile reg(registry);
    if (!reg.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return result;
    reg.write(registryText.toUtf8());
    reg.close();

    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TARNWICK_REGISTRY"), registry);
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(folder);
    process.start(program, arguments);
    if (!process.waitForFinished(300000)) {
        qWarning() << "tarnwick-export did not finish";
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    for (const QString& line : result.err.split(QLatin1Char('\n'))) {
        if (line.startsWith(QStringLiteral("Log: ")))
            result.logPath = line.mid(5);
    }
    return result;
}

QList<QStringList> readCsvWithPython(const QString& path)
{
    static const QString script =
        QStringLiteral("import csv, json, sys\n"
                       "with open(sys.argv[1], newline='', encoding='utf-8') as f:\n"
                       "    json.dump(list(csv.reader(f)), sys.stdout)\n");
    QProcess python;
    python.start(QStringLiteral("python3"), {QStringLiteral("-c"), script, path});
    if (!python.waitForFinished(60000) || python.exitCode() != 0) {
        qWarning() << "python3 csv reader failed:" << python.readAllStandardError();
        return {};
    }
    QList<QStringList> records;
    const QJsonArray rows = QJsonDocument::fromJson(python.readAllStandardOutput()).array();
    for (const auto& row : rows) {
        QStringList fields;
        for (const auto& field : row.toArray())
            fields.append(field.toString());
        records.append(fields);
    }
    return records;
}

} // namespace tarnwick::test

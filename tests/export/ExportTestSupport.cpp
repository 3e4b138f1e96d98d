#include "ExportTestSupport.h"

#include <QtTest>

namespace tarnwick::test {

void buildWalkFixture(demo::DemoDatabase& db)
{
    const auto text = [](const char* s) { return s ? demo::Text(s) : std::nullopt; };
    db.beginBatch();
    db.addCos("C1", "Default");
    for (const auto& [id, alias, name, ext] : std::initializer_list<std::array<const char*, 4>>{
             {"S-OWNER", "jsmith", "Smith, John", "1001"},
             {"S-NOLISTS", "nolists", "Nobody \"Nolists\"", "1002"},
             {"S-'ANNA", "amuller", "Anna Müller", "  2002  "},
             {"S-NOEXT", "noext", "No Ext", nullptr}})
        db.addSubscriber({id, alias, {}, {}, name, text(ext), QString("H-") + id, "C1", 1});
    db.addPublicList("P-'ALL", "allstaff", "All Staff", " 300 ");
    db.addPrivateList("L-'TEAM", "S-OWNER", "team", "Team, core", "11");
    db.addPrivateList("L-EMPTY", "S-OWNER", "empty", std::nullopt, std::nullopt);
    for (const auto& [type, id, alias, name] :
         std::initializer_list<std::tuple<int, const char*, const char*, const char*>>{
             {1, "S-'ANNA", "amuller", "Anna Müller"},
             {2, "P-'ALL", "allstaff", "All \"Staff\""},
             {3, "S-'ANNA", "weird", "Weird"},
             {1, "S-GHOST", "ghost", "Ghost\r\nLine"},
             {1, "S-NOEXT", "noext", "No Ext"},
             {2, "P-GHOST", "o'brien,list", nullptr}})
        db.addMember("L-'TEAM", type, id, alias, text(name));
    db.commitBatch();
}

QStringList fixtureCsvLines()
{
    const QString owner = "jsmith,\"Smith, John\",1001,\"Team, core\",11,";
    return {MembershipCsv::kHeader,
            owner + "SUBSCRIBER,amuller,Anna Müller,2002",
            owner + "PUBLIC LIST,allstaff,\"All \"\"Staff\"\"\", 300 ",
            owner + "SUBSCRIBER,ghost,\"Ghost\r\nLine\",",
            owner + "SUBSCRIBER,noext,No Ext,",
            owner + "PUBLIC LIST,\"o'brien,list\",,"};
}

const QStringList kOwnerLog{"        Processing private list=team",
                            "        Processing private list=empty",
                            "            No members found for this private list"};
const QString kNoListsLine = "    No private lists configured for this subscriber";

ExportFixture::ExportFixture()
{
    buildWalkFixture(env.database());
    app.strConnectionString = env.connectionString();
}

void ExportFixture::addRow(const QString& objectId, const QString& alias, const QString& name,
                           const QString& extension, bool ticked)
{
    grid.AddItem(QString::number(grid.Rows()));
    const int row = grid.Rows() - 1;
    grid.setCellChecked(row, SelectionGrid::Selected, ticked);
    grid.setTextMatrix(row, SelectionGrid::ObjectID, objectId);
    grid.setTextMatrix(row, SelectionGrid::Alias, alias);
    grid.setTextMatrix(row, SelectionGrid::DisplayName, name);
    grid.setTextMatrix(row, SelectionGrid::Extension, extension);
}

void ExportFixture::addOwners()
{
    addRow("S-OWNER", "jsmith", "Smith, John", "1001");
    addRow("S-NOLISTS", "nolists", "Nobody \"Nolists\"", "1002");
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray crlfFile(const QStringList& lines)
{
    return lines.isEmpty() ? QByteArray() : (lines.join("\r\n") + "\r\n").toUtf8();
}

QStringList logBody(const QString& logPath)
{
    const QStringList lines = QString::fromUtf8(readFile(logPath)).split("\r\n");
    const qsizetype start = lines.indexOf(QRegularExpression("Starting process at:.*"));
    return start < 0 ? QStringList() : lines.mid(start + 2, lines.size() - start - 3);
}

CommandResult runExportBinary(const QString& folder, const QStringList& arguments,
                              const QString& registryText)
{
    const QDir dir(folder);
    QFile::copy(TARNWICK_BINARY_DIR "/bin/tarnwick-export", dir.filePath("tarnwick-export"));
    QFile registry(dir.filePath("registry.reg"));
    if (!registry.open(QIODevice::WriteOnly) || registry.write(registryText.toUtf8()) < 0)
        return {};
    registry.close();
    QProcess process;
    process.setEnvironment(QProcess::systemEnvironment()
                           << "TARNWICK_REGISTRY=" + registry.fileName());
    process.setWorkingDirectory(folder);
    process.start(dir.filePath("tarnwick-export"), arguments);
    if (!process.waitForFinished(300000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    const QString output =
        QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
    const qsizetype log = output.lastIndexOf("Log: ");
    return {process.exitCode(), output, log < 0 ? QString() : output.mid(log + 5).trimmed()};
}

} // namespace tarnwick::test

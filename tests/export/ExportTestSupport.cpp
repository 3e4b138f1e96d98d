#include "ExportTestSupport.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

namespace tarnwick::test {

using namespace Qt::StringLiterals;

void addGridRow(SelectionGrid& grid, const QString& objectId, const QString& alias,
                const QString& displayName, const QString& extension, bool ticked)
{
    grid.AddItem(QString::number(grid.Rows()));
    const int row = grid.Rows() - 1;
    grid.setCellChecked(row, SelectionGrid::Selected, ticked);
    grid.setTextMatrix(row, SelectionGrid::ObjectID, objectId);
    grid.setTextMatrix(row, SelectionGrid::Alias, alias);
    grid.setTextMatrix(row, SelectionGrid::DisplayName, displayName);
    grid.setTextMatrix(row, SelectionGrid::Extension, extension);
}

void buildWalkFixture(demo::DemoDatabase& db)
{
    const auto text = [](const char* s) {
        return s ? demo::Text(QString::fromUtf8(s)) : std::nullopt;
    };
    db.beginBatch();
    db.addCos(u"C1"_s, u"Default"_s);
    for (const auto& [id, alias, name, ext] : std::initializer_list<std::array<const char*, 4>>{
             {"S-OWNER", "jsmith", "Smith, John", "1001"},
             {"S-NOLISTS", "nolists", "Nobody \"Nolists\"", "1002"},
             {"S-'ANNA", "amuller", "Anna Müller", "  2002  "},
             {"S-NOEXT", "noext", "No Ext", nullptr}})
        db.addSubscriber({QString::fromUtf8(id),
                          text(alias),
                          {},
                          {},
                          text(name),
                          text(ext),
                          u"H-"_s + QString::fromUtf8(id),
                          u"C1"_s,
                          1});
    db.addPublicList(u"P-'ALL"_s, u"allstaff"_s, u"All Staff"_s, u" 300 "_s);
    db.addPrivateList(u"L-'TEAM"_s, u"S-OWNER"_s, u"team"_s, u"Team, core"_s, u"11"_s);
    db.addPrivateList(u"L-EMPTY"_s, u"S-OWNER"_s, u"empty"_s, std::nullopt, std::nullopt);
    for (const auto& [type, id, alias, name] :
         std::initializer_list<std::tuple<int, const char*, const char*, const char*>>{
             {1, "S-'ANNA", "amuller", "Anna Müller"},
             {2, "P-'ALL", "allstaff", "All \"Staff\""},
             {3, "S-'ANNA", "weird", "Weird"},
             {1, "S-GHOST", "ghost", "Ghost\r\nLine"},
             {1, "S-NOEXT", "noext", "No Ext"},
             {2, "P-GHOST", "o'brien,list", nullptr}})
        db.addMember(u"L-'TEAM"_s, type, text(id), text(alias), text(name));
    db.commitBatch();
}

void addFixtureOwners(SelectionGrid& grid)
{
    addGridRow(grid, u"S-OWNER"_s, u"jsmith"_s, u"Smith, John"_s, u"1001"_s);
    addGridRow(grid, u"S-NOLISTS"_s, u"nolists"_s, u"Nobody \"Nolists\""_s, u"1002"_s);
}

QStringList fixtureCsvLines()
{
    const QString owner = u"jsmith,\"Smith, John\",1001,\"Team, core\",11,"_s;
    return {MembershipCsv::kHeader,
            owner + u"SUBSCRIBER,amuller,Anna Müller,2002"_s,
            owner + u"PUBLIC LIST,allstaff,\"All \"\"Staff\"\"\", 300 "_s,
            owner + u"SUBSCRIBER,ghost,\"Ghost\r\nLine\","_s,
            owner + u"SUBSCRIBER,noext,No Ext,"_s,
            owner + u"PUBLIC LIST,\"o'brien,list\",,"_s};
}

QByteArray crlfFile(const QStringList& lines)
{
    QByteArray file;
    for (const QString& line : lines)
        file += line.toUtf8() + "\r\n";
    return file;
}

const QStringList kOwnerLog{u"        Processing private list=team"_s,
                            u"        Processing private list=empty"_s,
                            u"            No members found for this private list"_s};
const QString kNoListsLine = u"    No private lists configured for this subscriber"_s;

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList logBody(const QString& logPath)
{
    const QStringList lines = QString::fromUtf8(readFile(logPath)).split(u"\r\n"_s);
    const qsizetype start = lines.indexOf(QRegularExpression(u"Starting process at:.*"_s));
    return start < 0 ? QStringList() : lines.mid(start + 2, lines.size() - start - 3);
}

CommandResult runExportBinary(const QString& folder, const QStringList& arguments,
                              const QString& registryText)
{
    const QDir dir(folder);
    QFile::copy(u"" TARNWICK_BINARY_DIR "/bin/tarnwick-export"_s,
                dir.filePath(u"tarnwick-export"_s));
    QFile registry(dir.filePath(u"registry.reg"_s));
    if (!registry.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {};
    registry.write(registryText.toUtf8());
    registry.close();
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"TARNWICK_REGISTRY"_s, registry.fileName());
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(folder);
    process.start(dir.filePath(u"tarnwick-export"_s), arguments);
    if (!process.waitForFinished(300000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    const QString output =
        QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
    const qsizetype log = output.lastIndexOf(u"Log: "_s);
    return {process.exitCode(), output, log < 0 ? QString() : output.mid(log + 5).trimmed()};
}

} // namespace tarnwick::test

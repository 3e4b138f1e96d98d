#include "platform/RegFileRegistry.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using namespace tarnwick;

namespace {

// An export as the registry editor writes it: CR LF line ends, long hex
// lists wrapped with a backslash and a two-blank indent.
QString exportBody()
{
    return QStringLiteral(
        "\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kestrane]\r\n"
        "\"Version Number\"=dword:0004000a\r\n"
        "\"Build Number\"=dword:FFFFFFFF\r\n"
        "@=\"Default text\"\r\n"
        "\"Path\"=\"C:\\\\Program Files\\\\Kestrane \\\"Server\\\"\"\r\n"
        "\"Empty\"=\"\"\r\n"
        "\"Blob\"=hex:00,01,02,ff\r\n"
        "\"Wrapped\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\r\n"
        "  16,17,18,19\r\n"
        "\"Raw\"=hex(1):41,42\r\n"
        "\"Quad\"=hex(b):01,00,00,00,00,00,00,00\r\n"
        "\"Accented\"=\"Gr\u00fc\u00dfe\"\r\n"
        "\r\n"
        "; a comment line\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kestrane\\SystemParameters\\1.0]\r\n"
        "\"IDCProgID\"=\"KestraneDsExchange.KestraneIDCExchange.1\"\r\n"
        "\r\n");
}

struct Read
{
    long status = -1;
    std::uint32_t type = 0;
    QByteArray data;
};

Read read(RegistryBackend& registry, const QString& path, const QString& name, std::uint32_t bufferSize = 4096)
{
    Read r;
    RegistryKeyHandle key = 0;
    r.status = registry.openKey(kHkeyLocalMachine, path, 0, kKeyRead, key);
    if (r.status != RegStatus::Success)
        return r;
    std::uint32_t size = bufferSize;
    QByteArray buffer(bufferSize, '\0');
    r.status = registry.queryValue(key, name, r.type, buffer, size);
    if (r.status == RegStatus::Success)
        r.data = buffer.left(size);
    registry.closeKey(key);
    return r;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray sz(const QString& text)
{
    return text.toLocal8Bit() + QByteArray(1, '\0');
}

} // namespace

class TestRegFileRegistry : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsEditorExports_data();
    void readsEditorExports();
    void lookupIgnoresCaseAndTrailingSeparator_data();
    void lookupIgnoresCaseAndTrailingSeparator();
    void queryStatuses();
    void malformedLineIsSkippedWithOneWarning_data();
    void malformedLineIsSkippedWithOneWarning();
    void garbageLoadsNothing_data();
    void garbageLoadsNothing();
    void garbageFileWarnsOnStderr();
    void missingFileIsEmptyRegistry();
    void platformRegistryFile();

private:
    QTemporaryDir m_dir;
};

void TestRegFileRegistry::readsEditorExports_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const QString v5 = QStringLiteral("Windows Registry Editor Version 5.00\r\n") + exportBody();
    QStringEncoder utf16(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
    QTest::newRow("5.00 UTF-16LE with BOM") << QByteArray(utf16(v5));
    QTest::newRow("5.00 UTF-8 with BOM") << QByteArray("\xEF\xBB\xBF") + v5.toUtf8();
    QTest::newRow("5.00 UTF-8") << v5.toUtf8();
    QTest::newRow("REGEDIT4") << (QStringLiteral("REGEDIT4\r\n") + exportBody()).toLocal8Bit();
}

void TestRegFileRegistry::readsEditorExports()
{
    QFETCH(QByteArray, bytes);
    const QString path = m_dir.filePath(QStringLiteral("export.reg"));
    QVERIFY(writeFile(path, bytes));

    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
    auto registry = RegFileRegistry::fromFile(path);

    const QString kestrane = QStringLiteral("SOFTWARE\\Kestrane");
    struct Expected
    {
        const char* name;
        std::uint32_t type;
        QByteArray data;
    };
    QByteArray wrapped;
    for (char b = 0; b <= 0x19; ++b)
        wrapped.append(b);
    const Expected expected[] = {
        {"Version Number", RegType::DWord, QByteArray("\x0a\x00\x04\x00", 4)},
        {"Build Number", RegType::DWord, QByteArray("\xff\xff\xff\xff", 4)},
        {"", RegType::String, sz(QStringLiteral("Default text"))},
        {"Path", RegType::String, sz(QStringLiteral("C:\\Program Files\\Kestrane \"Server\""))},
        {"Empty", RegType::String, QByteArray(1, '\0')},
        {"Blob", RegType::Binary, QByteArray("\x00\x01\x02\xff", 4)},
        {"Wrapped", RegType::Binary, wrapped},
        {"Raw", 1, QByteArray("AB")},
        {"Quad", RegType::QWord, QByteArray("\x01\0\0\0\0\0\0\0", 8)},
        {"Accented", RegType::String, sz(QStringLiteral("Gr\u00fc\u00dfe"))},
    };
    for (const Expected& e : expected) {
        const Read r = read(*registry, kestrane, QString::fromLatin1(e.name));
        QCOMPARE(r.status, RegStatus::Success);
        QCOMPARE(r.type, e.type);
        QCOMPARE(r.data, e.data);
    }
    const Read idc = read(*registry, QStringLiteral("SOFTWARE\\Kestrane\\SystemParameters\\1.0"),
                          QStringLiteral("IDCProgID"));
    QCOMPARE(idc.data, sz(QStringLiteral("KestraneDsExchange.KestraneIDCExchange.1")));
    QCOMPARE(registry->openHandles(), 0);
}

void TestRegFileRegistry::lookupIgnoresCaseAndTrailingSeparator_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");
    QTest::addColumn<long>("openStatus");
    QTest::addColumn<long>("queryStatus");

    const QString kestrane = QStringLiteral("SOFTWARE\\Kestrane");
    QTest::newRow("as written") << kestrane << QStringLiteral("Build Number") << RegStatus::Success
                                << RegStatus::Success;
    QTest::newRow("trailing separator") << QStringLiteral("Software\\Kestrane\\") << QStringLiteral("Version Number")
                                        << RegStatus::Success << RegStatus::Success;
    QTest::newRow("other letter case") << QStringLiteral("software\\KESTRANE\\systemparameters\\1.0")
                                       << QStringLiteral("idcprogid") << RegStatus::Success << RegStatus::Success;
    QTest::newRow("default value") << kestrane << QString() << RegStatus::Success << RegStatus::Success;
    QTest::newRow("parent implied by a child") << QStringLiteral("Software") << QStringLiteral("Path")
                                               << RegStatus::Success << RegStatus::FileNotFound;
    QTest::newRow("missing key") << QStringLiteral("Software\\Other") << QStringLiteral("Path")
                                 << RegStatus::FileNotFound << RegStatus::FileNotFound;
    QTest::newRow("missing value") << kestrane << QStringLiteral("Versions") << RegStatus::Success
                                   << RegStatus::FileNotFound;
}

void TestRegFileRegistry::lookupIgnoresCaseAndTrailingSeparator()
{
    QFETCH(QString, path);
    QFETCH(QString, name);
    QFETCH(long, openStatus);
    QFETCH(long, queryStatus);
    auto registry = RegFileRegistry::fromBytes(
        (QStringLiteral("Windows Registry Editor Version 5.00\r\n") + exportBody()).toUtf8(), QStringLiteral("t.reg"));
    RegistryKeyHandle key = 0;
    QCOMPARE(registry->openKey(kHkeyLocalMachine, path, 0, kKeyRead, key), openStatus);
    if (openStatus == RegStatus::Success)
        registry->closeKey(key);
    QCOMPARE(read(*registry, path, name).status, queryStatus);
}

void TestRegFileRegistry::queryStatuses()
{
    auto registry = RegFileRegistry::fromBytes(QByteArray("REGEDIT4\n[HKLM\\Software\\Kestrane]\n\"Name\"=\"abc\"\n"),
                                               QStringLiteral("t.reg"));
    RegistryKeyHandle key = 0;
    QCOMPARE(registry->openKey(kHkeyLocalMachine, QStringLiteral("Software\\Kestrane"), 0, kKeyRead, key),
             RegStatus::Success);

    std::uint32_t type = 0;
    std::uint32_t size = 3;
    QByteArray buffer(3, ' ');
    QCOMPARE(registry->queryValue(key, QStringLiteral("Name"), type, buffer, size), RegStatus::MoreData);
    QCOMPARE(size, 4u);
    QCOMPARE(type, RegType::String);
    QCOMPARE(buffer, QByteArray("   "));

    size = 4;
    buffer = QByteArray(4, ' ');
    QCOMPARE(registry->queryValue(key, QStringLiteral("Name"), type, buffer, size), RegStatus::Success);
    QCOMPARE(buffer, QByteArray("abc\0", 4));

    QCOMPARE(registry->queryValue(key + 100, QStringLiteral("Name"), type, buffer, size), RegStatus::InvalidHandle);
    QCOMPARE(registry->queryValue(key, QString(), type, buffer, size), RegStatus::FileNotFound);
    QCOMPARE(registry->openKey(0x12345u, QString(), 0, kKeyRead, key), RegStatus::InvalidHandle);

    QCOMPARE(registry->closeKey(key), RegStatus::Success);
    QCOMPARE(registry->closeKey(key), RegStatus::InvalidHandle);
    QCOMPARE(registry->closeCalls(), 2);
    QCOMPARE(registry->openHandles(), 0);
}

void TestRegFileRegistry::malformedLineIsSkippedWithOneWarning_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("nextLoads");

    QTest::newRow("dword too long") << QStringLiteral("\"N\"=dword:123456789") << true;
    QTest::newRow("dword not hex") << QStringLiteral("\"N\"=dword:0004000g") << true;
    QTest::newRow("hex byte not hex") << QStringLiteral("\"N\"=hex:01,0g") << true;
    QTest::newRow("hex byte too long") << QStringLiteral("\"N\"=hex:010") << true;
    QTest::newRow("bad hex type") << QStringLiteral("\"N\"=hex(zz):00") << true;
    QTest::newRow("bad continuation") << QStringLiteral("\"N\"=hex:01,02,\\\r\n  zz") << true;
    QTest::newRow("unterminated string") << QStringLiteral("\"N\"=\"abc") << true;
    QTest::newRow("text after string") << QStringLiteral("\"N\"=\"abc\" x") << true;
    QTest::newRow("unknown data") << QStringLiteral("\"N\"=qword:1") << true;
    QTest::newRow("no equals sign") << QStringLiteral("\"N\"") << true;
    QTest::newRow("unquoted name") << QStringLiteral("N=\"abc\"") << true;
    QTest::newRow("key without bracket") << QStringLiteral("[HKEY_LOCAL_MACHINE\\Software") << false;
    // Values under a refused key are not loaded, and not warned about again.
    QTest::newRow("unknown root key") << QStringLiteral("[HKEY_NOWHERE\\Software\\Kestrane]") << false;
}

void TestRegFileRegistry::malformedLineIsSkippedWithOneWarning()
{
    QFETCH(QString, line);
    QFETCH(bool, nextLoads);
    const QString text = QStringLiteral("Windows Registry Editor Version 5.00\r\n"
                                        "[HKEY_LOCAL_MACHINE\\Software\\Kestrane]\r\n"
                                        "\"Before\"=\"1\"\r\n")
                         + line + QStringLiteral("\r\n\"After\"=\"2\"\r\n");
    QStringList warnings;
    auto registry = RegFileRegistry::fromBytes(text.toUtf8(), QStringLiteral("bad.reg"), &warnings);

    QCOMPARE(warnings.size(), 1);
    QVERIFY2(warnings.first().startsWith(QLatin1String("bad.reg:4: ")), qPrintable(warnings.first()));
    const QString key = QStringLiteral("Software\\Kestrane");
    QCOMPARE(read(*registry, key, QStringLiteral("Before")).data, sz(QStringLiteral("1")));
    QCOMPARE(read(*registry, key, QStringLiteral("After")).status == RegStatus::Success, nextLoads);
    QCOMPARE(read(*registry, key, QStringLiteral("N")).status, RegStatus::FileNotFound);
}

void TestRegFileRegistry::garbageLoadsNothing_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QByteArray binary;
    for (int i = 0; i < 2048; ++i)
        binary.append(static_cast<char>((i * 151 + 7) % 256));
    QTest::newRow("binary") << binary;
    QTest::newRow("NUL bytes") << QByteArray("M\0Z\0\0\0\xff\xfe\0\0", 10);
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("text without header") << QByteArray("[HKEY_LOCAL_MACHINE\\Software\\Kestrane]\n\"A\"=\"1\"\n");
    QTest::newRow("lone BOM") << QByteArray("\xFF\xFE");
}

void TestRegFileRegistry::garbageLoadsNothing()
{
    QFETCH(QByteArray, bytes);
    QStringList warnings;
    auto registry = RegFileRegistry::fromBytes(bytes, QStringLiteral("junk.reg"), &warnings);
    QCOMPARE(warnings.size(), 1);
    QVERIFY(warnings.first().startsWith(QLatin1String("junk.reg:")));
    QCOMPARE(read(*registry, QStringLiteral("Software\\Kestrane"), QStringLiteral("A")).status,
             RegStatus::FileNotFound);
}

void TestRegFileRegistry::garbageFileWarnsOnStderr()
{
    const QString path = m_dir.filePath(QStringLiteral("garbage.reg"));
    QVERIFY(writeFile(path, QByteArray("\x7f" "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0", 16)));

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QLatin1Char('^') + QRegularExpression::escape(path)
                                                          + QStringLiteral(":1: ")));
    auto registry = RegFileRegistry::fromFile(path);
    RegistryKeyHandle key = 0;
    QCOMPARE(registry->openKey(kHkeyLocalMachine, QStringLiteral("Software"), 0, kKeyRead, key),
             RegStatus::FileNotFound);

    // A folder where the file should be cannot be read: a warning, no crash.
    const QString folder = m_dir.filePath(QStringLiteral("folder.reg"));
    QVERIFY(QDir().mkpath(folder));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QLatin1Char('^') + QRegularExpression::escape(folder)));
    QVERIFY(RegFileRegistry::fromFile(folder));
}

void TestRegFileRegistry::missingFileIsEmptyRegistry()
{
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
    auto registry = RegFileRegistry::fromFile(m_dir.filePath(QStringLiteral("no-such.reg")));
    QCOMPARE(read(*registry, QStringLiteral("Software\\Kestrane"), QStringLiteral("Version Number")).status,
             RegStatus::FileNotFound);
}

void TestRegFileRegistry::platformRegistryFile()
{
#ifdef Q_OS_WIN
    QSKIP("The real registry serves on Windows");
#endif
    const auto text = [](const char* version) {
        return QByteArray("REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\Kestrane]\n\"Version\"=\"") + version + "\"\n";
    };
    QTemporaryDir program;
    QVERIFY(writeFile(program.filePath(QStringLiteral("registry.reg")), text("beside")));
    const QString named = m_dir.filePath(QStringLiteral("named.reg"));
    QVERIFY(writeFile(named, text("named")));

    const QByteArray saved = qgetenv("TARNWICK_REGISTRY");
    const auto versionRead = [&] {
        return read(*createPlatformRegistry(program.path()), QStringLiteral("Software\\Kestrane"),
                    QStringLiteral("Version"))
            .data;
    };
    qputenv("TARNWICK_REGISTRY", named.toLocal8Bit());
    const QByteArray fromVariable = versionRead();
    qputenv("TARNWICK_REGISTRY", QByteArray());
    const QByteArray fromFolder = versionRead();
    qputenv("TARNWICK_REGISTRY", saved);

    QCOMPARE(fromVariable, sz(QStringLiteral("named")));
    QCOMPARE(fromFolder, sz(QStringLiteral("beside")));
}

QTEST_GUILESS_MAIN(TestRegFileRegistry)
#include "tst_regfileregistry.moc"

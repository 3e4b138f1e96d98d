#include "install/OrvaneVersion.h"
#include "install/RegistryAPI.h"
#include "platform/RegFileRegistry.h"
#include "support/RecordingUserInterface.h"

#include <QtTest>

using namespace tarnwick;

Q_DECLARE_METATYPE(tarnwick::RegistryValue)

namespace {

const QString kKey = QStringLiteral("Software\\Kestrane\\");

std::unique_ptr<RegFileRegistry> registryWith(const QString& valueLines)
{
    QStringList warnings;
    auto registry = RegFileRegistry::fromBytes(
        (QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kestrane]\r\n")
         + valueLines)
            .toUtf8(),
        QStringLiteral("test.reg"), &warnings);
    if (!warnings.isEmpty())
        qWarning().noquote() << warnings.join(QLatin1Char('\n'));
    return registry;
}

QString describe(const RegistryValue& value)
{
    if (const auto* text = std::get_if<QString>(&value))
        return QStringLiteral("text \"%1\" (%2 characters)").arg(text->left(40)).arg(text->size());
    if (const auto* number = std::get_if<std::int32_t>(&value))
        return QStringLiteral("number %1").arg(*number);
    if (const auto* bytes = std::get_if<QByteArray>(&value))
        return QStringLiteral("%1 bytes %2").arg(bytes->size()).arg(QString::fromLatin1(bytes->left(16).toHex()));
    return QStringLiteral("empty");
}

QString hexList(int count)
{
    QStringList bytes;
    for (int i = 0; i < count; ++i)
        bytes.append(QStringLiteral("%1").arg(i % 256, 2, 16, QLatin1Char('0')));
    return bytes.join(QLatin1Char(','));
}

QByteArray byteRun(int count)
{
    QByteArray bytes;
    for (int i = 0; i < count; ++i)
        bytes.append(static_cast<char>(i % 256));
    return bytes;
}

} // namespace

class TestRegistryApi : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsValueOrDefault_data();
    void readsValueOrDefault();
    void missingKeyClosesNothing();
    void getVersionSplitsRegistryNumbers_data();
    void getVersionSplitsRegistryNumbers();
    void versionComparison_data();
    void versionComparison();
};

void TestRegistryApi::readsValueOrDefault_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("valueType");
    QTest::addColumn<RegistryValue>("expected");

    const RegistryValue fallback = QStringLiteral("<default>");
    QTest::newRow("string with terminator") << QStringLiteral("\"V\"=\"abc\"") << 1 << RegistryValue(QStringLiteral("abc"));
    QTest::newRow("string without terminator loses its last character")
        << QStringLiteral("\"V\"=hex(1):61,62,63") << 1 << RegistryValue(QStringLiteral("ab"));
    QTest::newRow("empty string") << QStringLiteral("\"V\"=\"\"") << 1 << RegistryValue(QString());
    const QString fits(1023, QLatin1Char('x'));
    QTest::newRow("string filling the buffer") << QStringLiteral("\"V\"=\"%1\"").arg(fits) << 1 << RegistryValue(fits);
    QTest::newRow("string over 1024 bytes") << QStringLiteral("\"V\"=\"%1\"").arg(fits + QLatin1Char('x')) << 1
                                            << fallback;
    QTest::newRow("binary") << QStringLiteral("\"V\"=hex:00,01,ff") << 3 << RegistryValue(QByteArray("\x00\x01\xff", 3));
    QTest::newRow("binary filling the buffer") << QStringLiteral("\"V\"=hex:") + hexList(4096) << 3
                                               << RegistryValue(byteRun(4096));
    QTest::newRow("binary over 4096 bytes") << QStringLiteral("\"V\"=hex:") + hexList(4097) << 3 << fallback;
    QTest::newRow("dword") << QStringLiteral("\"V\"=dword:0004000a") << 4 << RegistryValue(std::int32_t(0x0004000a));
    QTest::newRow("dword all ones") << QStringLiteral("\"V\"=dword:ffffffff") << 4 << RegistryValue(std::int32_t(-1));
    QTest::newRow("number read from a long string") << QStringLiteral("\"V\"=\"4.0(3.100)\"") << 4 << fallback;
    QTest::newRow("type code 2") << QStringLiteral("\"V\"=\"abc\"") << 2 << fallback;
    QTest::newRow("value missing") << QStringLiteral("\"W\"=\"abc\"") << 1 << fallback;
}

void TestRegistryApi::readsValueOrDefault()
{
    QFETCH(QString, line);
    QFETCH(int, valueType);
    QFETCH(RegistryValue, expected);

    auto registry = registryWith(line + QStringLiteral("\r\n"));
    const RegistryValue got = ReadRegistryValue(*registry, kHkeyLocalMachine, kKey, QStringLiteral("V"),
                                                static_cast<std::int16_t>(valueType), QStringLiteral("<default>"));
    QVERIFY2(got == expected, qPrintable(describe(got) + QStringLiteral(" instead of ") + describe(expected)));
    // The key was opened, so it is closed, whatever the outcome.
    QCOMPARE(registry->closeCalls(), 1);
    QCOMPARE(registry->openHandles(), 0);
}

void TestRegistryApi::missingKeyClosesNothing()
{
    auto registry = RegFileRegistry::fromBytes(QByteArray("REGEDIT4\r\n"), QStringLiteral("empty.reg"));
    const RegistryValue got = ReadRegistryValue(*registry, kHkeyLocalMachine, kKey, QStringLiteral("V"), 1);
    QVERIFY(std::holds_alternative<std::monostate>(got));
    QCOMPARE(registry->closeCalls(), 0);
    QCOMPARE(registry->openHandles(), 0);
}

void TestRegistryApi::getVersionSplitsRegistryNumbers_data()
{
    QTest::addColumn<QString>("lines");
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");
    QTest::addColumn<int>("build");
    QTest::addColumn<int>("revision");
    QTest::addColumn<QString>("text");

    const auto numbers = [](const char* version, const char* build) {
        return QStringLiteral("\"Version Number\"=dword:%1\r\n\"Build Number\"=dword:%2\r\n")
            .arg(QLatin1String(version), QLatin1String(build));
    };
    QTest::newRow("4.0(3.100)") << numbers("00040000", "00030064") << 4 << 0 << 3 << 100 << QStringLiteral("4.0(3.100)");
    QTest::newRow("minor with a letter reads 0") << numbers("0004000A", "00000000") << 4 << 0 << 0 << 0
                                                 << QStringLiteral("4.0(0.0)");
    QTest::newRow("minor digits read as decimal") << numbers("00040010", "00000000") << 4 << 10 << 0 << 0
                                                  << QStringLiteral("4.10(0.0)");
    QTest::newRow("revision read as hex") << numbers("00050000", "0003000a") << 5 << 0 << 3 << 10
                                          << QStringLiteral("5.0(3.10)");
    QTest::newRow("revision FFFF is -1") << numbers("00040000", "0003ffff") << 4 << 0 << 3 << -1
                                         << QStringLiteral("4.0(3.-1)");
    QTest::newRow("both values missing") << QString() << 0 << 0 << 0 << 0 << QStringLiteral("0.0(0.0)");
    QTest::newRow("build missing") << QStringLiteral("\"Version Number\"=dword:00040000\r\n") << 4 << 0 << 0 << 0
                                   << QStringLiteral("4.0(0.0)");
    QTest::newRow("values of another type") << QStringLiteral("\"Version Number\"=\"4.0.3.100\"\r\n"
                                                              "\"Build Number\"=hex:64,00,03,00,00\r\n")
                                            << 0 << 0 << 0 << 0 << QStringLiteral("0.0(0.0)");
}

void TestRegistryApi::getVersionSplitsRegistryNumbers()
{
    QFETCH(QString, lines);
    QFETCH(int, major);
    QFETCH(int, minor);
    QFETCH(int, build);
    QFETCH(int, revision);
    QFETCH(QString, text);

    auto registry = registryWith(lines);
    test::RecordingUserInterface ui;
    const VersionInfo v = getVersion(*registry, ui);
    QCOMPARE(int(v.Major), major);
    QCOMPARE(int(v.Minor), minor);
    QCOMPARE(int(v.Build), build);
    QCOMPARE(int(v.Revision), revision);
    QCOMPARE(v.VersionString, text);
    QVERIFY(ui.shown.isEmpty());
    QCOMPARE(registry->openHandles(), 0);
}

void TestRegistryApi::versionComparison_data()
{
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");
    QTest::addColumn<int>("build");
    QTest::addColumn<int>("revision");
    QTest::addColumn<bool>("atLeast");

    QTest::newRow("4.0(3.100) equal counts") << 4 << 0 << 3 << 100 << true;
    QTest::newRow("4.0(3.99)") << 4 << 0 << 3 << 99 << false;
    QTest::newRow("4.0(2.500) build decides") << 4 << 0 << 2 << 500 << false;
    QTest::newRow("4.1(0.0)") << 4 << 1 << 0 << 0 << true;
    QTest::newRow("5.0(0.0)") << 5 << 0 << 0 << 0 << true;
    QTest::newRow("3.9(9.999)") << 3 << 9 << 9 << 999 << false;
    QTest::newRow("0.0(0.0)") << 0 << 0 << 0 << 0 << false;
    QTest::newRow("4.0(3.-1) signed") << 4 << 0 << 3 << -1 << false;
}

void TestRegistryApi::versionComparison()
{
    QFETCH(int, major);
    QFETCH(int, minor);
    QFETCH(int, build);
    QFETCH(int, revision);
    QFETCH(bool, atLeast);

    VersionInfo installed;
    installed.Major = static_cast<std::int16_t>(major);
    installed.Minor = static_cast<std::int16_t>(minor);
    installed.Build = static_cast<std::int16_t>(build);
    installed.Revision = static_cast<std::int16_t>(revision);
    QCOMPARE(bIsVersionGreaterThanOrEqualTo(installed, 4, 0, 3, 100), atLeast);
}

QTEST_GUILESS_MAIN(TestRegistryApi)
#include "tst_registryapi.moc"

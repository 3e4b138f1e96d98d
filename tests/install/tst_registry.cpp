// The registry as the program reads it: the .reg reader on the formats the registry editor writes,
// ReadRegistryValue's buffers and defaults, and the product version split from the registry's two numbers.
#include "install/OrvaneVersion.h"
#include "install/RegistryAPI.h"
#include "platform/FileSystem.h"
#include "platform/RegFileRegistry.h"
#include "support/RecordingUserInterface.h"

#include "RegistryCases.h"

#include <QtTest>

#include <clocale>
#include <set>

using namespace tarnwick;

namespace {

// The product's key, looked up in another letter case and with a trailing separator.
const QString kHeader = "Windows Registry Editor Version 5.00\r\n", kKey = "software\\KESTRANE\\";

// Reads one value as ReadRegistryValue gives it: kind and whole content, so that two values compare as texts do.
QString read(RegistryBackend& registry, const QString& name, int type = 1, const QString& key = kKey)
{
    const RegistryValue value = ReadRegistryValue(registry, kHkeyLocalMachine, key, name, std::int16_t(type));
    if (const auto* text = std::get_if<QString>(&value))
        return "text:" + *text;
    if (const auto* number = std::get_if<std::int32_t>(&value))
        return "number:" + QString::number(*number);
    if (const auto* bytes = std::get_if<QByteArray>(&value))
        return "bytes:" + QString::fromLatin1(bytes->toHex());
    return "default";
}

// The start of a .reg file, up to the values under HKLM\SOFTWARE\Kestrane.
const QString kKestrane = kHeader + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kestrane]\r\n";

// As the registry editor writes it: CR LF, long hex lists wrapped with a backslash and a two-blank indent; and
// comments where people add them and the editor still reads the lines.
const QString kExport = "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kestrane] ; product\r\n"
                        "\"Version Number\"=dword:0004000a\r\n\"Build Number\"=dword:FFFFFFFF\r\n"
                        "@=\"Default text\"\r\n\"Path\"=\"C:\\\\Program Files\\\\Kestrane \\\"Server\\\"\"\r\n"
                        "\"Empty\"=\"\"\r\n\"Blob\"=hex:00,01,02,ff ; comment\r\n"
                        "\"Wrapped\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,\\ ; more\r\n"
                        "; a comment line\r\n  12,13\r\n\"Escapes\"=\"a\\fb\\nc\\\\d\";c\r\n"
                        "\"Raw\"=@RAW@\r\n\"Quad\"=hex(b):01,00,00,00,00,00,00,00\r\n"
                        "\"Accented\"=\"Grüße\"\r\n\r\n; a comment line\r\n"
                        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kestrane\\SystemParameters\\1.0]\r\n"
                        "\"IDCProgID\"=\"KestraneDsExchange.KestraneIDCExchange.1\"\r\n\r\n";

} // namespace

class TestRegistry : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    std::unique_ptr<RegFileRegistry> load(const QByteArray& bytes, const QString& name = "t.reg")
    {
        if (QFile file(m_dir.filePath(name)); file.open(QIODevice::WriteOnly))
            file.write(bytes);
        return RegFileRegistry::fromFile(m_dir.filePath(name));
    }

private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(".*")); } // a warning fails unless it is expected

    void readsEditorExports_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        // A multi-string: UTF-16LE in version 5 files, 8-bit in REGEDIT4 ones; it reads the same from both.
        const QString v5 = kHeader + QString(kExport).replace("@RAW@", "hex(7):41,00,42,00,00,00,00,00");
        const QString v4 = "REGEDIT4\r\n" + QString(kExport).replace("@RAW@", "hex(7):41,42,00,00");
        QStringEncoder utf16(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
        QTest::newRow("5.00 UTF-16LE with BOM") << QByteArray(utf16(v5));
        QTest::newRow("5.00 UTF-8 with BOM") << "\xEF\xBB\xBF" + v5.toUtf8();
        QTest::newRow("5.00 UTF-8") << v5.toUtf8();
        QTest::newRow("REGEDIT4") << v4.toLocal8Bit();
        QTest::newRow("5.00 UTF-8, CR line ends") << QString(v5).replace("\r\n", "\r").toUtf8();
        QTest::newRow("REGEDIT4 in Latin-1") << v4.toLatin1();
    }

    void readsEditorExports()
    {
        QFETCH(QByteArray, bytes);
        // An 8-bit file is read in the locale's code page.
        const QByteArray locale = qgetenv("LC_ALL");
        const auto restore = qScopeGuard([&] { qputenv("LC_ALL", locale); });
        if (QByteArray(QTest::currentDataTag()).contains("Latin-1")) {
            if (locale_t latin1 = ::newlocale(LC_ALL_MASK, "en_US.ISO-8859-1", locale_t(nullptr)))
                ::freelocale(latin1);
            else
                QSKIP("No Latin-1 locale here: scripts/install-deps.sh makes en_US.ISO-8859-1 with localedef");
            qputenv("LC_ALL", "en_US.ISO-8859-1");
        }
        auto registry = load(bytes);
        const std::tuple<const char*, int, QString> expected[] = {
            {"version number", 4, "number:262154"},
            {"Build Number", 4, "number:-1"},
            {"", 1, "text:Default text"},
            {"PATH", 1, "text:C:\\Program Files\\Kestrane \"Server\""},
            {"Empty", 1, "text:"},
            {"Blob", 3, "bytes:000102ff"},
            {"Raw", 3, "bytes:41420000"},
            {"Quad", 3, "bytes:0100000000000000"},
            {"Accented", 1, "text:Grüße"},
            {"Wrapped", 3, "bytes:000102030405060708090a0b0c0d0e0f10111213"},
            {"Escapes", 1, "text:afb\nc\\d"}};
        for (const auto& [name, type, value] : expected)
            QCOMPARE(read(*registry, name, type), value);
        QCOMPARE(read(*registry, "idcprogid", 1, "SOFTWARE\\Kestrane\\systemparameters\\1.0"),
                 "text:KestraneDsExchange.KestraneIDCExchange.1");
    }

    void badInputIsSkippedWithOneWarning_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("loads"); // 2: the values before and after line 4, the bad one; 1: before; 0: none
        const auto with = [](const char* line) {
            return (kKestrane + "\"Before\"=\"1\"\r\n" + line + "\r\n\"After\"=\"2\"\r\n").toUtf8();
        };
        QTest::newRow("dword too long") << with("\"N\"=dword:123456789") << 2;
        QTest::newRow("hex byte not hex") << with("\"N\"=hex:01,0g") << 2;
        QTest::newRow("bad hex type") << with("\"N\"=hex(zz):00") << 2;
        QTest::newRow("bad continuation") << with("\"N\"=hex:01,02,\\\r\n  zz") << 2;
        QTest::newRow("unterminated string") << with("\"N\"=\"abc") << 2;
        QTest::newRow("unknown data") << with("\"N\"=qword:1") << 2;
        QTest::newRow("no equals sign") << with("\"N\"") << 2;
        QTest::newRow("unquoted name") << with("N=\"abc\"") << 2;
        // Dropped as the registry editor drops them, and the line after stays a line of its own.
        QTest::newRow("dword ending in a backslash") << with("\"N\"=dword:00000001\\") << 2;
        QTest::newRow("text after the string") << with("@=\"\"%1\" %*\"") << 2;
        QTest::newRow("upper-case type") << with("\"N\"=DWORD:00000001") << 2;
        QTest::newRow("blank before a comma") << with("\"N\"=hex:01 ,02") << 2;
        QTest::newRow("continuation not after a comma") << with("\"N\"=hex:01\\\r\n  ,02") << 2;
        // Values under a refused key are not loaded, and not warned about again.
        QTest::newRow("key without bracket") << with("[HKEY_LOCAL_MACHINE\\Software") << 1;
        QTest::newRow("unknown root key") << with("[HKEY_NOWHERE\\Software\\Kestrane]") << 1;
        QTest::newRow("NUL bytes") << QByteArray("M\0Z\0\0\0\xff\xfe\0\0", 10) << 0;
        QTest::newRow("no header") << with("").mid(kHeader.size()) << 0;
        QTest::newRow("lone BOM") << QByteArray("\xFF\xFE") << 0;
    }

    void badInputIsSkippedWithOneWarning()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, loads);
        QStringList warnings;
        auto registry = RegFileRegistry::fromBytes(bytes, "bad.reg", &warnings);
        QCOMPARE(warnings.size(), 1);
        // Not an export at all is refused at its first line.
        QVERIFY2(warnings.first().startsWith(loads ? "bad.reg:4: " : "bad.reg:1: "), qPrintable(warnings.first()));
        QCOMPARE((QStringList{read(*registry, "Before"), read(*registry, "N"), read(*registry, "After")}),
                 (QStringList{loads > 0 ? "text:1" : "default", "default", loads > 1 ? "text:2" : "default"}));
    }

    void registryFiles()
    {
        // Parse warnings go out naming the file: one that is no export at all (an ELF binary) at its first line.
        const QString elf = m_dir.filePath("elf.reg"), folder = m_dir.filePath("folder.reg");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression('^' + QRegularExpression::escape(elf) + ":1: "));
        QCOMPARE(read(*load(QByteArray::fromHex("7f454c46020101000000"), "elf.reg"), "A"), "default");
        // A folder where the file should be: a warning, no crash.
        QVERIFY(QDir().mkpath(folder));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression('^' + QRegularExpression::escape(folder)));
        QVERIFY(RegFileRegistry::fromFile(folder));
        // A file over the size limit is refused, naming the file, its size and the limit (a sparse file: no disk used).
        const QString big = m_dir.filePath("big.reg");
        if (QFile file(big); file.open(QIODevice::WriteOnly))
            file.resize(RegFileRegistry::kMaxFileSize + 1);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression('^' + QRegularExpression::escape(big) +
                                                              ": not read: the file has 67108865 bytes, more than the "
                                                              "67108864 bytes \\(64 MB\\)"));
        QCOMPARE(read(*RegFileRegistry::fromFile(big), "A"), "default");
        // A missing file is an empty registry, and says nothing.
        QCOMPARE(read(*RegFileRegistry::fromFile(m_dir.filePath("none.reg")), "A"), "default");
#ifndef Q_OS_WIN // there the real registry serves
        // The file the environment names, else the one beside the program.
        load("REGEDIT4\n[HKLM\\Software\\K]\n\"V\"=\"beside\"", "registry.reg");
        load("REGEDIT4\n[HKLM\\Software\\K]\n\"V\"=\"named\"", "named.reg");
        const auto platformRead = [&] { return read(*createPlatformRegistry(m_dir.path()), "V", 1, "Software\\K"); };
        qputenv("TARNWICK_REGISTRY", m_dir.filePath("named.reg").toLocal8Bit());
        QCOMPARE(platformRead(), "text:named");
        qputenv("TARNWICK_REGISTRY", QByteArray()); // as CTest runs every suite
        QCOMPARE(platformRead(), "text:beside");
#endif
    }

    // The table the Win32 backend also runs under Wine, laid out as an export of a 64-bit system: the program's
    // (32-bit) view under Wow6432Node, the other view where the keys are written.
    void sharedCases()
    {
        QByteArray text = kHeader.toUtf8();
        for (const cases::Case& c : cases::kTable) {
            if (c.written == cases::Written::Nothing)
                continue;
            const std::string key = c.view == cases::View::Program
                                        ? "Software\\Wow6432Node\\" + std::string(c.key).substr(9)
                                        : std::string(c.key);
            text += "\r\n[HKEY_LOCAL_MACHINE\\" + key + "]\r\n" + cases::regFileLine(c) + "\r\n";
        }
        auto registry =
            load(QStringEncoder(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom)(QString::fromUtf8(text)));
        for (const cases::Case& c : cases::kTable) {
            const int closed = registry->closeCalls();
            QCOMPARE(read(*registry, c.readName, c.readType, c.readKey), QString::fromStdString(cases::expected(c)));
            // A missing key gives the default and closes nothing; an opened key is closed, whatever the outcome.
            const bool keyMissing =
                std::string_view(c.row).starts_with("missing key") || c.view == cases::View::OtherOnly;
            QCOMPARE(registry->closeCalls(), closed + (keyMissing ? 0 : 1));
        }
        QCOMPARE(registry->openHandles(), 0);
    }

    // The case table as Wine's advapi32 read it (registry_wine) against Wine's regedit export of the same values read
    // through the .reg backend, row by row. Wine's regedit exports a string without its zero as a string (Windows: as
    // hex(1)), so the one case Wine cannot settle reads whole on both sides here.
    void wineExportMatchesWin32()
    {
        const QString exported = qEnvironmentVariable("TARNWICK_WINE_EXPORT");
        if (exported.isEmpty())
            QSKIP("run by the registry_wine_export test, after registry_wine wrote and exported its cases");
        QFile win32(qEnvironmentVariable("TARNWICK_WINE_READ"));
        QVERIFY2(win32.open(QIODevice::ReadOnly), qPrintable(win32.fileName()));
        const QStringList rows = QString::fromUtf8(win32.readAll()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(rows.size(), qsizetype(std::size(cases::kTable)));
        auto registry = RegFileRegistry::fromFile(exported); // a warning about any line of the export fails the test
        for (qsizetype i = 0; i < rows.size(); ++i) {
            const cases::Case& c = cases::kTable[i];
            const QString fromFile = QString::fromUtf8(c.row) + '\t' +
                                     QString::fromStdString(cases::printable(
                                         read(*registry, c.readName, c.readType, c.readKey).toStdString()));
            QCOMPARE(fromFile, rows[i]);
        }
        qInfo("%d rows compared", int(rows.size()));
    }

    // The differential test: every file of a generated corpus (reg-corpus.py) as Wine's regedit imported it and
    // exported it again, against our reading of the file itself, key by key and value by value. Run by
    // registry_wine_corpus under a Latin-1 locale, the code page its REGEDIT4 files are written in.
    void wineCorpusMatchesOurReading()
    {
        const QDir corpus(qEnvironmentVariable("TARNWICK_WINE_CORPUS"));
        if (qEnvironmentVariable("TARNWICK_WINE_CORPUS").isEmpty())
            QSKIP("run by the registry_wine_corpus test, after registry_wine_corpus_import imported the corpus");
        if (FileSystem::codePageName() != "ISO-8859-1")
            QSKIP("needs the en_US.ISO-8859-1 locale, which scripts/install-deps.sh makes");
        const auto readFile = [&](const QString& name, QStringList* warnings) {
            QFile file(corpus.filePath(name));
            return file.open(QIODevice::ReadOnly) ? RegFileRegistry::fromBytes(file.readAll(), name, warnings)
                                                  : nullptr;
        };
        std::map<std::string, RegFileRegistry::Values> wine; // both hives' exports; every line of them must read
        for (const QString name : {"export-HKEY_LOCAL_MACHINE.reg", "export-HKEY_CURRENT_USER.reg"}) {
            QStringList warnings;
            const auto exported = readFile(name, &warnings);
            QVERIFY2(exported && warnings.isEmpty(), qPrintable(name + '\n' + warnings.join('\n')));
            wine.insert(exported->keys().begin(), exported->keys().end());
        }
        using Values = RegFileRegistry::Values;
        const auto valueIn = [](const Values* values, const std::string& name) -> const RegFileRegistry::Value* {
            const auto at = std::find_if(values->begin(), values->end(), [&](const auto& v) { return v.name == name; });
            return at == values->end() ? nullptr : &*at;
        };
        const auto shown = [](const RegFileRegistry::Value* v) {
            return v ? QString::number(v->type) + ':' + QString::fromStdString(cases::toHex(v->data)) : "none";
        };
        int files = 0, keys = 0, values = 0, different = 0, zeroAdded = 0, refused = 0;
        for (const QString& name : corpus.entryList({"[0-9]*.reg"}, QDir::Files, QDir::Name)) {
            QStringList warnings; // the lines regedit drops too; our reader says so
            const auto ours = readFile(name, &warnings);
            QVERIFY(ours);
            ++files;
            refused += int(warnings.size());
            // The file's keys on both sides: its own key and all below.
            const std::string own = "\\tarnwickcorpus\\" + name.chopped(4).toStdString();
            const auto isOwn = [&](const std::string& id) {
                const std::size_t at = id.find(own), end = at + own.size();
                return at != std::string::npos && (end == id.size() || id[end] == '\\');
            };
            std::map<std::string, std::pair<const Values*, const Values*>> both;
            for (const auto& [id, v] : ours->keys()) {
                if (isOwn(id))
                    both[id].first = &v;
            }
            for (const auto& [id, v] : wine) {
                if (isOwn(id))
                    both[id].second = &v;
            }
            static const Values none;
            for (const auto& [id, pair] : both) {
                ++keys;
                // Wine's export lists every key; our reading not a parent that only its subkeys imply.
                const auto next = both.upper_bound(id + '\\');
                const bool implied = next != both.end() && next->first.starts_with(id + '\\');
                if (!(pair.first && pair.second) && !implied) {
                    ++different;
                    qInfo().noquote() << name << "key" << QString::fromStdString(id) << "only in"
                                      << (pair.first ? "our reading" : "Wine's");
                }
                const Values& a = pair.first ? *pair.first : none;
                const Values& b = pair.second ? *pair.second : none;
                std::set<std::string> names;
                for (const auto* side : {&a, &b}) {
                    for (const auto& v : *side)
                        names.insert(v.name);
                }
                for (const std::string& valueName : names) {
                    ++values;
                    const auto *x = valueIn(&a, valueName), *y = valueIn(&b, valueName);
                    if (x && y && x->type == y->type && x->data == y->data)
                        continue;
                    // Wine ends text-type data that has no terminating zero with one (Windows keeps it as written,
                    // and we read it so); exactly that difference is Wine's.
                    if (x && y && x->type == y->type && (x->type == 1 || x->type == 2 || x->type == 7) &&
                        y->data == x->data + '\0') {
                        ++zeroAdded;
                        continue;
                    }
                    ++different;
                    qInfo().noquote() << name << "key" << QString::fromStdString(id) << "value"
                                      << QString::fromStdString(cases::printable(valueName)) << "ours" << shown(x)
                                      << "Wine's" << shown(y);
                }
            }
        }
        qInfo("%d files, %d keys and %d values compared, %d different; %d with a zero Wine added; %d lines both drop",
              files, keys, values, different, zeroAdded, refused);
        QVERIFY(files >= 30);
        QCOMPARE(different, 0);
    }

    // Parents are implied by their keys and outlive them; a deletion takes the key and all below it, nothing beside.
    void keysAndDeletions()
    {
        auto registry =
            load((kHeader + "[HKLM\\Software\\A\\B\\C]\r\n\"V\"=\"c\"\r\n"
                            "[HKLM\\Software\\A\\B c]\r\n\"V\"=\"sibling\"\r\n\"W\"=\"w\"\r\n\"W\"=-\r\n"
                            "[HKLM\\Software\\A\\B\\D\\E]\r\n[-HKLM\\Software\\A\\B]\r\n\"V\"=\"ignored\"\r\n"
                            "[HKLM\\Software\\A\\B\\F]\r\n\"V\"=\"again\"\r\n"
                            // A key runs to the line's last "]"; doubled separators count once.
                            "[HKLM\\Software\\Odd]name] ; comment\r\n\"V\"=\"odd\"\r\n"
                            "[HKLM\\Software\\\\Double\\\\Sep\\]\r\n\"V\"=\"double\"\r\n")
                     .toUtf8());
        const auto opens = [&](const char* path) {
            RegistryKeyHandle key = 0;
            const bool found = registry->openKey(kHkeyLocalMachine, path, 0, kKeyRead, key) == RegStatus::Success;
            if (found)
                registry->closeKey(key);
            return found;
        };
        QCOMPARE((QList<bool>{opens("Software\\A\\"), opens("software\\a\\b"), opens("Software\\A\\B\\C"),
                              opens("Software\\A\\B\\D"), opens("Software\\A\\B\\D\\E")}),
                 (QList<bool>{true, true, false, false, false}));
        QCOMPARE((QStringList{read(*registry, "V", 1, "Software\\A\\B c"), read(*registry, "W", 1, "Software\\A\\B c"),
                              read(*registry, "V", 1, "Software\\A\\B\\F"), read(*registry, "V", 1, "Software\\A\\B"),
                              read(*registry, "V", 1, "Software\\Odd]name"),
                              read(*registry, "V", 1, "Software\\Double\\Sep")}),
                 (QStringList{"text:sibling", "default", "text:again", "default", "text:odd", "text:double"}));
    }

    void getVersion_data()
    {
        QTest::addColumn<QString>("lines");
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("atLeast4_0_3_100");
        const auto numbers = [](const char* version, const char* build) {
            return QString("\"Version Number\"=dword:%1\r\n\"Build Number\"=dword:%2\r\n").arg(version, build);
        };
        QTest::newRow("equal counts") << numbers("00040000", "00030064") << "4.0(3.100)" << true;
        QTest::newRow("one revision short") << numbers("00040000", "00030063") << "4.0(3.99)" << false;
        QTest::newRow("the build decides") << numbers("00040000", "000201f4") << "4.0(2.500)" << false;
        QTest::newRow("older major") << numbers("00030009", "000903e7") << "3.9(9.999)" << false;
        QTest::newRow("minor with a letter reads 0") << numbers("0004000A", "00000000") << "4.0(0.0)" << false;
        QTest::newRow("minor digits as decimal; it decides") << numbers("00040010", "00000000") << "4.10(0.0)" << true;
        QTest::newRow("revision as hex; major decides") << numbers("00050000", "0003000a") << "5.0(3.10)" << true;
        QTest::newRow("revision FFFF is -1") << numbers("00040000", "0003ffff") << "4.0(3.-1)" << false;
        QTest::newRow("both values missing") << ""
                                             << "0.0(0.0)" << false;
        QTest::newRow("values of another type")
            << "\"Version Number\"=\"4.0.3.100\"\r\n\"Build Number\"=hex:64,00,03,00,00\r\n"
            << "0.0(0.0)" << false;
    }

    void getVersion()
    {
        QFETCH(QString, lines);
        QFETCH(QString, version);
        QFETCH(bool, atLeast4_0_3_100);
        test::RecordingUserInterface ui;
        const VersionInfo v = tarnwick::getVersion(*load((kKestrane + lines).toUtf8()), ui);
        QCOMPARE(v.VersionString, version);
        QCOMPARE(bIsVersionGreaterThanOrEqualTo(v, 4, 0, 3, 100), atLeast4_0_3_100);
        QVERIFY(ui.shown.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestRegistry)
#include "tst_registry.moc"

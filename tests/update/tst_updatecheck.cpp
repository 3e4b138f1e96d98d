#include "platform/ProgramInfo.h"
#include "support/RecordingUserInterface.h"
#include "update/ScriptedHttpServer.h"
#include "update/UpdateCheck.h"

#include <QElapsedTimer>
#include <QTest>

#include <optional>

using namespace tarnwick;
using namespace tarnwick::test;

namespace {

const QByteArray kPagePath = QByteArrayLiteral("/Applications/Orvane/Tarnwick.htm");
const QString kSite = QStringLiteral("tools.test.example");
const QString kUnableText = QStringLiteral(
    "Unable to contact application home page to check for version.  You can access the home page "
    "and "
    "check for updated versions of all Brenlow Orvane tools by going to tools.test.example");
const QString kUpToDateText =
    QStringLiteral("You have the most up to date version of this tool installed");
const QString kOfferText = QStringLiteral("An updated version of this tool is available on "
                                          "tools.test.example.  Click OK to open the application "
                                          "home page now");

ProgramInfo runningAt(int major, int minor, int revision)
{
    ProgramInfo program = ProgramInfo::inFolder(QStringLiteral("/opt/tarnwick"));
    program.major = major;
    program.minor = minor;
    program.revision = revision;
    return program;
}

} // namespace

class TestUpdateCheck : public QObject
{
    Q_OBJECT

private:
    ScriptedHttpServer m_server;
    // Fresh for every test, so no scripted answer is left over.
    std::optional<RecordingUserInterface> m_ui;
    std::optional<RecordingShell> m_shell;

    HomePage home(std::chrono::milliseconds timeout = std::chrono::seconds(5)) const
    {
        return HomePage{m_server.url(kPagePath), kSite, timeout};
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_server.isListening());
        m_ui.emplace();
        m_shell.emplace();
    }

    void outcome_data();
    void outcome();
    void cancelledOfferOpensNothing();
    void silentServerGivesUpAtTheTimeLimit();
    void refusedConnectionCannotContact();
    void downloadIsTheWholePageWithTheUserAgent();
    void padVersionString_data();
    void padVersionString();
};

void TestUpdateCheck::outcome_data()
{
    QTest::addColumn<int>("runningRevision");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<QString>("published"); // as GetHomePageVersion returns it
    QTest::addColumn<QString>("expected");  // the one text shown

    QTest::newRow("newer revision")
        << 1 << 200 << versionPage("1.0.2") << "0001.0000.0002" << kOfferText;
    QTest::newRow("newer minor") << 1 << 200 << versionPage("1.1.0") << "0001.0001.0000"
                                 << kOfferText;
    QTest::newRow("newer major") << 1 << 200 << versionPage("2.0.0") << "0002.0000.0000"
                                 << kOfferText;
    QTest::newRow("equal is up to date")
        << 1 << 200 << versionPage("1.0.1") << "0001.0000.0001" << kUpToDateText;
    QTest::newRow("older") << 1 << 200 << versionPage("1.0.0") << "0001.0000.0000" << kUpToDateText;
    QTest::newRow("1.0.10 against 1.0.9")
        << 9 << 200 << versionPage("1.0.10") << "0001.0000.0010" << kOfferText;
    QTest::newRow("more digits and points follow")
        << 1 << 200 << versionPage("1.0.1.2") << "0001.0000.0001.0002" << kOfferText;
    QTest::newRow("marker and font in other case")
        << 1 << 200
        << versionPage("1.0.2").replace("Version", "VERSION").replace("Helvetica", "HELVETICA")
        << "0001.0000.0002" << kOfferText;
    QTest::newRow("no marker") << 1 << 200
                               << versionPage("1.0.2").replace("<b>Version</b>", "<b>Release</b>")
                               << "" << kUnableText;
    QTest::newRow("no font after the marker")
        << 1 << 200 << versionPage("1.0.2").replace("face=\"Helvetica\">1", "face=\"Arial\">1")
        << "" << kUnableText;
    // Without the font after the marker the scan starts at the page's 11th character.
    QTest::newRow("no font after the marker, digits at character 11")
        << 1 << 200
        << QByteArray("<!--------2.0.0--><b>Version</b><font face=\"Arial\">1.0.0</font>")
        << "0002.0000.0000" << kOfferText;
    QTest::newRow("no digits after the font")
        << 1 << 200 << versionPage("n/a") << "" << kUnableText;
    QTest::newRow("page under 10 characters")
        << 1 << 200 << QByteArray(">version<") << "" << kUnableText;
    QTest::newRow("404 page") << 1 << 404 << versionPage("9.9.9") << "" << kUnableText;
    // Blank stretches longer than one read, and the marker far past 32767 characters.
    QTest::newRow("long page with blank stretches")
        << 1 << 200
        << QByteArray(40000, ' ') + versionPage("1.2.0") + QByteArray(3000, ' ') + "<p>end</p>"
        << "0001.0002.0000" << kOfferText;
}

void TestUpdateCheck::outcome()
{
    QFETCH(int, runningRevision);
    QFETCH(int, status);
    QFETCH(QByteArray, page);
    QFETCH(QString, published);
    QFETCH(QString, expected);

    m_server.serve(kPagePath, {status, page, false});
    const ProgramInfo program = runningAt(1, 0, runningRevision);
    UpdateCheck check(*m_ui, *m_shell, program, home());

    QCOMPARE(check.GetHomePageVersion(home().url), published);

    m_ui->answer({true});
    check.CheckForUpdatedVersion();
    QCOMPARE(m_ui->texts(), QStringList{expected});
    if (expected == kOfferText) {
        QCOMPARE(m_ui->shown.first().kind, RecordingUserInterface::Shown::OkCancel);
        QCOMPARE(m_ui->shown.first().title, QStringLiteral("Updated version is available"));
        QCOMPARE(m_shell->documents, QStringList{home().url});
    } else {
        QCOMPARE(m_ui->shown.first().kind, RecordingUserInterface::Shown::Message);
        QCOMPARE(m_ui->shown.first().title, QStringLiteral("Tarnwick"));
        QVERIFY(m_shell->documents.isEmpty());
    }
}

void TestUpdateCheck::cancelledOfferOpensNothing()
{
    m_server.serve(kPagePath, {200, versionPage("1.0.2"), false});
    const ProgramInfo program = runningAt(1, 0, 1);
    m_ui->answer({false});
    UpdateCheck(*m_ui, *m_shell, program, home()).CheckForUpdatedVersion();
    QCOMPARE(m_ui->texts(), QStringList{kOfferText});
    QVERIFY(m_shell->documents.isEmpty());
}

void TestUpdateCheck::silentServerGivesUpAtTheTimeLimit()
{
    m_server.serve(kPagePath, {200, {}, true});
    const ProgramInfo program = runningAt(1, 0, 1);
    QElapsedTimer clock;
    clock.start();
    UpdateCheck(*m_ui, *m_shell, program, home(std::chrono::milliseconds(800)))
        .CheckForUpdatedVersion();
    QVERIFY2(clock.elapsed() >= 700 && clock.elapsed() < 5000, QByteArray::number(clock.elapsed()));
    QCOMPARE(m_ui->texts(), QStringList{kUnableText});
}

void TestUpdateCheck::refusedConnectionCannotContact()
{
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
    const quint16 port = closed.serverPort();
    closed.close();

    const ProgramInfo program = runningAt(1, 0, 1);
    HomePage nowhere{QStringLiteral("http://127.0.0.1:%1/Tarnwick.htm").arg(port), kSite,
                     std::chrono::seconds(5)};
    UpdateCheck(*m_ui, *m_shell, program, nowhere).CheckForUpdatedVersion();
    QCOMPARE(m_ui->texts(), QStringList{kUnableText});
}

void TestUpdateCheck::downloadIsTheWholePageWithTheUserAgent()
{
    const QByteArray page = "<html>" + QByteArray(2500, ' ') + "\r\n" + QByteArray(1500, ' ') +
                            "after the blanks</html>";
    m_server.serve("/page.htm", {200, page, false});
    m_server.requests.clear();
    const ProgramInfo program = runningAt(1, 0, 1);
    UpdateCheck check(*m_ui, *m_shell, program, home());

    QCOMPARE(check.GetUrlText(m_server.url("/page.htm"), UpdateCheck::kAccessPreconfigured),
             QString::fromLatin1(page));
    QCOMPARE(m_server.requests.size(), 1);
    QVERIFY2(m_server.requests.first().contains("\r\nUser-Agent: HTTP Generic\r\n"),
             m_server.requests.first());
    QVERIFY(m_ui->shown.isEmpty());
}

void TestUpdateCheck::padVersionString_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("padded");
    QTest::addColumn<QString>("message");

    const QString noPoint =
        QStringLiteral("(error):5 (Invalid procedure call or argument) in procedure "
                       "PadVersionString of Module modUpdateCheck");
    QTest::newRow("1.0.1") << "1.0.1"
                           << "0001.0000.0001"
                           << "";
    QTest::newRow("12.3.456") << "12.3.456"
                              << "0012.0003.0456"
                              << "";
    QTest::newRow("five-digit part") << "1.23456.7"
                                     << "0001.23456.0007"
                                     << "";
    QTest::newRow("leading zeros") << "007.0010.1"
                                   << "0007.0010.0001"
                                   << "";
    QTest::newRow("already widened") << "0001.0000.0001"
                                     << "0001.0000.0001"
                                     << "";
    QTest::newRow("two parts") << "10.20"
                               << "0010.0020"
                               << "";
    QTest::newRow("shorter than 4") << "1.0"
                                    << ""
                                    << "";
    QTest::newRow("empty") << ""
                           << ""
                           << "";
    QTest::newRow("4 characters, no point") << "1234"
                                            << "" << noPoint;
    QTest::newRow("longer, no point") << "20240101"
                                      << "" << noPoint;
}

void TestUpdateCheck::padVersionString()
{
    QFETCH(QString, text);
    QFETCH(QString, padded);
    QFETCH(QString, message);

    const ProgramInfo program = runningAt(1, 0, 1);
    UpdateCheck check(*m_ui, *m_shell, program, home());
    QCOMPARE(check.PadVersionString(text), padded);
    QCOMPARE(m_ui->texts(), message.isEmpty() ? QStringList() : QStringList{message});
}

QTEST_GUILESS_MAIN(TestUpdateCheck)
#include "tst_updatecheck.moc"

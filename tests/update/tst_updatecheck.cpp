// The update check against a server on 127.0.0.1: each page gives one of the three messages, a newer version is
// offered and opened only on OK, and a version that cannot be widened is reported.
#include "platform/ProgramInfo.h"
#include "support/RecordingUserInterface.h"
#include "update/ScriptedHttpServer.h"
#include "update/UpdateCheck.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

using namespace tarnwick;
using namespace tarnwick::test;

namespace {

const QByteArray kPath = "/Applications/Orvane/Tarnwick.htm";
const QString kUnable = "Unable to contact application home page to check for version.  You can access the home "
                        "page and check for updated versions of all Brenlow Orvane tools by going to "
                        "tools.test.example";
const QString kUpToDate = "You have the most up to date version of this tool installed";
const QString kOffer = "An updated version of this tool is available on tools.test.example.  Click OK to open "
                       "the application home page now";
const QString kPadFailed = "(error):5 (Invalid procedure call or argument) in procedure PadVersionString of Module "
                           "modUpdateCheck";
// BadVersion: unable, after PadVersionString has reported its failure.
constexpr int Unable = 0, BadVersion = 1, UpToDate = 2, OfferTaken = 3, OfferDeclined = 4, Cancelled = 5;
constexpr int Silent = 0, Refused = -1; // besides the HTTP statuses

struct Case
{
    QByteArray page;
    QString published; // as GetHomePageVersion returns it
    int outcome;
    int revision = 1; // of the running 1.0.x
    int server = 200;
};

} // namespace

Q_DECLARE_METATYPE(Case)

class TestUpdateCheck : public QObject
{
    Q_OBJECT
    ScriptedHttpServer m_server;

private Q_SLOTS:
    void outcome_data()
    {
        QTest::addColumn<Case>("c");
        const auto row = [](const char* tag, const Case& c) { QTest::newRow(tag) << c; };
        row("newer revision", {versionPage("1.0.2"), "0001.0000.0002", OfferTaken});
        row("newer minor, Cancel", {versionPage("1.1.0"), "0001.0001.0000", OfferDeclined});
        row("equal is up to date", {versionPage("1.0.1"), "0001.0000.0001", UpToDate});
        row("older", {versionPage("1.0.0"), "0001.0000.0000", UpToDate});
        row("1.0.10 against 1.0.9", {versionPage("1.0.10"), "0001.0000.0010", OfferTaken, 9});
        row("more digits and points follow", {versionPage("1.0.1.2"), "0001.0000.0001.0002", OfferTaken});
        row("five-digit part", {versionPage("1.23456.7"), "0001.23456.0007", OfferTaken});
        row("leading zeros", {versionPage("0001.007.0"), "0001.0007.0000", OfferTaken});
        row("version under 4 characters", {versionPage("1.0"), "", Unable});
        row("version without a point", {versionPage("1234"), "", BadVersion});
        row("marker and font in other case", {versionPage("1.0.2").toUpper(), "0001.0000.0002", OfferTaken});
        row("no marker", {versionPage("1.0.2").replace("<b>Version</b>", "<b>Release</b>"), "", Unable});
        row("no font after the marker", {versionPage("1.0.2").replace("Helvetica\">1", "Arial\">1"), "", Unable});
        // Without the font after the marker the scan starts at the page's 11th character; a newer major here.
        row("no font, digits at character 11",
            {"<!--------2.0.0--><b>Version</b><font face=\"Arial\">1.0.0", "0002.0000.0000", OfferTaken});
        row("no digits after the font", {versionPage("n/a"), "", Unable});
        row("page under 10 characters", {">version<", "", Unable});
        row("404 page", {versionPage("9.9.9"), "", Unable, 1, 404});
        // Blank stretches longer than one read, and the marker far past 32767 characters.
        row("40000 blanks first", {QByteArray(40000, ' ') + versionPage("1.2.0"), "0001.0002.0000", OfferTaken});
        row("server never answers", {{}, "", Unable, 1, Silent});
        // Cancelled from the window, which goes on working while it waits: no message at all.
        row("cancelled while waiting", {{}, "", Cancelled, 1, Silent});
        row("connection refused", {{}, "", Unable, 1, Refused});
    }

    void outcome()
    {
        QFETCH(Case, c);
        m_server.serve(kPath, {c.server, c.page, c.server == Silent});
        const QString url = c.server == Refused ? "http://127.0.0.1:1/" : m_server.url(kPath); // no one on port 1
        RecordingUserInterface ui;
        RecordingShell shell;
        const ProgramInfo program{"/opt/tarnwick", "tarnwick", 1, 0, c.revision};
        UpdateCheck check(ui, shell, program, HomePage{url, "tools.test.example", std::chrono::milliseconds(800)});
        const QStringList reported = c.outcome == BadVersion ? QStringList{kPadFailed} : QStringList();
        QCOMPARE(check.GetHomePageVersion(url), c.published);
        QCOMPARE(ui.texts(), reported);

        ui.clear();
        ui.answer({c.outcome == OfferTaken});
        QElapsedTimer clock;
        clock.start();
        QList<bool> waits;
        check.setWaitShown([&](bool shown) {
            waits.append(shown);
            if (shown && c.outcome == Cancelled)
                QTimer::singleShot(100, [&] { check.cancel(); });
        });
        check.CheckForUpdatedVersion();
        QCOMPARE(waits.size() % 2, 0);
        if (c.outcome == Cancelled) {
            QCOMPARE(waits, QList<bool>({true, false}));
            QVERIFY(clock.elapsed() < 700 && ui.texts().isEmpty());
            return;
        }
        // A silent server is given up at the time limit.
        QVERIFY2(clock.elapsed() < 5000 && (c.server != Silent || clock.elapsed() >= 700), "the time limit");
        const bool offered = c.outcome >= OfferTaken;
        QCOMPARE(ui.texts(), reported + QStringList{offered ? kOffer : c.outcome == UpToDate ? kUpToDate : kUnable});
        QCOMPARE(ui.shown.last().kind, offered ? ui.shown.last().OkCancel : ui.shown.last().Message);
        QCOMPARE(ui.shown.last().title, offered ? "Updated version is available" : "Tarnwick");
        QCOMPARE(shell.documents, c.outcome == OfferTaken ? QStringList{url} : QStringList());
        if (c.server != Refused)
            QVERIFY2(m_server.requests.last().contains("\r\nUser-Agent: HTTP Generic\r\n"), m_server.requests.last());
    }
};

QTEST_GUILESS_MAIN(TestUpdateCheck)
#include "tst_updatecheck.moc"

// Start-up and the welcome page: the version and Domino gates, the wizard's options, Next and back keeping the
// window's place, Help, Exit and the update check with the shared services behind them.
#include "about/frmAbout.h"
#include "app/Wizard.h"
#include "app/frmMain.h"
#include "export/frmDumpInfo.h"
#include "platform/DesktopShell.h"
#include "program/Startup.h"
#include "select/frmChooseSubscribers.h"
#include "select/frmProgress.h"
#include "support/ProgramEnd.h"
#include "support/TestEnvironment.h"
#include "update/ScriptedHttpServer.h"
#include "widgets/WindowLayout.h"

#include <QtTest>
#include <QtWidgets>

using namespace tarnwick;
using namespace tarnwick::test;

const QString kTooOld = "This version of Tarnwick only runs on Orvane 4.0(3) and later.  Existing application...";
const QString kNoDomino = "This version of Tarnwick only works with Exchange based Orvane installs - Domino is not "
                          "supported.  Existing application.";
const QString kDomino = "KestraneDsDomino.KestraneIDCDomino.1", kExchange = "KestraneDsExchange.KestraneIDCExchange.1";
// The texts of a window's labels, buttons, check boxes, frame titles and mode-list entries that need more room
// than their control gives them, as "name: text needs N, has M".
static QStringList clippedTexts(QWidget& window)
{
    QStringList clipped;
    const auto check = [&](const QWidget& w, const QString& text, int need, int has) {
        if (need > has)
            clipped << QString("%1: \"%2\" needs %3, has %4").arg(w.objectName(), text).arg(need).arg(has);
    };
    for (QWidget* w : window.findChildren<QWidget*>()) {
        if (!w->isVisibleTo(&window))
            continue;
        const QFontMetrics fm = w->fontMetrics();
        if (auto* label = qobject_cast<QLabel*>(w); label && !label->text().isEmpty()) {
            if (label->wordWrap())
                check(*label, label->text(), label->heightForWidth(label->width()), label->height());
            else
                check(*label, label->text(), label->sizeHint().width(), label->width());
        } else if (auto* button = qobject_cast<QAbstractButton*>(w); button && !button->text().isEmpty()) {
            check(*button, button->text(), button->sizeHint().width(), button->width());
        } else if (auto* frame = qobject_cast<QGroupBox*>(w)) {
            check(*frame, frame->title(), fm.horizontalAdvance(frame->title()) + 2 * fm.averageCharWidth(),
                  frame->width());
        } else if (auto* list = qobject_cast<QComboBox*>(w); list && list->objectName() == "cmbSubscriberSelectType") {
            QStyleOptionComboBox option;
            option.initFrom(list);
            const int has =
                list->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, list).width();
            for (int i = 0; i < list->count(); ++i)
                check(*list, list->itemText(i), fm.horizontalAdvance(list->itemText(i)) + 2, has); // 1 each side
        }
    }
    return clipped;
}

static QString at(std::uint32_t v, std::uint32_t b, QString idc) { return TestEnvironment::registryText(v, b, idc); }

class TestFrmMain : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void gates_data()
    {
        QTest::addColumn<QString>("registry");
        QTest::addColumn<QString>("message"); // empty: the gates pass
        QTest::newRow("4.0(3.100) Exchange") << at(0x00040000, 0x00030064, kExchange) << "";
        QTest::newRow("4.0(3.99)") << at(0x00040000, 0x00030063, kExchange) << kTooOld;
        // The version gate comes first, so an old Domino install hears only of its version.
        QTest::newRow("old Domino install") << at(0x00040000, 0x00020000, kDomino) << kTooOld;
        QTest::newRow("Domino") << at(0x00040000, 0x00030064, kDomino) << kNoDomino;
        QTest::newRow("Domino in lower case") << at(0x00040000, 0x00030064, kDomino.toLower()) << kNoDomino;
        // No IDCProgID (the registry's reading gives its default for a missing key or value alike).
        QTest::newRow("IDCProgID key missing") << TestEnvironment::registryText() << "";
        QTest::newRow("Domino id with more text") << at(0x00040000, 0x00030064, kDomino + 'x') << "";
    }

    void gates()
    {
        QFETCH(QString, registry);
        QFETCH(QString, message);
        TestEnvironment env(registry);
        const bool passes = message.isEmpty();
        if (passes)
            RunStartupGates(*env.app);
        else
            QVERIFY_THROWS_EXCEPTION(ExitRequested, RunStartupGates(*env.app));
        QCOMPARE(env.ui.texts(), passes ? QStringList() : QStringList{message});
        QCOMPARE(env.ui.shown.value(0).title, passes ? "" : "Tarnwick");
        // Set only once both gates have passed.
        QCOMPARE(env.app->strConnectionString, passes ? "Driver={SQL Server};server=;database=OrvaneDb" : "");
    }

    // The wizard's options answer on stdout and end it before any window, with a display or without one
    // (the gates would stop it on an empty registry otherwise).
    void options_data()
    {
        QTest::addColumn<QString>("arguments"); // separated by '|'
        QTest::addColumn<bool>("display");      // the offscreen one; else none at all
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("output"); // a part of stdout and stderr
        QTest::newRow("help, no display") << "-h" << false << 0 << "tarnwick-export does the same";
        QTest::newRow("version, no display") << "-v" << false << 0 << "tarnwick 1.0.1\n";
        QTest::newRow("the toolkit's own option") << "-platform|offscreen|--version" << true << 0 << "1.0.1";
        QTest::newRow("unknown option") << "--all" << true << 2 << "Unknown option 'all'";
        QTest::newRow("argument") << "x" << true << 2 << "unexpected argument: x";
        QTest::newRow("no display") << "" << false << 3 << "no display found";
    }
    void options()
    {
        QFETCH(QString, arguments);
        QFETCH(bool, display);
        QFETCH(int, status);
        QFETCH(QString, output);
        QProcess wizard;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(name);
        if (display)
            environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("TARNWICK_REGISTRY", "/nonexistent.reg");
        wizard.setProcessEnvironment(environment);
        wizard.start(TARNWICK_BINARY_DIR "/bin/tarnwick", arguments.split(u'|', Qt::SkipEmptyParts));
        QVERIFY(wizard.waitForFinished(20000));
        const QString shown = QString::fromUtf8(wizard.readAllStandardOutput() + wizard.readAllStandardError());
        QVERIFY2(wizard.exitCode() == status && shown.contains(output), qPrintable(shown));
    }

    void welcomePage()
    {
        TestEnvironment env;
        env.database().addCos("cos-1", "Default"); // the selection page needs one to load
        Wizard wizard(*env.app);
        wizard.start();
        frmMain& page = wizard.welcomePage();

        // "Check for updated version" runs the check with the program's own version (1.0.1), messages and shell:
        // the next revision is offered and opened on OK.
        ScriptedHttpServer server;
        env.app->homePage = {server.url("/Tarnwick.htm"), "tools.test.example", std::chrono::seconds(5)};
        env.ui.answer({true});
        server.serve("/Tarnwick.htm", {200, versionPage("1.0.2"), false});
        page.findChild<QAction*>("mnuCheckForUpdatedVersion")->trigger();
        QCOMPARE(env.ui.texts(), QStringList{"An updated version of this tool is available on tools.test.example.  "
                                             "Click OK to open the application home page now"});
        QCOMPARE(env.shell.documents, QStringList{server.url("/Tarnwick.htm")});
        env.ui.clear();
        env.shell.documents.clear();
        // On a server that never answers the page says it is checking, with a busy pointer, and Cancel ends it
        // without a word.
        server.serve("/Tarnwick.htm", {200, {}, true});
        QString seen = "not shown";
        QTimer::singleShot(200, &page, [&] {
            auto* checking = page.findChild<QProgressDialog*>("frmChecking");
            const QCursor* pointer = QGuiApplication::overrideCursor();
            if (checking && checking->isVisible())
                seen = checking->labelText() + (pointer && pointer->shape() == Qt::BusyCursor ? " busy" : "");
            if (checking)
                checking->findChild<QPushButton*>()->click();
        });
        page.findChild<QAction*>("mnuCheckForUpdatedVersion")->trigger();
        QCOMPARE(seen, "Checking the home page for an updated version... busy");
        QCOMPARE(env.ui.texts(), QStringList());
        QVERIFY(!QGuiApplication::overrideCursor());

        // Help and Exit, on the buttons and in the menu, call the shared services.
        const QString help = env.folder() + "/Tarnwick.htm";
        page.findChild<QPushButton*>("cmdHelp")->click();
        QCOMPARE(env.ui.texts(), QStringList{"Unable to open help file at:" + help});
        QVERIFY(QFile(help).open(QIODevice::WriteOnly));
        page.findChild<QAction*>("mnuHelp")->trigger();
        QCOMPARE(env.shell.documents, QStringList{help});
        // Installed: the page in the documentation folder, unless one lies beside the program.
        const QString docs = env.path("usr/share/doc/tarnwick/Tarnwick.htm");
        QVERIFY(QDir().mkpath(env.path("usr/bin")) && QDir().mkpath(env.path("usr/share/doc/tarnwick")));
        QVERIFY(QFile(docs).open(QIODevice::WriteOnly));
        const ProgramInfo installed = ProgramInfo::inFolder(env.path("usr/bin"));
        QCOMPARE(SharedServices(env.ui, env.shell, env.app->log, installed).helpFilePath(), docs);
        QVERIFY(QFile::copy(docs, env.path("usr/bin/Tarnwick.htm")));
        QCOMPARE(SharedServices(env.ui, env.shell, env.app->log, installed).helpFilePath(),
                 env.path("usr/bin/Tarnwick.htm"));
        // A desktop that cannot open the page, or a file as text, says so and names the path.
        env.shell.opens = false;
        page.findChild<QPushButton*>("cmdHelp")->click();
        env.app->services.ViewInTextEditor(env.folder() + "/out.csv");
        QCOMPARE(
            env.ui.texts(),
            QStringList({"Unable to open help file at:" + help, "No application could open the help file at:" + help,
                         "Unable to open a text editor on the file at:" + env.folder() + "/out.csv"}));
        env.ui.clear();

        env.app->log.OpenLogFile(env.app->log.GenerateNewLogFileName(), false);
        const auto logState = [&] { return env.app->log.isOpen() ? QString("log open") : QString("log closed"); };
        const auto clickExit = [&] { page.findChild<QPushButton*>("cmdExit")->click(); };
        QCOMPARE(runToProgramEnd(env.ui, clickExit, logState), (ProgramEnd{0, "log closed"}));
        // With no log open Exit ends the program all the same, and never with a message.
        env.app->log.CloseLogFile();
        QCOMPARE(runToProgramEnd(env.ui, [&] { page.findChild<QAction*>("mnuExit")->trigger(); }).status, 0);
        QCOMPARE(env.ui.shown.size(), 0);
    }

    // Under a real window manager (CTest runs this in Xvfb with openbox): a welcome page that the manager placed and
    // the person moved still comes back where the selection page stands, on the first Previous too.
    void positionsUnderAWindowManager()
    {
        if (QGuiApplication::platformName() != "xcb")
            QSKIP("needs an X server with a window manager");
        TestEnvironment env;
        env.database().addCos("cos-1", "Default");
        Wizard wizard(*env.app);
        wizard.start();
        frmMain& welcome = wizard.welcomePage();
        QVERIFY(QTest::qWaitForWindowExposed(&welcome));
        QTest::qWait(300);
        const QPoint placed = welcome.pos();
        // Moved by the window manager, as a person drags it, not by the program.
        QCOMPARE(QProcess::execute("xdotool", {"windowmove", QString::number(welcome.winId()), "300", "200"}), 0);
        QTRY_VERIFY(welcome.pos() != placed);
        QTest::qWait(500); // the frame settles
        const QPoint moved = welcome.pos();
        welcome.findChild<QPushButton*>("cmdNext")->click();
        frmChooseSubscribers& select = wizard.selectionPage();
        QTRY_COMPARE(select.pos(), moved);
        select.findChild<QPushButton*>("cmdPrevious")->click();
        QVERIFY(QTest::qWaitForWindowExposed(&welcome));
        QTest::qWait(500); // where the manager puts it, once it has
        QTRY_COMPARE(welcome.pos(), moved);

        // The manager's maximise fills the screen with the selection page, and the next run starts where this one
        // was left.
        welcome.findChild<QPushButton*>("cmdNext")->click();
        select.showMaximized();
        QTRY_VERIFY(select.width() > select.minimumWidth() + 200 && select.height() > select.minimumHeight() + 200);
        QTest::qWait(600); // the place is written a moment after the last move
        Wizard next(*env.app);
        QCOMPARE(next.welcomePage().pos(), moved);
        QVERIFY(next.selectionPage().windowState() & Qt::WindowMaximized);
    }

    // A remembered place that no screen shows any more comes back onto the screen it overlaps most, or the nearest.
    void placeOnScreens_data()
    {
        QTest::addColumn<QRect>("saved");
        QTest::addColumn<QRect>("placed");
        const QRect drawn(0, 0, 766, 513);
        QTest::newRow("on the screen") << drawn.translated(100, 50) << drawn.translated(100, 50);
        QTest::newRow("off the right") << drawn.translated(5000, 50) << drawn.translated(2304 - 766, 50);
        QTest::newRow("above and left") << drawn.translated(-900, -700) << drawn;
        QTest::newRow("mostly on the second") << drawn.translated(1200, 100) << drawn.translated(1280, 100);
        QTest::newRow("larger than it") << QRect(1300, 0, 1800, 1000) << QRect(1280, 0, 1024, 768);
        QTest::newRow("never below the least") << QRect(1300, 0, 400, 300) << QRect(1300, 0, 766, 513);
    }
    void placeOnScreens()
    {
        QFETCH(QRect, saved);
        const QList<QRect> screens{{0, 0, 1280, 1024}, {1280, 0, 1024, 768}};
        QTEST(layout::placeOnScreens(saved, screens, QSize(766, 513)), "placed");
    }

    // The desktop shell on Linux: a file opens as text with the desktop's plain-text application, also a CSV file
    // whose own default is a spreadsheet; without one, or when the opener finds no handler, it says it could not.
    void desktopShellOpensOrSaysItCannot()
    {
        QTemporaryDir dir;
        const QString apps = dir.filePath("data/applications"), config = dir.filePath("config");
        QVERIFY(QDir().mkpath(apps) && QDir().mkpath(config) && QDir().mkpath(dir.filePath("bin")));
        qputenv("XDG_DATA_HOME", dir.filePath("data").toUtf8());
        qputenv("XDG_DATA_DIRS", dir.filePath("none").toUtf8());
        qputenv("XDG_CONFIG_HOME", config.toUtf8());
        qputenv("XDG_CONFIG_DIRS", dir.filePath("none").toUtf8());
        const QString csv = dir.filePath("private lists.csv");
        QVERIFY(QFile(csv).open(QIODevice::WriteOnly));
        DesktopShell shell;
        QVERIFY(!shell.openInTextEditor(csv));

        const auto write = [](const QString& path, const QString& text) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) == text.toUtf8().size());
            QVERIFY(file.setPermissions(file.permissions() | QFile::ExeOwner));
        };
        // Each application writes the file it was given beside the folder it is named after.
        const auto entry = [&](const QString& name, const QString& extra) {
            const QString program = dir.filePath(name + ".sh");
            write(program, "#!/bin/sh\nprintf %s \"$1\" > \"" + dir.filePath(name) + "\"\n");
            write(apps + '/' + name + ".desktop",
                  "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=" + program + " %f\n" + extra);
        };
        entry("spreadsheet", "MimeType=text/csv;\n");
        entry("terminaleditor", "Terminal=true\n");
        entry("editor", "");
        write(config + "/mimeapps.list", "[Default Applications]\ntext/csv=spreadsheet.desktop\n"
                                         "text/plain=terminaleditor.desktop;editor.desktop\n");
        QCOMPARE(DesktopShell::desktopCommands("text/plain", csv).size(), 1);
        QVERIFY(shell.openInTextEditor(csv));
        const auto given = [&] {
            QFile opened(dir.filePath("editor"));
            return opened.open(QIODevice::ReadOnly) ? opened.readAll() : QByteArray();
        };
        QTRY_COMPARE(given(), csv.toUtf8());
        QVERIFY(!QFile::exists(dir.filePath("spreadsheet")) && !QFile::exists(dir.filePath("terminaleditor")));

        // Documents go to the desktop's opener, whose status tells whether it found a handler.
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", dir.filePath("bin").toUtf8());
        QVERIFY(!shell.openDocument(csv)); // no opener at all
        write(dir.filePath("bin/xdg-open"), "#!/bin/sh\nexit 3\n");
        QVERIFY(!shell.openDocument(csv));
        write(dir.filePath("bin/xdg-open"), "#!/bin/sh\nexit 0\n");
        QVERIFY(shell.openDocument(csv));
        qputenv("PATH", path);
    }

    // Every text of every window shows whole with the fonts found here, at the scale factor the test runs at (CTest
    // runs this again with QT_SCALE_FACTOR 1.5 and 2).
    void textsFit()
    {
        TestEnvironment env;
        env.database().addCos("cos-1", "Default");
        Wizard wizard(*env.app);
        wizard.start();
        QStringList clipped = clippedTexts(wizard.welcomePage());
        wizard.goToSelection(wizard.welcomePage());
        frmChooseSubscribers& select = wizard.selectionPage();
        auto* modes = select.findChild<QComboBox*>("cmbSubscriberSelectType");
        for (int mode = 0; mode < modes->count(); ++mode) {
            modes->setCurrentIndex(mode);
            clipped << clippedTexts(select);
        }
        frmProgress& progress = select.progressWindow(); // as a load of 10,000 subscribers writes it
        progress.labels().setOf("of ");
        progress.labels().setCount("10000");
        progress.labels().setTotal(" 10000");
        progress.show();
        clipped << clippedTexts(progress);
        progress.hide();
        wizard.goToExport(select);
        clipped << clippedTexts(wizard.exportPage());
        frmAbout about(env.app->program, env.app->services);
        about.show();
        clipped << clippedTexts(about);
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join("\n")));
    }
};

QTEST_MAIN(TestFrmMain)
#include "tst_frmmain.moc"

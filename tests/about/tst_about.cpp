#include "about/frmAbout.h"
#include "app/SharedServices.h"
#include "app/Wizard.h"
#include "app/frmMain.h"
#include "platform/ProgramInfo.h"
#include "support/TestEnvironment.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace tarnwick;
using namespace tarnwick::test;

namespace {

template <typename T> T* child(QWidget& parent, const char* name)
{
    return parent.findChild<T*>(QString::fromLatin1(name));
}

// True when the image has at least one pixel that is not transparent.
bool hasInk(const QPixmap& pixmap)
{
    const QImage image = pixmap.toImage();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) != 0)
                return true;
    return false;
}

void processDeferredDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class TestAbout : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void versionText_data();
    void versionText();
    void contents();
    void changeLanguagePopsUpOneEntry();
    void okHidesAndKeepsTheDialog();
    void titleBarCloseUnloads();
    void aboutMenuShowsOneDialogModally();
    void helpPageLiesBesideThePrograms();
};

void TestAbout::versionText_data()
{
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");
    QTest::addColumn<int>("revision");
    QTest::addColumn<QString>("text");

    const ProgramInfo built = ProgramInfo::current();
    QTest::newRow("this build") << built.major << built.minor << built.revision << " 1.0 Build 1";
    QTest::newRow("two-digit revision") << 2 << 3 << 45 << " 2.3 Build 45";
}

void TestAbout::versionText()
{
    QFETCH(int, major);
    QFETCH(int, minor);
    QFETCH(int, revision);
    QFETCH(QString, text);

    TestEnvironment env;
    ProgramInfo program = env.app->program;
    program.major = major;
    program.minor = minor;
    program.revision = revision;
    frmAbout dialog(program, env.app->services);
    QCOMPARE(child<QLabel>(dialog, "lblVersion")->text(), text);
    QVERIFY(env.ui.shown.isEmpty());
}

void TestAbout::contents()
{
    TestEnvironment env;
    frmAbout dialog(env.app->program, env.app->services);

    QCOMPARE(dialog.windowTitle(), QStringLiteral("Tarnwick"));
    QVERIFY(dialog.isModal());
    QLabel* versionTitle = child<QLabel>(dialog, "lblVersionTitle");
    QCOMPARE(versionTitle->text(), QStringLiteral("Version:"));
    QVERIFY(versionTitle->font().bold());
    QLabel* link = child<QLabel>(dialog, "lblChangeLanguage");
    QCOMPARE(link->text(), QStringLiteral("Change Language"));
    QVERIFY(link->font().underline());
    QCOMPARE(child<QPushButton>(dialog, "cmdOK")->text(), QStringLiteral("OK"));
    for (const char* line : {"lblBrenlowAddress1", "lblBrenlowAddress2", "lblBrenlowAddress3"})
        QVERIFY2(!child<QLabel>(dialog, line)->text().isEmpty(), line);
    // The logos come from resources compiled into a static library; a lost
    // registration would leave them blank.
    for (const char* logo : {"picBrenlowLogo", "picOrvaneLogo"})
        QVERIFY2(hasInk(child<QLabel>(dialog, logo)->pixmap()), logo);
}

void TestAbout::changeLanguagePopsUpOneEntry()
{
    TestEnvironment env;
    frmAbout dialog(env.app->program, env.app->services);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    QTest::mouseClick(child<QLabel>(dialog, "lblChangeLanguage"), Qt::LeftButton);
    auto* menu = dialog.findChild<QMenu*>(QStringLiteral("mnuSelectLanguage"));
    QVERIFY(menu);
    QTRY_VERIFY(menu->isVisible());
    QCOMPARE(menu->title(), QStringLiteral("Select Language"));
    QCOMPARE(menu->actions().size(), 1);
    QAction* entry = menu->actions().first();
    QCOMPARE(entry->text(), QStringLiteral("LanguageList"));

    // Choosing the placeholder changes nothing.
    entry->trigger();
    menu->hide();
    QVERIFY(dialog.isVisible());
    QCOMPARE(child<QLabel>(dialog, "lblVersion")->text(), QStringLiteral(" 1.0 Build 1"));
    QCOMPARE(menu->actions().size(), 1);
    QVERIFY(env.ui.shown.isEmpty());
}

void TestAbout::okHidesAndKeepsTheDialog()
{
    TestEnvironment env;
    QPointer<frmAbout> dialog = new frmAbout(env.app->program, env.app->services);
    QTimer::singleShot(0, dialog, [&] {
        QTest::mouseClick(child<QPushButton>(*dialog, "cmdOK"), Qt::LeftButton);
    });
    dialog->exec(); // returns once OK has hidden it

    QVERIFY(!dialog->isVisible());
    processDeferredDeletes();
    QVERIFY(dialog);
    delete dialog;
}

void TestAbout::titleBarCloseUnloads()
{
    TestEnvironment env;
    QPointer<frmAbout> dialog = new frmAbout(env.app->program, env.app->services);
    dialog->show();
    QVERIFY(dialog->close());
    processDeferredDeletes();
    QVERIFY(dialog.isNull());
}

void TestAbout::aboutMenuShowsOneDialogModally()
{
    TestEnvironment env;
    Wizard wizard(*env.app);
    frmMain& main = wizard.welcomePage();
    auto* about = main.findChild<QAction*>(QStringLiteral("About"));
    QVERIFY(about);

    // Chooses About; while the dialog is up, notes it and lets `end` close it.
    struct Seen
    {
        QPointer<frmAbout> dialog;
        bool modal = false;
    };
    auto chooseAbout = [&](const std::function<void(frmAbout&)>& end) {
        Seen seen;
        QTimer::singleShot(0, &main, [&] {
            for (frmAbout* d : main.findChildren<frmAbout*>())
                if (d->isVisible())
                    seen.dialog = d;
            if (!seen.dialog) {
                if (QWidget* other = QApplication::activeModalWidget())
                    other->hide(); // never leave the test blocked
                return;
            }
            seen.modal = QApplication::activeModalWidget() == seen.dialog;
            end(*seen.dialog);
        });
        about->trigger();
        processDeferredDeletes();
        return seen;
    };
    auto pressOK = [](frmAbout& d) {
        QTest::mouseClick(child<QPushButton>(d, "cmdOK"), Qt::LeftButton);
    };

    const Seen first = chooseAbout(pressOK);
    QVERIFY(first.dialog);
    QVERIFY(first.modal);
    QVERIFY(!first.dialog->isVisible());

    // OK only hid it: the next About shows the same dialog without loading it again.
    child<QLabel>(*first.dialog, "lblVersion")->setText(QStringLiteral("left by the first visit"));
    const Seen second = chooseAbout(pressOK);
    QCOMPARE(second.dialog.data(), first.dialog.data());
    QCOMPARE(child<QLabel>(*second.dialog, "lblVersion")->text(),
             QStringLiteral("left by the first visit"));
    QCOMPARE(main.findChildren<frmAbout*>().size(), 1);

    // Closed from its title bar it is unloaded; the next About loads a new one.
    const Seen third = chooseAbout([](frmAbout& d) { d.close(); });
    QVERIFY(third.modal);
    QVERIFY(first.dialog.isNull());
    const Seen fourth = chooseAbout(pressOK);
    QVERIFY(fourth.dialog);
    QCOMPARE(child<QLabel>(*fourth.dialog, "lblVersion")->text(), QStringLiteral(" 1.0 Build 1"));
    QVERIFY(env.ui.shown.isEmpty());
}

void TestAbout::helpPageLiesBesideThePrograms()
{
    // The tests run from the folder the build puts the programs in.
    TestEnvironment env;
    const ProgramInfo program = ProgramInfo::current();
    SharedServices services(env.ui, env.shell, env.app->log, program);
    services.LaunchHelp();
    QVERIFY2(env.ui.shown.isEmpty(), qPrintable(env.ui.texts().join(u'\n')));
    QCOMPARE(env.shell.documents, QStringList{program.pathBeside(QStringLiteral("Tarnwick.htm"))});

    QFile installed(env.shell.documents.first());
    QFile source(QStringLiteral(TARNWICK_SOURCE_DIR "/resources/Tarnwick.htm"));
    QVERIFY(installed.open(QIODevice::ReadOnly));
    QVERIFY(source.open(QIODevice::ReadOnly));
    QCOMPARE(installed.readAll(), source.readAll());
}

QTEST_MAIN(TestAbout)
#include "tst_about.moc"

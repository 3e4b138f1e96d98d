// The About dialog: its texts and logos, the one-entry language menu, and the
// welcome page's About showing one kept dialog that loads once.
#include "about/frmAbout.h"
#include "app/Wizard.h"
#include "app/frmMain.h"
#include "platform/ProgramInfo.h"
#include "support/TestEnvironment.h"

#include <QtTest>
#include <QtWidgets>

using namespace tarnwick;
using namespace tarnwick::test;

template <typename T = QLabel> static T* child(QWidget& parent, const char* name) { return parent.findChild<T*>(name); }

class TestAbout : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void dialog()
    {
        TestEnvironment env;
        const ProgramInfo program{env.folder(), "tarnwick", 2, 3, 45};
        frmAbout dialog(program, env.app->services);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(child(dialog, "lblVersion")->text(), " 2.3 Build 45");
        // The logos come from resources compiled into a static library; a lost
        // registration would leave them blank.
        for (const char* logo : {"picBrenlowLogo", "picOrvaneLogo"}) {
            const QImage image = child(dialog, logo)->pixmap().toImage();
            QImage blank(image.size(), image.format());
            blank.fill(Qt::transparent);
            QVERIFY2(!image.isNull() && image != blank, logo);
        }
        QLabel* link = child(dialog, "lblChangeLanguage");
        QTest::mouseClick(link, Qt::LeftButton);
        auto* menu = child<QMenu>(dialog, "mnuSelectLanguage");
        QTRY_VERIFY(menu && menu->isVisible());
        QCOMPARE(menu->actions().size(), 1);
        menu->actions().first()->trigger(); // the placeholder changes nothing
        menu->hide();
        // The link is reached with Tab and opens with Space as well.
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        for (int i = 0; i < 5 && QApplication::focusWidget() != link; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), link);
        QTest::keyClick(link, Qt::Key_Space);
        QTRY_VERIFY(menu->isVisible());
        menu->hide();
        QVERIFY(dialog.isVisible());
        QCOMPARE(child(dialog, "lblVersion")->text(), " 2.3 Build 45");
        QVERIFY(env.ui.shown.isEmpty());
    }

    void aboutMenuShowsOneDialogModally()
    {
        TestEnvironment env;
        Wizard wizard(*env.app);
        frmMain& main = wizard.welcomePage();
        // Chooses About and, while the modal dialog is up, notes it and lets `end` close it.
        const auto chooseAbout = [&](void (*end)(frmAbout&)) {
            QPointer<frmAbout> seen;
            QTimer::singleShot(0, &main, [&] {
                if ((seen = qobject_cast<frmAbout*>(QApplication::activeModalWidget())))
                    end(*seen);
                else if (QWidget* other = QApplication::activeModalWidget())
                    other->hide(); // never leave the test blocked
            });
            main.findChild<QAction*>("About")->trigger();
            QCoreApplication::processEvents(); // the timer, had nothing modal run it
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return seen;
        };
        const auto pressOK = [](frmAbout& d) { QTest::mouseClick(child<QPushButton>(d, "cmdOK"), Qt::LeftButton); };
        const QPointer<frmAbout> first = chooseAbout(pressOK);
        QVERIFY(first && !first->isVisible());
        // OK only hid it: the next About shows the same dialog without loading it again.
        child(*first, "lblVersion")->setText("left by the first visit");
        QCOMPARE(chooseAbout(pressOK).data(), first.data());
        QCOMPARE(child(*first, "lblVersion")->text(), "left by the first visit");
        // Closed from its title bar it is unloaded; the next About loads a new one.
        chooseAbout([](frmAbout& d) { d.close(); });
        QVERIFY(first.isNull());
        const QPointer<frmAbout> fresh = chooseAbout(pressOK);
        QVERIFY(fresh);
        QCOMPARE(child(*fresh, "lblVersion")->text(), " 1.0 Build 1");
        QCOMPARE(main.findChildren<frmAbout*>().size(), 1);
        QVERIFY(env.ui.shown.isEmpty());
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"

#include "app/frmMain.h"

#include "about/frmAbout.h"
#include "app/Wizard.h"
#include "base/StepRunner.h"
#include "program/AppContext.h"
#include "update/UpdateCheck.h"
#include "widgets/WindowLayout.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>

#include <limits>

namespace tarnwick {

using layout::twipsRect;

const QString frmMain::kDescription = QStringLiteral(
    "The Tarnwick tool is designed to let administrators generate complete membership lists of all private "
    "distribution lists owned by some or all subscribers on a Orvane voice mail server.  The tool will walk "
    "through all private lists for selected subscribers and export every user and distribution list that is a "
    "member of a private list owned by those subscriber to the CSV output you select.  ");

frmMain::frmMain(AppContext& app, Wizard& wizard, QWidget* parent)
    : QMainWindow(parent), m_app(app), m_wizard(wizard)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Tarnwick"));

    auto* client = new QWidget(this);
    client->setFixedSize(layout::px(11400), layout::px(7410));
    setCentralWidget(client);

    layout::addHeading(client, QStringLiteral("Tarnwick"));

    layout::addTextBlock(client, "lblMain", kDescription, twipsRect(150, 1080, 10965, 1425));

    const auto [help, previous, next, exit] = layout::addWizardButtons(client, 6900, 60, QStringLiteral("Help"));
    previous->setEnabled(false);  // the first page has nowhere to go back to
    setTabOrder(exit, help);
    setTabOrder(help, previous);
    setTabOrder(previous, next);

    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    QAction* exitAction = file->addAction(QStringLiteral("E&xit"));
    exitAction->setObjectName(QStringLiteral("mnuExit"));

    QMenu* helpMenu = menuBar()->addMenu(QStringLiteral("&Help"));
    helpMenu->setObjectName(QStringLiteral("MainHelp"));
    QAction* helpAction = helpMenu->addAction(QStringLiteral("&Help"));
    helpAction->setObjectName(QStringLiteral("mnuHelp"));
    helpMenu->addSeparator()->setObjectName(QStringLiteral("seperator"));
    QAction* about = helpMenu->addAction(QStringLiteral("&About"));
    about->setObjectName(QStringLiteral("About"));
    QAction* update = helpMenu->addAction(QStringLiteral("&Check for updated version"));
    update->setObjectName(QStringLiteral("mnuCheckForUpdatedVersion"));

    connect(help, &QPushButton::clicked, this, [this] { m_app.services.LaunchHelp(); });
    connect(helpAction, &QAction::triggered, this, [this] { m_app.services.LaunchHelp(); });
    connect(exit, &QPushButton::clicked, this, [this] { m_app.services.ExitApplication(); });
    connect(exitAction, &QAction::triggered, this, [this] { m_app.services.ExitApplication(); });
    connect(next, &QPushButton::clicked, this, &frmMain::cmdNext_Click);
    connect(about, &QAction::triggered, this, &frmMain::About_Click);
    connect(update, &QAction::triggered, this, &frmMain::mnuCheckForUpdatedVersion_Click);

    // F10 opens the menu bar from the keyboard, as on Windows; the arrows and Enter do the rest.
    auto* menuKey = new QShortcut(QKeySequence(Qt::Key_F10), this);
    // Opened once the key's own events are through; opened at once, the menu closes again on X11.
    connect(menuKey, &QShortcut::activated, this, [this] {
        QTimer::singleShot(0, this, [this] { menuBar()->setActiveAction(menuBar()->actions().first()); });
    });

    layout()->setSizeConstraint(QLayout::SetFixedSize);  // a fixed single border
}

frmMain::~frmMain() = default;

void frmMain::cmdNext_Click()
{
    StepRunner steps([this](const Failure& f) {
        m_app.services.ShowMessage(ErrorText::inProcedure(f, QStringLiteral("cmdNext_Click"), QStringLiteral("Form frmMain")));
    });
    steps.run([&] { m_wizard.goToSelection(*this); });
}

void frmMain::closeEvent(QCloseEvent* event)
{
    event->accept();
    m_app.services.ExitApplication();
}

void frmMain::About_Click()
{
    // Closed from its title bar the dialog deletes itself; then a new one loads.
    if (!m_about)
        m_about = new frmAbout(m_app.program, m_app.services, this);
    m_about->exec();
}

void frmMain::mnuCheckForUpdatedVersion_Click()
{
    UpdateCheck check(m_app.ui, m_app.shell, m_app.program, m_app.homePage);
    // While the page comes: a busy pointer and a note that can cancel; the
    // page behind it keeps drawing but takes no clicks.
    QProgressDialog checking(QStringLiteral("Checking the home page for an updated version..."),
                             QStringLiteral("Cancel"), 0, 0, this);
    checking.setObjectName(QStringLiteral("frmChecking"));
    checking.setWindowTitle(QStringLiteral("Tarnwick"));
    checking.setWindowModality(Qt::WindowModal);
    checking.setAutoClose(false);
    checking.setAutoReset(false);
    checking.setMinimumDuration(std::numeric_limits<int>::max()); // shown below, not by its own timer
    connect(&checking, &QProgressDialog::canceled, this, [&check] { check.cancel(); });
    check.setWaitShown([&checking](bool shown) {
        if (shown) {
            QApplication::setOverrideCursor(Qt::BusyCursor);
            checking.show();
        } else {
            checking.hide();
            QApplication::restoreOverrideCursor();
        }
    });
    check.CheckForUpdatedVersion();
}

} // namespace tarnwick

#pragma once

#include <QMainWindow>
#include <QPointer>

class QLabel;
class QPushButton;
class QAction;

namespace tarnwick {

struct AppContext;
class Wizard;
class frmAbout;

// The welcome page: what the tool does, the wizard's buttons and the menu.
// Start-up has already passed its gates when this window is made.
class frmMain : public QMainWindow
{
    Q_OBJECT
public:
    frmMain(AppContext& app, Wizard& wizard, QWidget* parent = nullptr);
    ~frmMain() override;

    static const QString kDescription;

protected:
    // Closing the window is the same as Exit: the pages are hidden, never quit.
    void closeEvent(QCloseEvent* event) override;

private:
    void cmdNext_Click();
    void About_Click();
    void mnuCheckForUpdatedVersion_Click();

    AppContext& m_app;
    Wizard& m_wizard;
    // Made on first use and kept while OK only hides it.
    QPointer<frmAbout> m_about;
};

} // namespace tarnwick

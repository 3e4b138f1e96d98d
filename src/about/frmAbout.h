#pragma once

#include <QDialog>

class QLabel;
class QMenu;

namespace tarnwick {

class SharedServices;
struct ProgramInfo;

// The About dialog: the program's version, the maker's and the product's
// logos, the legal lines and a language menu with its one placeholder entry.
// Shown modally; OK only hides it, so it stays loaded. Closed from its title
// bar it is gone, and the next About makes and loads a new one.
class frmAbout : public QDialog
{
    Q_OBJECT
public:
    frmAbout(const ProgramInfo& program, SharedServices& services, QWidget* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Load();
    void cmdOK_Click();
    void lblChangeLanguage_Click();

    const ProgramInfo& m_program;
    SharedServices& m_services;
    QLabel* m_lblVersion = nullptr;
    QLabel* m_lblChangeLanguage = nullptr;
    QMenu* m_mnuSelectLanguage = nullptr;
};

} // namespace tarnwick

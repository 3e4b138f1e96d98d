#pragma once

#include "widgets/WizardNavigation.h"

#include <QObject>
#include <QPointer>

#include <memory>

class QWidget;

namespace tarnwick {

struct AppContext;
class frmMain;
class frmChooseSubscribers;
class frmDumpInfo;

// Owns the wizard's pages and moves between them. Each page is one top-level
// window, created the first time it is touched; the next page takes the
// previous one's position. The welcome and selection pages stay loaded until
// the program ends; the export page is unloaded by its Previous.
class Wizard : public QObject, public WizardNavigation
{
    Q_OBJECT
public:
    explicit Wizard(AppContext& app);
    ~Wizard() override;

    AppContext& app() { return m_app; }

    frmMain& welcomePage();
    // Creates the selection page on first touch, which runs its load.
    frmChooseSubscribers& selectionPage();
    // Creates the export page on first touch.
    frmDumpInfo& exportPage();
    bool hasSelectionPage() const { return m_select != nullptr; }
    bool hasExportPage() const { return m_export != nullptr; }

    void start();  // shows the welcome page
    // Navigation: the target takes `from`'s position, `from` is hidden.
    void goToSelection(QWidget& from);
    void goToWelcome(QWidget& from) override;
    void goToExport(QWidget& from) override;
    // The export page's Previous: the export page is unloaded.
    void backFromExport() override;
    SelectionGrid& chosenSubscribers() override;

    // Where a Browse dialog starts: the folder of the last file chosen with
    // one in this run, else the user's home.
    QString browseFolder() const override;
    void rememberBrowsed(const QString& chosenFile) override;

private:
    AppContext& m_app;
    std::unique_ptr<frmMain> m_main;
    std::unique_ptr<frmChooseSubscribers> m_select;
    std::unique_ptr<frmDumpInfo> m_export;
    QString m_browseFolder;
};

} // namespace tarnwick

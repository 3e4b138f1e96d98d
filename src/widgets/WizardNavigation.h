#pragma once

#include <QString>

class QWidget;

namespace tarnwick {

class SelectionGrid;

// What a page asks of the wizard that owns it: to move to another page, the
// subscribers chosen on the selection page, and where a Browse dialog starts.
// The pages see only this, so they do not depend on the wizard above them.
class WizardNavigation
{
public:
    virtual ~WizardNavigation() = default;

    // The target takes `from`'s position, `from` is hidden.
    virtual void goToWelcome(QWidget& from) = 0;
    virtual void goToExport(QWidget& from) = 0;
    // The export page's Previous: the export page is unloaded.
    virtual void backFromExport() = 0;
    // The selection page's grid, which the export walks.
    virtual SelectionGrid& chosenSubscribers() = 0;
    // Where a Browse dialog starts: the folder of the last file chosen with
    // one in this run, else the user's home.
    virtual QString browseFolder() const = 0;
    virtual void rememberBrowsed(const QString& chosenFile) = 0;
};

} // namespace tarnwick

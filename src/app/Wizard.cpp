#include "app/Wizard.h"

#include "app/frmMain.h"
#include "export/frmDumpInfo.h"
#include "select/frmChooseSubscribers.h"
#include "widgets/WindowLayout.h"

#include <QDir>
#include <QFileInfo>
#include <QWindow>

namespace tarnwick {

namespace {

// Puts `page` where `from` stands. A window that the window manager placed
// (the welcome page at start) is placed by it again when shown, unless it is
// given a position of its own, even the one it already has.
void placeLike(QWidget& page, const QWidget& from)
{
    page.move(from.pos());
    if (QWindow* window = page.windowHandle())
        window->setFramePosition(from.pos());
}

} // namespace

Wizard::Wizard(AppContext& app) : m_app(app)
{
    layout::usePageFont();
}

Wizard::~Wizard() = default;

frmMain& Wizard::welcomePage()
{
    if (!m_main)
        m_main = std::make_unique<frmMain>(m_app, *this);
    return *m_main;
}

frmChooseSubscribers& Wizard::selectionPage()
{
    if (!m_select)
        m_select = std::make_unique<frmChooseSubscribers>(m_app, *this);
    return *m_select;
}

frmDumpInfo& Wizard::exportPage()
{
    if (!m_export)
        m_export = std::make_unique<frmDumpInfo>(m_app, *this);
    return *m_export;
}

void Wizard::start()
{
    welcomePage().show();
}

void Wizard::goToSelection(QWidget& from)
{
    QWidget& page = selectionPage();
    placeLike(page, from);
    page.show();
    from.hide();
}

void Wizard::goToWelcome(QWidget& from)
{
    QWidget& page = welcomePage();
    placeLike(page, from);
    from.hide();
    page.show();
}

void Wizard::goToExport(QWidget& from)
{
    QWidget& page = exportPage();
    placeLike(page, from);
    page.show();
    from.hide();
}

SelectionGrid& Wizard::chosenSubscribers()
{
    return selectionPage().grid();
}

void Wizard::backFromExport()
{
    if (!m_export)
        return;
    QWidget& select = selectionPage();
    placeLike(select, *m_export);
    // Unloaded later: this runs inside one of the page's own handlers.
    m_export->hide();
    m_export.release()->deleteLater();
    select.show();
}

QString Wizard::browseFolder() const
{
    return m_browseFolder.isEmpty() ? QDir::homePath() : m_browseFolder;
}

void Wizard::rememberBrowsed(const QString& chosenFile)
{
    m_browseFolder = QFileInfo(chosenFile).absolutePath();
}

} // namespace tarnwick

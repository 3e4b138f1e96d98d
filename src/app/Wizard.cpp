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

// One place for all pages, kept between runs: the next page takes the last one's anyway.
const QString kPlaceKey = QStringLiteral("window");

// Puts `page` where `from` stands. A window that the window manager placed
// (the welcome page at start) is placed by it again when shown, unless it is
// given a position of its own, even the one it already has.
void placeLike(QWidget& page, const QWidget& from)
{
    // Pages that grow take the size (and the maximised state) of the one they replace.
    const auto grows = [](const QWidget& w) { return w.minimumSize() != w.maximumSize(); };
    if (grows(page) && grows(from)) {
        page.resize(from.isMaximized() ? from.normalGeometry().size() : from.size());
        page.setWindowState((page.windowState() & ~Qt::WindowMaximized) | (from.windowState() & Qt::WindowMaximized));
    }
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
    if (!m_main) {
        m_main = std::make_unique<frmMain>(m_app, *this);
        layout::restoreGeometry(m_main.get(), kPlaceKey);
        layout::rememberGeometry(m_main.get(), kPlaceKey);
    }
    return *m_main;
}

frmChooseSubscribers& Wizard::selectionPage()
{
    if (!m_select) {
        m_select = std::make_unique<frmChooseSubscribers>(m_app, *this);
        layout::restoreGeometry(m_select.get(), kPlaceKey);
        layout::rememberGeometry(m_select.get(), kPlaceKey);
    }
    return *m_select;
}

frmDumpInfo& Wizard::exportPage()
{
    if (!m_export) {
        m_export = std::make_unique<frmDumpInfo>(m_app, *this);
        layout::rememberGeometry(m_export.get(), kPlaceKey);
    }
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

#include "export/frmDumpInfo.h"

namespace tarnwick {

frmDumpInfo::frmDumpInfo(AppContext& app, Wizard& wizard, QWidget* parent)
    : QWidget(parent), m_app(app), m_wizard(wizard)
{
    setWindowTitle(QStringLiteral("Tarnwick"));
}

} // namespace tarnwick

#include "select/frmChooseSubscribers.h"

namespace tarnwick {

frmChooseSubscribers::frmChooseSubscribers(AppContext& app, Wizard& wizard, QWidget* parent)
    : QWidget(parent), m_app(app), m_wizard(wizard)
{
    setWindowTitle(QStringLiteral("Tarnwick"));
}

} // namespace tarnwick

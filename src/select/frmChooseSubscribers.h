#pragma once

#include "select/SelectionGrid.h"

#include <QWidget>

namespace tarnwick {

struct AppContext;
class Wizard;

// The subscriber selection page (being built; this is its frame so the
// wizard links).
class frmChooseSubscribers : public QWidget
{
    Q_OBJECT
public:
    frmChooseSubscribers(AppContext& app, Wizard& wizard, QWidget* parent = nullptr);
    SelectionGrid& grid() { return m_grid; }

private:
    AppContext& m_app;
    Wizard& m_wizard;
    SelectionGrid m_grid;
};

} // namespace tarnwick

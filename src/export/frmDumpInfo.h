#pragma once

#include <QWidget>

namespace tarnwick {

struct AppContext;
class Wizard;

// The export page (being built; this is its frame so the wizard links).
class frmDumpInfo : public QWidget
{
    Q_OBJECT
public:
    frmDumpInfo(AppContext& app, Wizard& wizard, QWidget* parent = nullptr);

private:
    AppContext& m_app;
    Wizard& m_wizard;
};

} // namespace tarnwick

#pragma once

#include "select/SelectionGrid.h"
#include "select/SubscriberSelection.h"

#include <QWidget>

#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace tarnwick {

struct AppContext;
class WizardNavigation;
class frmProgress;
class SelectionGridModel;
class SelectionGridFilter;

// The subscriber selection page: pick a mode, give its input, fill the grid,
// tick the subscribers to export. Created on the first Next of the welcome
// page and kept until the program ends, so the grid and the inputs survive
// visits to the other pages.
class frmChooseSubscribers : public QWidget
{
    Q_OBJECT
public:
    // Asks for a file to open: the dialog's title and the path to start from;
    // an empty result is a cancel.
    using FileChooser =
        std::function<QString(QWidget* parent, const QString& title, const QString& startPath)>;

    frmChooseSubscribers(AppContext& app, WizardNavigation& wizard, QWidget* parent = nullptr);
    ~frmChooseSubscribers() override;

    SelectionGrid& grid() { return m_grid; }
    SubscriberSelection& selection() { return m_selection; }
    frmProgress& progressWindow() { return *m_progress; }

    // Tests answer the file dialog with this.
    void setFileChooser(FileChooser chooser) { m_chooseFile = std::move(chooser); }

    // True while "Add Subscribers To Grid" fills the grid.
    bool isLoading() const { return m_loading; }

protected:
    // A close from the title bar is the same as Exit.
    void closeEvent(QCloseEvent* event) override;
    // The grid's keys: Tab leaves it, Space ticks the current row.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load();
    void cmbSubscriberSelectType_Change();
    void cmdView_Click();
    void cmdBrowseForCSV_Click();
    void cmdNext_Click();
    void cmdPrevious_Click();
    SelectionRequest currentRequest() const;
    // Select All and deSelect All: the rows shown, all of them without a filter.
    void tickShown(bool ticked);
    void showTicked();

    AppContext& m_app;
    WizardNavigation& m_wizard;
    SelectionGrid m_grid;
    std::unique_ptr<frmProgress> m_progress;
    SubscriberSelection m_selection;
    FileChooser m_chooseFile;
    bool m_loading = false;
    // What refuses clicks while a load runs: everything that would start
    // another load, change the mode or leave the page. Exit and Help do not.
    QList<QWidget*> m_refuseDuringLoad;

    QComboBox* m_cmbSubscriberSelectType = nullptr;
    QLineEdit* m_txtSubscriberExtensionRangeLow = nullptr;
    QLabel* m_lblExtensionRangeTo = nullptr;
    QLineEdit* m_txtSubscriberExtensionRangeHigh = nullptr;
    QLineEdit* m_txtCSVPath = nullptr;
    QPushButton* m_cmdBrowseForCSV = nullptr;
    QComboBox* m_ComSubscribersCOS = nullptr;
    QComboBox* m_comHiddenCOS = nullptr;
    QLineEdit* m_txtDisplayNameSubString = nullptr;
    QLabel* m_lblSubStringLabel = nullptr;
    QTableView* m_myGrid = nullptr;
    SelectionGridModel* m_model = nullptr;
    SelectionGridFilter* m_shown = nullptr;
    QLineEdit* m_txtUsersInGrid = nullptr;
    QLineEdit* m_txtFilter = nullptr;
    QLabel* m_lblTicked = nullptr;
    QLabel* m_lblStatus = nullptr;
    // What the last load found out about the data, for the status line.
    QStringList m_notices;
};

} // namespace tarnwick

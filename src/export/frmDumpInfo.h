#pragma once

#include "export/ExportRun.h"

#include <QElapsedTimer>
#include <QWidget>

#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace tarnwick {

struct AppContext;
class WizardNavigation;

// The export page: the output path, "&Export Data" and the run's progress.
// The run itself is ExportRun's; the page reads its controls and draws.
class frmDumpInfo : public QWidget, private ExportProgress
{
    Q_OBJECT
public:
    frmDumpInfo(AppContext& app, WizardNavigation& wizard, QWidget* parent = nullptr);
    ~frmDumpInfo() override;

    // The save dialog: (parent, title, initial folder, filter) -> chosen path,
    // empty after a cancel. Tests put their own in its place.
    using SaveFileChooser =
        std::function<QString(QWidget*, const QString&, const QString&, const QString&)>;
    void setSaveFileChooser(SaveFileChooser chooser) { m_chooseSaveFile = std::move(chooser); }
    // The open dialog for an earlier export to compare with, in the same shape.
    void setOpenFileChooser(SaveFileChooser chooser) { m_chooseOpenFile = std::move(chooser); }

    // Adds a row of export options (a check box, a labelled field) under the
    // log folder line; the rows stack downwards in the order added.
    void addOptionRow(QWidget* row);

    static const QString kHeading;
    static const QString kInstructions;

protected:
    // Closing the window is the same as Exit.
    void closeEvent(QCloseEvent* event) override;
    // Fits the caption to its label again when the page grows or shrinks.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void cmdBrowse_Click();
    void cmdBrowsePrevious_Click();
    void cmdDumpData_Click();
    void cmdPrevious_Click();
    void cmdExit_Click();

    void setRange(int minimum, int maximum) override;
    void setValue(int value) override;
    void setCaption(const QString& caption) override;
    void showCaption();

    AppContext& m_app;
    WizardNavigation& m_wizard;
    ExportRun m_run;
    SaveFileChooser m_chooseSaveFile;
    SaveFileChooser m_chooseOpenFile;
    QCheckBox* m_chkFormulaSafe = nullptr;
    QLineEdit* m_txtSavePath = nullptr;
    QLineEdit* m_txtPreviousPath = nullptr;
    QLabel* m_lblProcessingList = nullptr;
    QProgressBar* m_progressBar = nullptr;
    QWidget* m_options = nullptr;
    QList<QWidget*> m_idleOnly;
    QElapsedTimer m_started;
    QString m_caption;
    bool m_exitAfterRun = false;
};

} // namespace tarnwick

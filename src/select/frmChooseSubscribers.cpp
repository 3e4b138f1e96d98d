#include "select/frmChooseSubscribers.h"

#include "base/StepRunner.h"
#include "base/UserInterface.h"
#include "program/AppContext.h"
#include "select/SelectionGridModel.h"
#include "select/frmProgress.h"
#include "widgets/WindowLayout.h"
#include "widgets/WizardNavigation.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QTableView>

namespace tarnwick {

using layout::px;
using layout::twipsRect;

namespace {

const QString kOwner = QStringLiteral("Form frmChooseSubscribers");
constexpr int kInputHeight = 315;
constexpr int kShift = 150; // twips the mode inputs stand right of where they were drawn

QString chooseFileWithDialog(QWidget* parent, const QString& title, const QString& startPath)
{
    QString filter = QStringLiteral("All Files (*)");
    return QFileDialog::getOpenFileName(parent, title, startPath, filter, &filter);
}

// What a screen reader announces for the sub-string box: the two modes share it.
QString subStringName(int mode)
{
    return mode == static_cast<int>(SelectionMode::CosNameSubString)
               ? QStringLiteral("Sub strings of class-of-service names, separated by ;")
               : QStringLiteral("Sub strings of display names, separated by ;");
}

} // namespace

frmChooseSubscribers::frmChooseSubscribers(AppContext& app, WizardNavigation& wizard, QWidget* parent)
    : QWidget(parent), m_app(app), m_wizard(wizard), m_progress(std::make_unique<frmProgress>()),
      m_selection(app, m_grid, m_progress->labels()), m_chooseFile(chooseFileWithDialog)
{
    setObjectName(QStringLiteral("frmChooseSubscribers"));
    setWindowTitle(QStringLiteral("Tarnwick"));
    layout::makeResizable(this, QSize(px(11490), px(7695)));

    layout::addHeading(this, QStringLiteral("Select Subscribers"));

    auto* frame = new QGroupBox(QStringLiteral("Select Subscribers"), this);
    frame->setObjectName(QStringLiteral("frameSelectSubscribers"));
    frame->setGeometry(twipsRect(120, 720, 11250, 6180));
    layout::anchor(frame, layout::Left | layout::Top | layout::Right | layout::Bottom);

    auto label = [](QWidget* owner, const char* name, const QString& caption, QRect geometry) {
        auto* l = new QLabel(caption, owner);
        l->setObjectName(QString::fromLatin1(name));
        l->setGeometry(geometry);
        return l;
    };
    auto textBox = [](QWidget* owner, const char* name, QRect geometry, int maxLength) {
        auto* t = new QLineEdit(owner);
        t->setObjectName(QString::fromLatin1(name));
        t->setGeometry(geometry);
        if (maxLength > 0)
            t->setMaxLength(maxLength);
        return t;
    };
    auto comboBox = [](QWidget* owner, const char* name, QRect geometry) {
        auto* c = new QComboBox(owner);
        c->setObjectName(QString::fromLatin1(name));
        c->setGeometry(geometry);
        return c;
    };

    // The mode inputs sit wherever; the mode change moves the ones it shows onto the mode list's
    // line. The list is a little wider than drawn (4215), and the inputs beside it a little further
    // right (kShift), so the longest entry shows whole even in a metric-compatible font.
    m_cmbSubscriberSelectType = comboBox(frame, "cmbSubscriberSelectType", twipsRect(60, 300, 4410, kInputHeight));
    m_txtSubscriberExtensionRangeLow =
        textBox(frame, "txtSubscriberExtensionRangeLow", twipsRect(4500 + kShift, 780, 1575, kInputHeight), 20);
    m_lblExtensionRangeTo =
        label(frame, "lblExtensionRangeTo", QStringLiteral("To:"), twipsRect(6120 + kShift, 780, 375, kInputHeight));
    m_txtSubscriberExtensionRangeHigh =
        textBox(frame, "txtSubscriberExtensionRangeHigh", twipsRect(6540 + kShift, 780, 1575, kInputHeight), 20);
    m_txtCSVPath = textBox(frame, "txtCSVPath", twipsRect(4500 + kShift, 780, 3735, kInputHeight), 0);
    m_txtCSVPath->setReadOnly(true);
    m_cmdBrowseForCSV = layout::addButton(frame, "cmdBrowseForCSV", QStringLiteral("Browse..."),
                                          twipsRect(8280 + kShift, 780, 1215, kInputHeight));
    m_ComSubscribersCOS = comboBox(frame, "ComSubscribersCOS", twipsRect(4500 + kShift, 780, 3795, kInputHeight));
    m_comHiddenCOS = comboBox(frame, "comHiddenCOS", twipsRect(4500 + kShift, 780, 3795, kInputHeight));
    m_comHiddenCOS->setVisible(false); // the object ids behind the names; never shown
    m_txtDisplayNameSubString =
        textBox(frame, "txtDisplayNameSubString", twipsRect(4500 + kShift, 780, 3645, kInputHeight), 100);
    m_lblSubStringLabel = label(frame, "lblSubStringLabel", QStringLiteral("(seperate strings with \";\")"),
                                twipsRect(8310 + kShift, 780, 2700, kInputHeight));

    QPushButton* view = layout::addButton(frame, "cmdView", QStringLiteral("&Add Subscribers To Grid"),
                               twipsRect(60, 780, 2535, 375));

    // The filter narrows what the grid shows; the ticks stay as they are.
    QLabel* filterLabel =
        label(frame, "lblFilter", QStringLiteral("&Filter:"), twipsRect(6240, 810, 600, kInputHeight));
    filterLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_txtFilter = textBox(frame, "txtFilter", twipsRect(6900, 810, 4290, kInputHeight), 0);
    m_txtFilter->setClearButtonEnabled(true);
    m_txtFilter->setPlaceholderText(QStringLiteral("Show only rows containing this text"));
    m_txtFilter->setAccessibleName(QStringLiteral("Filter the grid"));
    filterLabel->setBuddy(m_txtFilter);
    layout::anchor(filterLabel, layout::Right | layout::Top);
    layout::anchor(m_txtFilter, layout::Right | layout::Top);

    m_myGrid = new QTableView(frame);
    m_myGrid->setObjectName(QStringLiteral("myGrid"));
    m_myGrid->setAccessibleName(QStringLiteral("Subscribers found"));
    // Tab moves on to the next control, as everywhere else on the page; the
    // arrow keys move between cells and Space ticks (see eventFilter).
    m_myGrid->setTabKeyNavigation(false);
    m_myGrid->installEventFilter(this);
    // A line under the grid for what a load found out about the data.
    m_myGrid->setGeometry(twipsRect(60, 1260, 11130, 3870));
    layout::anchor(m_myGrid, layout::Left | layout::Top | layout::Right | layout::Bottom);
    m_model = new SelectionGridModel(m_grid, this);
    m_shown = new SelectionGridFilter(*m_model, this);
    m_myGrid->setModel(m_shown);
    m_myGrid->setItemDelegate(new CutOffTextTips(m_myGrid));
    // Unsorted until a header is clicked: the rows in the order they were found.
    m_myGrid->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    m_myGrid->setSortingEnabled(true);
    m_myGrid->horizontalHeader()->setSortIndicatorClearable(true);
    m_myGrid->verticalHeader()->setVisible(false);
    // One text line per row, at a fixed height: tens of thousands of rows
    // scroll without measuring each one.
    m_myGrid->setWordWrap(false);
    m_myGrid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_myGrid->verticalHeader()->setDefaultSectionSize(m_myGrid->fontMetrics().height() + 6);
    m_myGrid->horizontalHeader()->setStretchLastSection(true);
    m_myGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    SelectionGridModel::applyColumnLayout(*m_myGrid);

    m_lblStatus = label(frame, "lblStatus", QString(), twipsRect(60, 5160, 11130, 300));
    m_lblStatus->setTextFormat(Qt::PlainText);
    layout::anchor(m_lblStatus, layout::Left | layout::Right | layout::Bottom);

    QPushButton* unselectAll = layout::addButton(frame, "cmdUnselectAll", QStringLiteral("&deSelect All"),
                                      twipsRect(60, 5580, 1335, 375));
    QPushButton* selectAll = layout::addButton(frame, "cmdSelectAll", QStringLiteral("&Select All"),
                                    twipsRect(1500, 5580, 1335, 375));
    selectAll->setToolTip(QStringLiteral("Ticks every row in the grid; while a filter is set, only the rows shown"));
    unselectAll->setToolTip(
        QStringLiteral("Unticks every row in the grid; while a filter is set, only the rows shown"));
    m_lblTicked = label(frame, "lblTicked", QString(), twipsRect(4800, 5610, 3240, kInputHeight));
    m_lblTicked->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QLabel* total = label(frame, "lblTotalGridRows", QStringLiteral("Users in Grid"),
                          twipsRect(8160, 5610, 1575, kInputHeight));
    total->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_txtUsersInGrid =
        textBox(frame, "txtUsersInGrid", twipsRect(9840, 5580, 1215, kInputHeight), 0);
    m_txtUsersInGrid->setReadOnly(true);
    m_txtUsersInGrid->setText(QStringLiteral("0"));
    // A count to read, not a field to type in: no tab stop, and the window's own colour.
    m_txtUsersInGrid->setFocusPolicy(Qt::NoFocus);
    QPalette readOnly = m_txtUsersInGrid->palette();
    readOnly.setColor(QPalette::Base, readOnly.color(QPalette::Window));
    m_txtUsersInGrid->setPalette(readOnly);
    for (QWidget* control : {static_cast<QWidget*>(unselectAll), static_cast<QWidget*>(selectAll)})
        layout::anchor(control, layout::Left | layout::Bottom);
    for (QWidget* control :
         {static_cast<QWidget*>(m_lblTicked), static_cast<QWidget*>(total), static_cast<QWidget*>(m_txtUsersInGrid)})
        layout::anchor(control, layout::Right | layout::Bottom);

    const auto [help, previous, next, exit] = layout::addWizardButtons(this, 7080, 120, QStringLiteral("&Help"));
    layout::anchor(help, layout::Left | layout::Bottom);
    layout::anchor(previous, layout::Left | layout::Bottom);
    layout::anchor(next, layout::Left | layout::Bottom);
    layout::anchor(exit, layout::Right | layout::Bottom);

    // Each input announces what it is for, not only the frame it sits in.
    m_cmbSubscriberSelectType->setAccessibleName(QStringLiteral("Selection mode"));
    m_txtSubscriberExtensionRangeLow->setAccessibleName(QStringLiteral("Lowest extension"));
    m_txtSubscriberExtensionRangeHigh->setAccessibleName(QStringLiteral("Highest extension"));
    m_txtCSVPath->setAccessibleName(QStringLiteral("CSV file"));
    m_ComSubscribersCOS->setAccessibleName(QStringLiteral("Class of service"));
    m_txtDisplayNameSubString->setAccessibleName(subStringName(0));
    m_txtUsersInGrid->setAccessibleName(QStringLiteral("Users in Grid"));

    m_refuseDuringLoad = {view, m_cmdBrowseForCSV, m_cmbSubscriberSelectType, selectAll, unselectAll, previous, next};

    connect(view, &QPushButton::clicked, this, &frmChooseSubscribers::cmdView_Click);
    connect(m_cmdBrowseForCSV, &QPushButton::clicked, this,
            &frmChooseSubscribers::cmdBrowseForCSV_Click);
    connect(selectAll, &QPushButton::clicked, this, [this] { tickShown(true); });
    connect(unselectAll, &QPushButton::clicked, this, [this] { tickShown(false); });
    connect(m_txtFilter, &QLineEdit::textChanged, m_shown, &SelectionGridFilter::setFilterText);
    for (auto signal : {&SelectionGrid::gridReset, &SelectionGrid::allChecksChanged})
        connect(&m_grid, signal, this, &frmChooseSubscribers::showTicked);
    connect(&m_grid, &SelectionGrid::cellChanged, this, [this](int, int col) {
        if (col == SelectionGrid::Selected)
            showTicked();
    });
    m_selection.setNoticeSink([this](const QString& text) { m_notices.append(text); });
    showTicked();
    connect(next, &QPushButton::clicked, this, &frmChooseSubscribers::cmdNext_Click);
    connect(previous, &QPushButton::clicked, this, &frmChooseSubscribers::cmdPrevious_Click);
    connect(exit, &QPushButton::clicked, this, [this] { m_app.services.ExitApplication(); });
    connect(help, &QPushButton::clicked, this, [this] { m_app.services.LaunchHelp(); });
    connect(m_myGrid, &QTableView::clicked, this, [this](const QModelIndex& index) {
        m_grid.setCurrentCell(m_shown->gridRow(index), index.column());
        m_grid.clickCurrentCell();
    });
    // A reload leaves no data cell current, so the next click flips nothing until a cell is picked.
    connect(m_model, &QAbstractItemModel::modelReset, &m_grid, &SelectionGrid::resetCurrentCell);

    Form_Load();
}

frmChooseSubscribers::~frmChooseSubscribers()
{
    // The grid, a member, goes before QWidget's destructor closes the window,
    // and closing it makes the view ask the model for its header. The model
    // goes first, so the view asks an empty one instead of a grid that is gone.
    delete m_shown;
    delete m_model;
}

void frmChooseSubscribers::Form_Load()
{
    StepRunner steps([this](const Failure& f) {
        m_app.ui.showMessage(ErrorText::inProcedure(f, QStringLiteral("Form_Load"), kOwner));
    });
    steps.run([&] {
        m_cmbSubscriberSelectType->clear();
        for (const SelectionModeEntry& mode : selectionModes())
            m_cmbSubscriberSelectType->addItem(mode.text, mode.code);
    });
    steps.run([&] {
        m_cmbSubscriberSelectType->setCurrentIndex(0);
        cmbSubscriberSelectType_Change();
        connect(m_cmbSubscriberSelectType, &QComboBox::currentIndexChanged, this,
                &frmChooseSubscribers::cmbSubscriberSelectType_Change);
    });
    steps.run([&] { m_grid.setRows(1); });

    const std::vector<ClassOfService> classes = LoadClassesOfService(m_app, steps);
    for (const ClassOfService& cos : classes) {
        m_comHiddenCOS->addItem(cos.objectId);
        m_ComSubscribersCOS->addItem(cos.displayName, m_comHiddenCOS->count() - 1);
    }
    m_ComSubscribersCOS->setCurrentIndex(-1);
}

void frmChooseSubscribers::cmbSubscriberSelectType_Change()
{
    for (QWidget* input : std::initializer_list<QWidget*>{
             m_txtSubscriberExtensionRangeHigh, m_txtSubscriberExtensionRangeLow,
             m_lblExtensionRangeTo, m_txtCSVPath, m_cmdBrowseForCSV, m_ComSubscribersCOS,
             m_txtDisplayNameSubString, m_lblSubStringLabel})
        input->setVisible(false);

    const int top = m_cmbSubscriberSelectType->y();
    auto showOnModeLine = [top](std::initializer_list<QWidget*> inputs) {
        for (QWidget* input : inputs)
            input->move(input->x(), top);
        for (QWidget* input : inputs)
            input->setVisible(true);
    };
    const SelectionModeEntry* mode =
        selectionModeByCode(m_cmbSubscriberSelectType->currentData().toInt());
    if (!mode) {
        m_app.ui.showMessage(QStringLiteral("Error! Invalid subscriber selection value."));
        return;
    }
    switch (mode->inputs) {
    case ModeInputs::None:
        break;
    case ModeInputs::ExtensionRange:
        showOnModeLine({m_txtSubscriberExtensionRangeHigh, m_txtSubscriberExtensionRangeLow,
                        m_lblExtensionRangeTo});
        break;
    case ModeInputs::CsvFile:
        showOnModeLine({m_txtCSVPath, m_cmdBrowseForCSV});
        break;
    case ModeInputs::ClassOfService:
        showOnModeLine({m_ComSubscribersCOS});
        break;
    case ModeInputs::SubString:
        m_txtDisplayNameSubString->setAccessibleName(subStringName(mode->code));
        showOnModeLine({m_txtDisplayNameSubString});
        showOnModeLine({m_lblSubStringLabel});
        break;
    }
}

SelectionRequest frmChooseSubscribers::currentRequest() const
{
    SelectionRequest request;
    request.mode = m_cmbSubscriberSelectType->currentData().toInt();
    request.low = m_txtSubscriberExtensionRangeLow->text();
    request.high = m_txtSubscriberExtensionRangeHigh->text();
    request.csvPath = m_txtCSVPath->text();
    request.cosName = m_ComSubscribersCOS->currentText();
    // The hidden list holds the ids in the same order as the names.
    request.cosId = m_comHiddenCOS->itemText(m_ComSubscribersCOS->currentIndex());
    request.subString = m_txtDisplayNameSubString->text();
    return request;
}

void frmChooseSubscribers::cmdView_Click()
{
    if (m_loading)
        return;
    // A click during the load's yields would start a second load into the
    // same grid, change the mode or leave with half a selection: those
    // controls refuse until the load ends. Exit still ends the program.
    m_loading = true;
    const QPointer<QWidget> focused = QApplication::focusWidget();
    const bool active = isActiveWindow();
    for (QWidget* control : std::as_const(m_refuseDuringLoad))
        control->setEnabled(false);
    const auto loaded = qScopeGuard([&] {
        // Clicks that arrived during the load reach the refusing controls now, not after.
        QCoreApplication::processEvents();
        for (QWidget* control : std::as_const(m_refuseDuringLoad))
            control->setEnabled(true);
        // The keyboard comes back to where it was, also when the progress window took it.
        if (active)
            activateWindow();
        if (focused)
            focused->setFocus();
        m_loading = false;
    });

    setCursor(Qt::WaitCursor);
    // Centred on the page, a little below its top; made topmost when it was created.
    const QRect page = frameGeometry();
    m_progress->move(page.left() + page.width() / 2 - m_progress->width() / 2,
                     page.top() + px(3000));
    m_notices.clear();
    m_lblStatus->clear();
    const int rows = m_selection.fillGrid(currentRequest());
    m_txtUsersInGrid->setText(QString::number(rows));
    if (rows == 0)
        m_notices.prepend(QStringLiteral("No subscribers were found for this selection."));
    m_lblStatus->setText(m_notices.join(QStringLiteral("  ")));
    showTicked();
    unsetCursor();
}

void frmChooseSubscribers::cmdBrowseForCSV_Click()
{
    if (m_loading)
        return;
    const QString remembered = m_txtCSVPath->text();
    const QString chosen = m_chooseFile(this, QStringLiteral("Select CSV File"),
                                        remembered.isEmpty() ? m_wizard.browseFolder() : remembered);
    // A cancelled dialog (or a name too short to be a file) keeps the previous path.
    if (chosen.size() >= 4)
        m_wizard.rememberBrowsed(chosen);
    m_txtCSVPath->setText(chosen.size() >= 4 ? chosen : remembered);
}

void frmChooseSubscribers::cmdNext_Click()
{
    if (m_loading)
        return;
    if (!AnySubscriberSelected(m_grid)) {
        m_app.ui.showMessage(QStringLiteral("You must select at least one user to be processed"));
        return;
    }
    m_wizard.goToExport(*this);
}

void frmChooseSubscribers::cmdPrevious_Click()
{
    if (m_loading)
        return;
    m_wizard.goToWelcome(*this);
}

void frmChooseSubscribers::tickShown(bool ticked)
{
    if (m_shown->isFiltered())
        m_grid.setTicked(m_shown->visibleRows(), ticked);
    else if (ticked)
        m_grid.SelectAll();
    else
        m_grid.UnselectAll();
}

void frmChooseSubscribers::showTicked()
{
    m_lblTicked->setText(QStringLiteral("%1 of %2 ticked").arg(m_grid.tickedCount()).arg(m_grid.Rows() - 1));
}

bool frmChooseSubscribers::eventFilter(QObject* watched, QEvent* event)
{
    // Coming into the grid shows where the arrows start: the first row.
    if (watched == m_myGrid && event->type() == QEvent::FocusIn && !m_myGrid->currentIndex().isValid() &&
        m_shown->rowCount() > 0)
        m_myGrid->setCurrentIndex(m_shown->index(0, SelectionGrid::Alias));
    if (watched != m_myGrid || event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier) {
        // The whole row is the choice, so Space ticks it from whichever column is current.
        const QModelIndex current = m_myGrid->currentIndex();
        if (current.isValid()) {
            const int row = m_shown->gridRow(current);
            m_grid.setCellChecked(row, m_grid.ColIndex(QStringLiteral("Selected")), !m_grid.isTicked(row));
        }
        return true;
    }
    // Ctrl+Tab leaves the grid too, as it leaves a table on Windows.
    if ((key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) &&
        key->modifiers().testFlag(Qt::ControlModifier)) {
        const bool forward = key->key() == Qt::Key_Tab && !key->modifiers().testFlag(Qt::ShiftModifier);
        focusNextPrevChild(forward);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void frmChooseSubscribers::closeEvent(QCloseEvent* event)
{
    event->accept();
    m_app.services.ExitApplication();
}

} // namespace tarnwick

#pragma once

#include "select/SelectionProgress.h"

#include <QWidget>

#include <memory>

class QGroupBox;
class QLabel;

namespace tarnwick {

// The small borderless window that reads "Loading subscriber data... 37 of
// 1200" while the grid loads. It stays on top of every other window and has
// no behaviour of its own; the selection procedures write it through labels().
class frmProgress : public QWidget
{
    Q_OBJECT
public:
    explicit frmProgress(QWidget* parent = nullptr);
    ~frmProgress() override;

    SelectionProgress& labels();

private:
    class Labels;
    QGroupBox* m_frameMainTitle;
    QLabel* m_lblCount;
    QLabel* m_labelOf;
    QLabel* m_labelTotal;
    std::unique_ptr<Labels> m_labels;
};

} // namespace tarnwick

#pragma once

#include "select/SelectionProgress.h"

#include <QElapsedTimer>
#include <QWidget>

#include <memory>

class QGroupBox;
class QLabel;

namespace tarnwick {

// The small borderless window that reads "Loading subscriber data... 37 of
// 1200" while the grid loads. It stays on top of every other window and has
// no behaviour of its own; the selection procedures write it through labels().
//
// The load holds the event loop, so the window draws itself: shown, it waits
// until the window system has exposed it and paints; written, it paints again
// once kDrawEveryMs have passed, letting pending events run first (the page's
// controls refuse clicks while a load runs).
class frmProgress : public QWidget
{
    Q_OBJECT
public:
    explicit frmProgress(QWidget* parent = nullptr);
    ~frmProgress() override;

    SelectionProgress& labels();

    static constexpr int kDrawEveryMs = 30;

private:
    void showDrawn();
    void drawIfDue();
    void draw();

    QElapsedTimer m_sinceDrawn;
    QString m_count; // the count last written, shown when next drawn
    class Labels;
    QGroupBox* m_frameMainTitle;
    QLabel* m_lblCount;
    QLabel* m_labelOf;
    QLabel* m_labelTotal;
    std::unique_ptr<Labels> m_labels;
};

} // namespace tarnwick

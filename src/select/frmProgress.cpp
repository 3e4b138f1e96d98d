#include "select/frmProgress.h"

#include "widgets/WindowLayout.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QWindow>

namespace tarnwick {

using layout::twipsRect;

class frmProgress::Labels : public SelectionProgress
{
public:
    explicit Labels(frmProgress& window) : m_window(window) {}
    void setTitle(const QString& text) override { m_window.m_frameMainTitle->setTitle(text); }
    // Written for every row, but only seen when drawn: a label told each row
    // lays itself out each time.
    void setCount(const QString& text) override { m_window.m_count = text; }
    void setOf(const QString& text) override { m_window.m_labelOf->setText(text); }
    void setTotal(const QString& text) override { m_window.m_labelTotal->setText(text); }
    void show() override { m_window.showDrawn(); }
    void hide() override
    {
        m_window.m_lblCount->setText(m_window.m_count);
        m_window.hide();
    }
    void repaint() override { m_window.drawIfDue(); }

private:
    frmProgress& m_window;
};

frmProgress::frmProgress(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_labels(std::make_unique<Labels>(*this))
{
    setObjectName(QStringLiteral("frmProgress"));
    // Shown over the page without taking the keyboard from it.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFixedSize(layout::px(2970), layout::px(1065));

    m_frameMainTitle = new QGroupBox(QStringLiteral("Loading subscriber data..."), this);
    m_frameMainTitle->setObjectName(QStringLiteral("frameMainTitle"));
    m_frameMainTitle->setGeometry(0, 0, width(), height());

    auto label = [this](const char* name, const QString& text, QRect geometry,
                        Qt::Alignment alignment) {
        auto* l = new QLabel(text, m_frameMainTitle);
        l->setObjectName(QString::fromLatin1(name));
        l->setGeometry(geometry);
        l->setAlignment(alignment | Qt::AlignVCenter);
        return l;
    };
    m_lblCount =
        label("lblCount", QStringLiteral("1"), twipsRect(60, 480, 975, 255), Qt::AlignRight);
    m_count = m_lblCount->text();
    m_labelOf =
        label("labelOf", QStringLiteral("of"), twipsRect(1080, 480, 195, 255), Qt::AlignRight);
    m_labelTotal =
        label("labelTotal", QStringLiteral("1"), twipsRect(1350, 480, 1515, 255), Qt::AlignLeft);
    // Made with the page, so a load's first show only maps the window.
    create();
}

frmProgress::~frmProgress() = default;

SelectionProgress& frmProgress::labels()
{
    return *m_labels;
}

void frmProgress::showDrawn()
{
    show();
    // Nothing is drawn before the window system maps and exposes the window,
    // and only the event loop hears that it has.
    QElapsedTimer waiting;
    waiting.start();
    while (windowHandle() && !windowHandle()->isExposed() && waiting.elapsed() < 2 * kDrawEveryMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, kDrawEveryMs);
    draw();
}

void frmProgress::drawIfDue()
{
    if (isVisible() && (!m_sinceDrawn.isValid() || m_sinceDrawn.elapsed() >= kDrawEveryMs))
        draw();
}

void frmProgress::draw()
{
    // Expose and move events, and clicks that the refusing controls ignore.
    QCoreApplication::processEvents();
    m_lblCount->setText(m_count);
    repaint();
    m_sinceDrawn.start();
}

} // namespace tarnwick

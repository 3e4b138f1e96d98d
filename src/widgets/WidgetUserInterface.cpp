#include "widgets/WidgetUserInterface.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>

#include <cstdio>
#include <cstdlib>

namespace tarnwick {

namespace {

// A window kept on top of all others (the selection's progress window) would
// cover a message box of the same load: it steps aside while the box is up.
class TopmostAside
{
public:
    TopmostAside()
    {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->isVisible() && window->windowFlags().testFlag(Qt::WindowStaysOnTopHint)) {
                window->hide();
                m_hidden.append(window);
            }
        }
    }
    ~TopmostAside()
    {
        for (const QPointer<QWidget>& window : std::as_const(m_hidden)) {
            if (window)
                window->show();
        }
    }
    TopmostAside(const TopmostAside&) = delete;
    TopmostAside& operator=(const TopmostAside&) = delete;

private:
    QList<QPointer<QWidget>> m_hidden;
};

} // namespace

void WidgetUserInterface::showMessage(const QString& text, const QString& title)
{
    const TopmostAside aside;
    const MessageKind kind = messageKind(text);
    const QMessageBox::Icon icon = kind == MessageKind::Error     ? QMessageBox::Critical
                                   : kind == MessageKind::Warning ? QMessageBox::Warning
                                                                  : QMessageBox::Information;
    QMessageBox box(icon, title, text, QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

bool WidgetUserInterface::askYesNo(const QString& text, const QString& title)
{
    const TopmostAside aside;
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No,
                    QApplication::activeWindow());
    return box.exec() == QMessageBox::Yes;
}

bool WidgetUserInterface::askOkCancel(const QString& text, const QString& title)
{
    const TopmostAside aside;
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Ok | QMessageBox::Cancel,
                    QApplication::activeWindow());
    return box.exec() == QMessageBox::Ok;
}

void WidgetUserInterface::yield()
{
    m_events.pump();
}

void WidgetUserInterface::exitProcess(int status)
{
    // Ends at once: no window gets a close or unload event. The log has
    // already been closed by the caller.
    std::fflush(nullptr);
    std::_Exit(status);
}

} // namespace tarnwick

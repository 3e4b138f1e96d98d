#include "app/WidgetUserInterface.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <cstdlib>

namespace tarnwick {

void WidgetUserInterface::showMessage(const QString& text, const QString& title)
{
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

bool WidgetUserInterface::askYesNo(const QString& text, const QString& title)
{
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No,
                    QApplication::activeWindow());
    return box.exec() == QMessageBox::Yes;
}

bool WidgetUserInterface::askOkCancel(const QString& text, const QString& title)
{
    QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok | QMessageBox::Cancel,
                    QApplication::activeWindow());
    return box.exec() == QMessageBox::Ok;
}

void WidgetUserInterface::yield()
{
    QCoreApplication::processEvents();
}

void WidgetUserInterface::exitProcess(int status)
{
    // Ends at once: no window gets a close or unload event. The log has
    // already been closed by the caller.
    std::fflush(nullptr);
    std::_Exit(status);
}

} // namespace tarnwick

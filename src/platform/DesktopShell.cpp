#include "platform/DesktopShell.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace tarnwick {

namespace {
QUrl toUrl(const QString& pathOrUrl)
{
    if (QFileInfo::exists(pathOrUrl))
        return QUrl::fromLocalFile(QFileInfo(pathOrUrl).absoluteFilePath());
    return QUrl(pathOrUrl, QUrl::TolerantMode);
}
} // namespace

void DesktopShell::openDocument(const QString& pathOrUrl)
{
    QDesktopServices::openUrl(toUrl(pathOrUrl));
}

void DesktopShell::openInTextEditor(const QString& path)
{
#ifdef Q_OS_WIN
    // The path travels as one argument, so blanks in it open the right file.
    QProcess::startDetached(QStringLiteral("notepad.exe"), {path});
#else
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
#endif
}

} // namespace tarnwick

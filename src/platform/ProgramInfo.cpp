#include "platform/ProgramInfo.h"

#include "tarnwick_version.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace tarnwick {

ProgramInfo ProgramInfo::current()
{
    ProgramInfo info = inFolder(QCoreApplication::applicationDirPath(),
                                QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName());
    return info;
}

ProgramInfo ProgramInfo::inFolder(const QString& folder, const QString& baseName)
{
    ProgramInfo info;
    QString f = QDir::toNativeSeparators(QDir::cleanPath(folder));
    while (f.size() > 1 && f.endsWith(QDir::separator()))
        f.chop(1);
    info.folder = f;
    info.baseName = baseName;
    info.major = TARNWICK_VERSION_MAJOR;
    info.minor = TARNWICK_VERSION_MINOR;
    info.revision = TARNWICK_VERSION_PATCH;
    // AppLocalDataLocation of an application named "Tarnwick" without an organisation, whatever this one is named.
    info.userDataFolder = QDir::toNativeSeparators(
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Tarnwick"));
    return info;
}

QString ProgramInfo::pathBeside(const QString& name) const
{
    return folder + QDir::separator() + name;
}

QString ProgramInfo::versionText() const
{
    return QStringLiteral("%1.%2.%3").arg(major).arg(minor).arg(revision);
}

} // namespace tarnwick

#include "platform/RegFileRegistry.h"

#include <QDir>
#include <QFileInfo>

namespace tarnwick {

// Away from Windows there is no registry: the product's keys come from an
// export file, so a demo or a test can stand in for an installation.
std::unique_ptr<RegistryBackend> createPlatformRegistry(const QString& programFolder)
{
    QString path = qEnvironmentVariable("TARNWICK_REGISTRY");
    if (path.isEmpty()) {
        path = QDir(programFolder).filePath(QStringLiteral("registry.reg"));
        // An installed program has none beside it: the machine's own file then.
        if (!QFileInfo::exists(path))
            path = QStringLiteral("/etc/tarnwick/registry.reg");
    }
    return RegFileRegistry::fromFile(path);
}

} // namespace tarnwick

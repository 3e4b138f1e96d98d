#include "platform/RegFileRegistry.h"

#include <QDir>

namespace tarnwick {

// Away from Windows there is no registry: the product's keys come from an
// export file, so a demo or a test can stand in for an installation.
std::unique_ptr<RegistryBackend> createPlatformRegistry(const QString& programFolder)
{
    QString path = qEnvironmentVariable("TARNWICK_REGISTRY");
    if (path.isEmpty())
        path = QDir(programFolder).filePath(QStringLiteral("registry.reg"));
    return RegFileRegistry::fromFile(path);
}

} // namespace tarnwick

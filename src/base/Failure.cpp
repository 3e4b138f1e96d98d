#include "base/Failure.h"

namespace tarnwick::ErrorText {

namespace {
QString tail(const Failure& f, const QString& procedure, const QString& owner)
{
    return QString::number(f.number()) + QStringLiteral(" (") + f.description()
           + QStringLiteral(") in procedure ") + procedure + QStringLiteral(" of ") + owner;
}
} // namespace

QString inProcedure(const Failure& f, const QString& procedure, const QString& owner)
{
    return QStringLiteral("(error):") + tail(f, procedure, owner);
}

QString errorInProcedure(const Failure& f, const QString& procedure, const QString& owner)
{
    return QStringLiteral("Error ") + tail(f, procedure, owner);
}

QString logLine(const Failure& f, const QString& procedure, const QString& owner)
{
    return QStringLiteral("(error) ") + tail(f, procedure, owner);
}

} // namespace tarnwick::ErrorText

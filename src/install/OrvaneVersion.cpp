#include "install/OrvaneVersion.h"

#include "base/Failure.h"
#include "base/StepRunner.h"
#include "base/UserInterface.h"
#include "install/RegistryAPI.h"

namespace tarnwick {

namespace {

const QString kVersionKey = QStringLiteral("Software\\Kestrane\\");

// Eight upper-case hexadecimal digits, two's complement for negatives.
QString hex8(std::int32_t value)
{
    return QString::number(static_cast<std::uint32_t>(value), 16).toUpper().rightJustified(8, QLatin1Char('0'));
}

// The leading decimal digits of a text, read as a decimal number: the
// product stores its versions so that 0010 means 10, and a letter ends it.
std::int16_t leadingDecimal(const QString& digits)
{
    int value = 0;
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            break;
        value = value * 10 + (c.unicode() - '0');
    }
    return static_cast<std::int16_t>(value);
}

} // namespace

VersionInfo getVersion(RegistryBackend& registry, UserInterface& ui)
{
    StepRunner steps([&ui](const Failure& f) {
        ui.showMessage(ErrorText::inProcedure(f, QStringLiteral("getVersion"), QStringLiteral("Module OrvaneVersion")));
    });
    VersionInfo v;
    std::int32_t version = 0;
    std::int32_t build = 0;
    steps.run([&] {
        version = registryValueToInt(ReadRegistryValue(registry, kHkeyLocalMachine, kVersionKey,
                                                       QStringLiteral("Version Number"), 4));
    });
    steps.run([&] {
        build = registryValueToInt(ReadRegistryValue(registry, kHkeyLocalMachine, kVersionKey,
                                                     QStringLiteral("Build Number"), 4));
    });
    const QString versionHex = hex8(version);
    v.Major = leadingDecimal(versionHex.left(4));
    v.Minor = leadingDecimal(versionHex.right(4));
    const QString buildHex = hex8(build);
    v.Build = leadingDecimal(buildHex.left(4));
    // The revision, unlike the other three, is genuinely hexadecimal.
    v.Revision = static_cast<std::int16_t>(buildHex.right(4).toUInt(nullptr, 16));
    v.VersionString = QStringLiteral("%1.%2(%3.%4)").arg(v.Major).arg(v.Minor).arg(v.Build).arg(v.Revision);
    return v;
}

bool bIsVersionGreaterThanOrEqualTo(const VersionInfo& installed, std::int16_t Major, std::int16_t Minor,
                                    std::int16_t Build, std::int16_t Revision)
{
    const std::int16_t have[] = {installed.Major, installed.Minor, installed.Build, installed.Revision};
    const std::int16_t need[] = {Major, Minor, Build, Revision};
    for (int i = 0; i < 4; ++i) {
        if (have[i] != need[i])
            return have[i] > need[i];
    }
    return true;
}

} // namespace tarnwick

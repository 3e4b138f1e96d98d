// Any bytes as the registry file, read as start-up reads it: the values through ReadRegistryValue with each of its
// types, then the product version. Every key opened is closed again and no value outgrows its buffer.
#include "FuzzSupport.h"

#include "install/OrvaneVersion.h"
#include "install/RegistryAPI.h"
#include "platform/RegFileRegistry.h"
#include "support/RecordingUserInterface.h"

using namespace tarnwick;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    QStringList warnings;
    const auto registry = RegFileRegistry::fromBytes(fuzz::bytesOf(data, size), QStringLiteral("fuzz.reg"), &warnings);
    const QString kestrane = QStringLiteral("Software\\Kestrane\\");
    const QString parameters = QStringLiteral("SOFTWARE\\Kestrane\\SystemParameters\\1.0");
    for (const QString& key : {kestrane, parameters}) {
        for (const QString& name : {QStringLiteral("Version Number"), QStringLiteral("Build Number"),
                                    QStringLiteral("IDCProgID"), QString()}) {
            const RegistryValue text = ReadRegistryValue(*registry, kHkeyLocalMachine, key, name, 1);
            if (const auto* s = std::get_if<QString>(&text))
                fuzz::require(s->toLocal8Bit().size() < 1024, "a text outgrew its 1024-byte buffer");
            const RegistryValue bytes = ReadRegistryValue(*registry, kHkeyLocalMachine, key, name, 3);
            if (const auto* b = std::get_if<QByteArray>(&bytes))
                fuzz::require(b->size() <= 4096, "bytes outgrew their 4096-byte buffer");
            ReadRegistryValue(*registry, kHkeyLocalMachine, key, name, 4);
        }
    }
    test::RecordingUserInterface ui;
    const VersionInfo version = getVersion(*registry, ui);
    fuzz::require(ui.shown.isEmpty(), "getVersion reported", ui.texts().join(u'\n'));
    fuzz::require(!version.VersionString.isEmpty(), "no version text");
    fuzz::require(registry->openHandles() == 0, "a key was left open");
    return 0;
}

#pragma once

#include "platform/Clock.h"
#include "platform/Registry.h"
#include "program/AppContext.h"
#include "support/RecordingUserInterface.h"

#include "DemoDatabase.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <memory>

namespace tarnwick::test {

inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The path when the bytes were written whole, else empty.
inline QString writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() ? path : QString();
}

// Everything a core test needs, in a fresh temporary folder that serves as the program folder: a recorder for the
// administrator's side, a fixed clock, a registry, the program-wide context, and on request a product database.
class TestEnvironment
{
public:
    // The .reg text of an installation at the given version (4.0(3.100) by default).
    static QString registryText(std::uint32_t versionNumber = 0x00040000, std::uint32_t buildNumber = 0x00030064,
                                const QString& idcProgId = QString());

    explicit TestEnvironment(const QString& registryFile = registryText());
    ~TestEnvironment();

    QString folder() const { return m_dir.path(); }
    // The program living in `folder`, its per-user data folder inside it too ("user data").
    static ProgramInfo programIn(const QString& folder);
    QString path(const QString& name) const { return m_dir.filePath(name); }

    // A product database (schema only) in the folder, made on first call; the context's connection string reaches it.
    demo::DemoDatabase& database();
    QString connectionString() const;

    RecordingUserInterface ui;
    RecordingShell shell;
    FixedClock clock{QDateTime(QDate(2026, 12, 6), QTime(14, 3, 27))};
    std::unique_ptr<RegistryBackend> registry;
    std::unique_ptr<AppContext> app;

private:
    QTemporaryDir m_dir;
    std::unique_ptr<demo::DemoDatabase> m_database;
};

} // namespace tarnwick::test

#include "support/TestEnvironment.h"

#include "base/Recordset.h"
#include "platform/RegFileRegistry.h"

#include <QDir>
#include <QSettings>

namespace tarnwick::test {

QString TestEnvironment::registryText(std::uint32_t versionNumber, std::uint32_t buildNumber, const QString& idcProgId)
{
    QString text = QString("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kestrane]\r\n"
                           "\"Version Number\"=dword:%1\r\n\"Build Number\"=dword:%2\r\n")
                       .arg(versionNumber, 8, 16, QLatin1Char('0'))
                       .arg(buildNumber, 8, 16, QLatin1Char('0'));
    if (!idcProgId.isNull())
        text += "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kestrane\\SystemParameters\\1.0]\r\n\"IDCProgID\"=\"" + idcProgId +
                "\"\r\n";
    return text;
}

TestEnvironment::TestEnvironment(const QString& registryFile)
    : registry(RegFileRegistry::fromBytes(registryFile.toUtf8(), "test.reg"))
{
    app = std::make_unique<AppContext>(ui, shell, *registry, programIn(m_dir.path()), clock);
    // Window places kept between runs go to the fresh folder, never the tester's own settings.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.path());
}

ProgramInfo TestEnvironment::programIn(const QString& folder)
{
    ProgramInfo program = ProgramInfo::inFolder(folder);
    program.userDataFolder = QDir::toNativeSeparators(folder + QStringLiteral("/user data"));
    return program;
}

TestEnvironment::~TestEnvironment()
{
    app.reset();
    m_database.reset();
    // Each test's database file goes away with its folder; drop the cached connections to it.
    closeDatabaseConnections();
}

demo::DemoDatabase& TestEnvironment::database()
{
    if (!m_database) {
        m_database = demo::DemoDatabase::createSqlite(path("OrvaneDb"));
        app->strConnectionString = connectionString();
    }
    return *m_database;
}

QString TestEnvironment::connectionString() const
{
    return demo::DemoDatabase::sqliteConnectionString(QDir::toNativeSeparators(path("OrvaneDb")));
}

} // namespace tarnwick::test

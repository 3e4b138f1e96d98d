// The registry file reader's time and peak memory by file size and shape:
//   bench_registry [--sizes 1,10,50] [--shapes export,values,deep,deletions] [--old BINARY] [--keep FOLDER]
// Writes each file, then loads it in a fresh process of this program (so each
// load has its own peak memory) and reads one value back. --old names this
// same program built against an older reader (it keeps the reader's public
// API): both load every file in one run and the ratios are printed. A load is
// stopped after --timeout seconds or when it passes --memory-limit MB.
// Times are wall and CPU (user + system) milliseconds: on a busy machine the
// CPU time is the one to compare.
//   bench_registry --load FILE    (one load; prints "<wall ms> <peak KiB> <value> <cpu ms>")
#include "BenchSupport.h"

#include "install/RegistryAPI.h"
#include "platform/RegFileRegistry.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringEncoder>

#include <sys/resource.h>

using namespace tarnwick;
using namespace tarnwick::bench;

namespace {

// A load in this process: the file through the program's own reading path.
int loadOnce(const QString& path, qint64 memoryLimitMiB)
{
    const rlim_t limit = rlim_t(memoryLimitMiB) * 1024 * 1024;
    const rlimit as{limit, limit};
    setrlimit(RLIMIT_AS, &as); // a runaway load ends in bad_alloc, not in swapping the machine
    const auto cpuMs = [] {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
               (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
    };
    const double cpuBefore = cpuMs();
    QElapsedTimer timer;
    timer.start();
    auto registry = RegFileRegistry::fromFile(path);
    const QString value = registryValueToText(ReadRegistryValue(
        *registry, kHkeyLocalMachine, QStringLiteral("Software\\Kestrane"), QStringLiteral("Version Number"), 4));
    out() << timer.elapsed() << ' ' << peakRssKiB() << ' ' << value << ' ' << qRound(cpuMs() - cpuBefore) << Qt::endl;
    return 0;
}

// regedit's own shape: UTF-16LE, keys of a few values, long binary data wrapped.
QString exportChunk(int i)
{
    QString s =
        QStringLiteral("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kestrane\\Node%1\\Settings]\r\n").arg(i, 7, 10, QChar('0'));
    s += QStringLiteral("\"DisplayName\"=\"Kestrane component %1\"\r\n\"Flags\"=dword:%2\r\n")
             .arg(i)
             .arg(i, 8, 16, QChar('0'));
    s += QStringLiteral("\"Path\"=hex(2):25,00,53,00,79,00,73,00,74,00,65,00,6d,00,52,00,6f,00,6f,00,74,00,25,\\\r\n"
                        "  00,5c,00,6b,00,00,00\r\n");
    s += QStringLiteral("\"Blob\"=hex:01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,17,\\\r\n"
                        "  18,19,1a,1b,1c,1d,1e,1f,20\r\n\r\n");
    return s;
}

// Many short values under few keys: the most entries per megabyte.
QString valuesChunk(int i)
{
    QString s;
    if (i % 10000 == 0)
        s += QStringLiteral("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kestrane\\Values%1]\r\n").arg(i / 10000);
    return s + QStringLiteral("\"v%1\"=\"t%1\"\r\n").arg(i);
}

// Key lines with hundreds of separators: every key implies hundreds of parents.
QString deepChunk(int i)
{
    QString s = QStringLiteral("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kestrane\\Deep%1").arg(i);
    for (int level = 0; level < 500; ++level)
        s += QStringLiteral("\\k%1").arg(level % 7);
    return s + QStringLiteral("]\r\n\"V\"=dword:00000001\r\n");
}

// Keys that a later section deletes, one [-...] line each.
QString deletionsChunk(int i, int total)
{
    return i < total / 2
               ? QStringLiteral("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kestrane\\Gone\\K%1]\r\n\"V\"=\"x\"\r\n").arg(i)
               : QStringLiteral("[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Kestrane\\Gone\\K%1]\r\n").arg(i - total / 2);
}

// Writes a file of about `megabytes` in the given shape, ending in the value read back.
QString writeFile(const QString& folder, const QString& shape, int megabytes)
{
    const QString path = QDir(folder).filePath(QStringLiteral("%1-%2MB.reg").arg(shape).arg(megabytes));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    const bool utf16 = shape == QLatin1String("export");
    QStringEncoder encoder(utf16 ? QStringEncoder::Utf16LE : QStringEncoder::Utf8,
                           utf16 ? QStringEncoder::Flag::WriteBom : QStringEncoder::Flag::Default);
    const qint64 target = qint64(megabytes) * 1000 * 1000;
    const auto chunk = [&](int i) {
        if (shape == QLatin1String("export"))
            return exportChunk(i);
        if (shape == QLatin1String("values"))
            return valuesChunk(i);
        if (shape == QLatin1String("deep"))
            return deepChunk(i);
        return deletionsChunk(i, int(target / 60)); // about 60 bytes a line pair
    };
    file.write(encoder(QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n")));
    const QString tail =
        QStringLiteral("\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kestrane]\r\n\"Version Number\"=dword:00040000\r\n");
    for (int i = 0; file.size() + 200 < target; ++i)
        file.write(encoder(chunk(i)));
    file.write(encoder(tail));
    return path;
}

struct Load
{
    bool ok = false;
    double ms = 0;
    double cpuMs = 0;
    double peakMiB = 0;
    QString failure;
};

Load runLoad(const QString& program, const QString& file, int timeoutSeconds, int memoryLimitMiB)
{
    QProcess process;
    process.start(program,
                  {QStringLiteral("--load"), file, QStringLiteral("--memory-limit"), QString::number(memoryLimitMiB)});
    Load load;
    if (!process.waitForFinished(timeoutSeconds * 1000)) {
        process.kill();
        process.waitForFinished();
        load.failure = QStringLiteral("over %1 s").arg(timeoutSeconds);
        return load;
    }
    const QStringList fields = QString::fromUtf8(process.readAllStandardOutput()).trimmed().split(QLatin1Char(' '));
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0 || fields.size() < 4 ||
        fields[2] != QLatin1String("262144")) {
        load.failure = process.exitStatus() != QProcess::NormalExit
                           ? QStringLiteral("crashed (over %1 MB?)").arg(memoryLimitMiB)
                           : QStringLiteral("wrong value");
        return load;
    }
    load.ok = true;
    load.ms = fields[0].toDouble();
    load.cpuMs = fields[3].toDouble();
    load.peakMiB = fields[1].toDouble() / 1024.0;
    return load;
}

QString cell(const Load& load)
{
    if (!load.ok)
        return load.failure.leftJustified(28);
    return QStringLiteral("%1/%2 ms %3 MB")
        .arg(load.ms, 6, 'f', 0)
        .arg(load.cpuMs, 6, 'f', 0)
        .arg(load.peakMiB, 5, 'f', 0)
        .leftJustified(28);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({QStringLiteral("load"), QStringLiteral("Load one file and report."), QStringLiteral("file")});
    parser.addOption({QStringLiteral("sizes"), QStringLiteral("File sizes in MB."), QStringLiteral("list"),
                      QStringLiteral("1,10,50")});
    parser.addOption({QStringLiteral("shapes"), QStringLiteral("File shapes."), QStringLiteral("list"),
                      QStringLiteral("export,values,deep,deletions")});
    parser.addOption(
        {QStringLiteral("old"), QStringLiteral("This program built on the older reader."), QStringLiteral("binary")});
    parser.addOption(
        {QStringLiteral("keep"), QStringLiteral("Write the files there and keep them."), QStringLiteral("folder")});
    parser.addOption({QStringLiteral("timeout"), QStringLiteral("Seconds a load may take."), QStringLiteral("s"),
                      QStringLiteral("60")});
    parser.addOption({QStringLiteral("memory-limit"), QStringLiteral("Address space a load may take (MB)."),
                      QStringLiteral("MB"), QStringLiteral("3000")});
    parser.process(app);
    const int memoryLimit = parser.value(QStringLiteral("memory-limit")).toInt();
    if (parser.isSet(QStringLiteral("load")))
        return loadOnce(parser.value(QStringLiteral("load")), memoryLimit);

    QTemporaryDir temp;
    const QString folder = parser.isSet(QStringLiteral("keep")) ? parser.value(QStringLiteral("keep")) : temp.path();
    QDir().mkpath(folder);
    const QString self = QCoreApplication::applicationFilePath(), old = parser.value(QStringLiteral("old"));
    const int timeout = parser.value(QStringLiteral("timeout")).toInt();

    out() << "shape      MB   " << QStringLiteral("new: wall/cpu, peak").leftJustified(28)
          << (old.isEmpty()
                  ? QString()
                  : QStringLiteral("old: wall/cpu, peak").leftJustified(28) + QStringLiteral("old/new cpu, peak"))
          << Qt::endl;
    for (const QString& shape : parser.value(QStringLiteral("shapes")).split(QLatin1Char(','))) {
        bool oldGaveUp = false; // a size the old reader failed is not tried bigger
        for (const QString& size : parser.value(QStringLiteral("sizes")).split(QLatin1Char(','))) {
            const QString file = writeFile(folder, shape, size.toInt());
            const Load now = runLoad(self, file, timeout, memoryLimit);
            out() << shape.leftJustified(10) << size.rightJustified(3) << "   " << cell(now);
            if (!old.isEmpty()) {
                const Load before = oldGaveUp ? Load{false, 0, 0, 0, QStringLiteral("not tried")}
                                              : runLoad(old, file, timeout, memoryLimit);
                oldGaveUp = !before.ok;
                out() << cell(before);
                if (before.ok && now.ok)
                    out() << QStringLiteral("%1x, %2x")
                                 .arg(before.cpuMs / qMax(now.cpuMs, 1.0), 0, 'f', 1)
                                 .arg(before.peakMiB / qMax(now.peakMiB, 1.0), 0, 'f', 1);
            }
            out() << Qt::endl;
            if (!parser.isSet(QStringLiteral("keep")))
                QFile::remove(file);
        }
    }
    return 0;
}

// The cost of replacing the output only when whole:
//   bench_output [--rows N] [--folder FOLDER]
// Writes N rows (420,000 by default: the large database's export) through the
// text-file writer, over a previous file, first as the file was written before
// (the old file deleted, the new one written in its place) and then beside the
// target under a temporary name that takes the target's place when whole
// (flushed to disk, then renamed). Alternates the two five times and prints
// the median time of each and their ratio, measured in this one run.
#include "BenchSupport.h"
#include "platform/TextFileWriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

using tarnwick::bench::median;

qint64 writeAll(const QString& path, int rows, tarnwick::TextFileWriter::Mode mode)
{
    QElapsedTimer timer;
    timer.start();
    if (mode == tarnwick::TextFileWriter::Mode::Truncate)
        QFile::remove(path);
    tarnwick::TextFileWriter writer;
    writer.open(path, mode);
    const QString row =
        QStringLiteral("jsmith,\"Smith, John\",1001,\"Team, core\",11,SUBSCRIBER,amuller,Anna Müller,%1");
    for (int i = 0; i < rows; ++i)
        writer.writeLine(row.arg(i));
    writer.close();
    return timer.nsecsElapsed() / 1000;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QStringList args = QCoreApplication::arguments();
    int rows = 420000;
    QTemporaryDir temporary;
    QString folder = temporary.path();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QStringLiteral("--rows"))
            rows = args[i + 1].toInt();
        else if (args[i] == QStringLiteral("--folder"))
            folder = args[i + 1];
    }
    const QString path = QDir(folder).filePath(QStringLiteral("private lists.csv"));
    std::vector<qint64> direct, replacing;
    try {
        for (int round = 0; round < 5; ++round) {
            direct.push_back(writeAll(path, rows, tarnwick::TextFileWriter::Mode::Truncate));
            replacing.push_back(writeAll(path, rows, tarnwick::TextFileWriter::Mode::Replace));
        }
    } catch (const tarnwick::Failure& f) {
        std::fprintf(stderr, "bench_output: %d %s\n", f.number(), qPrintable(f.description()));
        return 1;
    }
    const qint64 a = median(direct), b = median(replacing);
    std::printf("%d rows, %lld bytes: written in place %lld ms, replaced when whole %lld ms (median of 5); "
                "ratio replaced/in place %.2f\n",
                rows, static_cast<long long>(QFile(path).size()), static_cast<long long>(a / 1000),
                static_cast<long long>(b / 1000), a > 0 ? double(b) / double(a) : 0.0);
    return 0;
}

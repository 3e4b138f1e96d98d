#pragma once

#include "base/Failure.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>

#include <optional>

namespace tarnwick {

// The file system as the log and the output need it, with failures numbered
// after their real cause rather than all as "Path not found".
namespace FileSystem {

// The failure the system reported for the last file operation (errno, or
// GetLastError on Windows): 61 "Disk full", 70 "Permission denied",
// 76 "Path not found", 75 "Path/File access error" and so on.
Failure lastFailure();
// The same for a given system error code.
Failure failureFor(int systemError);

// A folder entry's own kind and date: a link is a link, never what it names.
struct Entry
{
    enum Kind { File, Link, Folder, Other } kind;
    QDateTime modified;
};
// Empty when the entry cannot be read (gone, or no access).
std::optional<Entry> entryOf(const QString& path);

// Whether two paths name the same file, as the file system compares names
// (regardless of letter case on Windows).
bool samePath(const QString& a, const QString& b);

// The name of the system's 8-bit code page as a converter knows it:
// on Windows the ANSI code page, elsewhere the locale's character set
// (read from the environment, since Qt switches its own to UTF-8).
// Empty means UTF-8.
QByteArray codePageName();
// Converters for that code page: what the program writes goes out in it and
// what it reads comes in from it. UTF-8 when no converter knows the name.
QStringEncoder codePageEncoder();
QStringDecoder codePageDecoder(QStringConverter::Flags flags = QStringConverter::Flag::Default);

} // namespace FileSystem

} // namespace tarnwick

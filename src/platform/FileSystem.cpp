#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <clocale>
#include <langinfo.h>
#include <sys/stat.h>
#endif

namespace tarnwick::FileSystem {

namespace {

Failure numbered(int number)
{
    switch (number) {
    case 53:
        return Failure(number, QStringLiteral("File not found"));
    case 57:
        return Failure(number, QStringLiteral("Device I/O error"));
    case 61:
        return Failure(number, QStringLiteral("Disk full"));
    case 67:
        return Failure(number, QStringLiteral("Too many files"));
    case ErrorNumber::PermissionDenied:
        return Failure(number, QStringLiteral("Permission denied"));
    case ErrorNumber::PathNotFound:
        return Failure(number, QStringLiteral("Path not found"));
    default:
        return Failure(ErrorNumber::PathFileAccess, QStringLiteral("Path/File access error"));
    }
}

} // namespace

bool samePath(const QString& a, const QString& b)
{
#ifdef Q_OS_WIN
    const Qt::CaseSensitivity cs = Qt::CaseInsensitive;
#else
    const Qt::CaseSensitivity cs = Qt::CaseSensitive;
#endif
    return QDir::cleanPath(QFileInfo(a).absoluteFilePath())
               .compare(QDir::cleanPath(QFileInfo(b).absoluteFilePath()), cs) == 0;
}

#ifdef Q_OS_WIN

Failure lastFailure()
{
    return failureFor(static_cast<int>(GetLastError()));
}

Failure failureFor(int systemError)
{
    switch (systemError) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return numbered(ErrorNumber::DiskFull);
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return numbered(ErrorNumber::PermissionDenied);
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
        return numbered(ErrorNumber::PathNotFound);
    case ERROR_FILE_NOT_FOUND:
        return numbered(ErrorNumber::FileNotFound);
    case ERROR_CRC:
    case ERROR_GEN_FAILURE:
        return numbered(ErrorNumber::DeviceIOError);
    case ERROR_TOO_MANY_OPEN_FILES:
        return numbered(ErrorNumber::TooManyFiles);
    default:
        return numbered(ErrorNumber::PathFileAccess);
    }
}

std::optional<Entry> entryOf(const QString& path)
{
    // The attributes of a link are the link's own; they are not followed.
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(reinterpret_cast<const wchar_t*>(path.utf16()), GetFileExInfoStandard, &data))
        return std::nullopt;
    Entry entry{Entry::File, {}};
    if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        entry.kind = Entry::Link;
    else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        entry.kind = Entry::Folder;
    const qint64 ticks =
        (qint64(data.ftLastWriteTime.dwHighDateTime) << 32) | qint64(data.ftLastWriteTime.dwLowDateTime);
    entry.modified = QDateTime::fromMSecsSinceEpoch(ticks / 10000 - 11644473600000LL).toLocalTime();
    return entry;
}

QByteArray codePageName()
{
    return QByteArrayLiteral("System");
}

#else

Failure lastFailure()
{
    return failureFor(errno);
}

Failure failureFor(int systemError)
{
    switch (systemError) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG: // a file-size limit reads as a full disk, as it does to the writer
        return numbered(ErrorNumber::DiskFull);
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
        return numbered(ErrorNumber::PermissionDenied);
    case ENOENT:
    case ENOTDIR:
        return numbered(ErrorNumber::PathNotFound);
    case EIO:
        return numbered(ErrorNumber::DeviceIOError);
    case EMFILE:
    case ENFILE:
        return numbered(ErrorNumber::TooManyFiles);
    default:
        return numbered(ErrorNumber::PathFileAccess);
    }
}

std::optional<Entry> entryOf(const QString& path)
{
    struct stat info;
    if (lstat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    Entry entry{Entry::Other, QDateTime::fromSecsSinceEpoch(info.st_mtime)};
    if (S_ISREG(info.st_mode))
        entry.kind = Entry::File;
    else if (S_ISLNK(info.st_mode))
        entry.kind = Entry::Link;
    else if (S_ISDIR(info.st_mode))
        entry.kind = Entry::Folder;
    return entry;
}

QByteArray codePageName()
{
    const locale_t environment = newlocale(LC_CTYPE_MASK, "", locale_t(nullptr));
    if (!environment)
        return {};
    QByteArray name = nl_langinfo_l(CODESET, environment);
    freelocale(environment);
    // No locale chosen at all (C, POSIX: plain ASCII) keeps Qt's own UTF-8
    // rather than turning every accented name into question marks.
    if (name.compare("UTF-8", Qt::CaseInsensitive) == 0 || name.compare("utf8", Qt::CaseInsensitive) == 0 ||
        name == "ANSI_X3.4-1968" || name == "ASCII")
        return {};
    return name;
}

#endif

namespace {

template <typename Converter> Converter codePageConverter(QStringConverter::Flags flags)
{
    const QByteArray name = codePageName();
    if (name == "System")
        return Converter(QStringConverter::System, flags);
    Converter converter(name.isEmpty() ? "UTF-8" : name.constData(), flags);
    return converter.isValid() ? std::move(converter) : Converter(QStringConverter::Utf8, flags);
}

} // namespace

QStringDecoder codePageDecoder(QStringConverter::Flags flags)
{
    return codePageConverter<QStringDecoder>(flags);
}

QStringEncoder codePageEncoder()
{
    return codePageConverter<QStringEncoder>(QStringConverter::Flag::Default);
}

} // namespace tarnwick::FileSystem

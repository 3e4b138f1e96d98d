#include "platform/RegFileRegistry.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QtDebug>

#include <cstring>

namespace tarnwick {

namespace {

using Keys = QHash<QString, QHash<QString, RegFileRegistry::Value>>;

const QString kHeader5 = QStringLiteral("Windows Registry Editor Version 5.00");
const QString kHeader4 = QStringLiteral("REGEDIT4");

struct Hive
{
    const char* name;
    const char* abbreviation;
    std::uint32_t handle;
};

constexpr Hive kHives[] = {
    {"HKEY_CLASSES_ROOT", "HKCR", 0x80000000u},   {"HKEY_CURRENT_USER", "HKCU", 0x80000001u},
    {"HKEY_LOCAL_MACHINE", "HKLM", 0x80000002u},  {"HKEY_USERS", "HKU", 0x80000003u},
    {"HKEY_CURRENT_CONFIG", "HKCC", 0x80000005u},
};

bool isPredefinedKey(std::uint32_t hive)
{
    for (const Hive& h : kHives) {
        if (h.handle == hive)
            return true;
    }
    return false;
}

// The lookup form of a key below `base`: the lower-case path without trailing
// separators, so "Software\Kestrane\" finds "Software\Kestrane".
QString keyId(const QString& base, QString path)
{
    while (path.endsWith(QLatin1Char('\\')))
        path.chop(1);
    return path.isEmpty() ? base : base + QLatin1Char('\\') + path.toLower();
}

// A hive's own id: its predefined handle in hex.
QString hiveId(std::uint32_t hive)
{
    return QString::number(hive, 16);
}

// regedit saves version 5 files as UTF-16LE with a BOM; hand-made ones are
// usually UTF-8; REGEDIT4 files are in the system's 8-bit code page.
QString decode(const QByteArray& bytes)
{
    if (bytes.startsWith("\xFF\xFE"))
        return QStringDecoder(QStringDecoder::Utf16LE)(bytes.mid(2));
    if (bytes.startsWith("\xFE\xFF"))
        return QStringDecoder(QStringDecoder::Utf16BE)(bytes.mid(2));
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.mid(3));
    if (bytes.size() >= 2 && bytes[0] != '\0' && bytes[1] == '\0')
        return QStringDecoder(QStringDecoder::Utf16LE)(bytes);
    if (bytes.trimmed().startsWith(kHeader4.toLatin1()))
        return QString::fromLocal8Bit(bytes);
    return QString::fromUtf8(bytes);
}

bool isHexDigit(QChar c)
{
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('f'))
           || (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
}

bool isHexNumber(const QString& text, int maxDigits)
{
    if (text.isEmpty() || text.size() > maxDigits)
        return false;
    for (const QChar c : text) {
        if (!isHexDigit(c))
            return false;
    }
    return true;
}

// A quoted text starting at `pos`, with \\ and \" unescaped; any other
// backslash stays as written. Leaves `pos` after the closing quote.
bool readQuoted(const QString& line, qsizetype& pos, QString& out)
{
    if (pos >= line.size() || line[pos] != QLatin1Char('"'))
        return false;
    ++pos;
    while (pos < line.size()) {
        const QChar c = line[pos];
        if (c == QLatin1Char('\\') && pos + 1 < line.size()
            && (line[pos + 1] == QLatin1Char('\\') || line[pos + 1] == QLatin1Char('"'))) {
            out.append(line[pos + 1]);
            pos += 2;
        } else if (c == QLatin1Char('"')) {
            ++pos;
            return true;
        } else {
            out.append(c);
            ++pos;
        }
    }
    return false;
}

bool readHexList(const QString& text, QByteArray& out)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return true;
    QStringList items = trimmed.split(QLatin1Char(','));
    if (items.last().trimmed().isEmpty())
        items.removeLast();  // a trailing comma, as before a continuation
    for (const QString& item : std::as_const(items)) {
        const QString digits = item.trimmed();
        if (!isHexNumber(digits, 2))
            return false;
        out.append(static_cast<char>(digits.toUInt(nullptr, 16)));
    }
    return true;
}

class Parser
{
public:
    Parser(Keys& keys, const QString& fileName, QStringList* warnings)
        : m_keys(keys), m_fileName(fileName), m_warnings(warnings)
    {
    }

    void parse(const QString& text)
    {
        QStringList lines = text.split(QLatin1Char('\n'));
        for (QString& line : lines) {
            if (line.endsWith(QLatin1Char('\r')))
                line.chop(1);
        }

        qsizetype i = 0;
        while (i < lines.size() && lines[i].trimmed().isEmpty())
            ++i;
        const QString header = i < lines.size() ? lines[i].trimmed() : QString();
        if (header.compare(kHeader5, Qt::CaseInsensitive) != 0 && header.compare(kHeader4, Qt::CaseInsensitive) != 0) {
            warn(i < lines.size() ? i + 1 : 1,
                 QStringLiteral("not a registry export file (the first line must be \"%1\" or \"%2\")")
                     .arg(kHeader5, kHeader4));
            return;
        }

        for (++i; i < lines.size(); ++i) {
            const qsizetype lineNumber = i + 1;
            QString line = lines[i].trimmed();
            if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
                continue;
            // Long hex lists go on over several lines, each ending in a backslash.
            if (!line.startsWith(QLatin1Char('['))) {
                while (line.endsWith(QLatin1Char('\\')) && i + 1 < lines.size()) {
                    line.chop(1);
                    line += lines[++i].trimmed();
                }
            }
            if (line.startsWith(QLatin1Char('[')))
                section(line, lineNumber);
            else
                value(line, lineNumber);
        }
    }

private:
    void warn(qsizetype lineNumber, const QString& what)
    {
        if (m_warnings)
            m_warnings->append(QStringLiteral("%1:%2: %3").arg(m_fileName).arg(lineNumber).arg(what));
    }

    void section(const QString& line, qsizetype lineNumber)
    {
        m_current.clear();
        m_skipSection = true;
        if (!line.endsWith(QLatin1Char(']'))) {
            warn(lineNumber, QStringLiteral("key line without closing \"]\""));
            return;
        }
        QString path = line.mid(1, line.size() - 2).trimmed();
        const bool remove = path.startsWith(QLatin1Char('-'));
        if (remove)
            path.remove(0, 1);
        const qsizetype separator = path.indexOf(QLatin1Char('\\'));
        const QString root = separator < 0 ? path : path.left(separator);
        const QString below = separator < 0 ? QString() : path.mid(separator + 1);
        const Hive* hive = nullptr;
        for (const Hive& h : kHives) {
            if (root.compare(QLatin1String(h.name), Qt::CaseInsensitive) == 0
                || root.compare(QLatin1String(h.abbreviation), Qt::CaseInsensitive) == 0)
                hive = &h;
        }
        if (!hive) {
            warn(lineNumber, QStringLiteral("unknown root key \"%1\"").arg(root));
            return;
        }
        const QString id = keyId(hiveId(hive->handle), below);
        if (remove) {
            // The key goes with everything below it; lines up to the next key are ignored.
            const QString prefix = id + QLatin1Char('\\');
            for (auto it = m_keys.begin(); it != m_keys.end();) {
                if (it.key() == id || it.key().startsWith(prefix))
                    it = m_keys.erase(it);
                else
                    ++it;
            }
            return;
        }
        // A key implies its parents, as in the registry itself.
        for (qsizetype at = id.indexOf(QLatin1Char('\\')); at >= 0; at = id.indexOf(QLatin1Char('\\'), at + 1)) {
            if (!m_keys.contains(id.left(at)))
                m_keys.insert(id.left(at), {});
        }
        if (!m_keys.contains(id))
            m_keys.insert(id, {});
        m_current = id;
        m_skipSection = false;
    }

    void value(const QString& line, qsizetype lineNumber)
    {
        if (m_current.isEmpty()) {
            if (!m_skipSection)
                warn(lineNumber, QStringLiteral("value outside of a key"));
            return;
        }

        QString name;
        qsizetype pos = 0;
        if (line.startsWith(QLatin1Char('@'))) {
            pos = 1;
        } else if (!readQuoted(line, pos, name)) {
            warn(lineNumber, QStringLiteral("not a key, a value or a comment"));
            return;
        }
        while (pos < line.size() && line[pos].isSpace())
            ++pos;
        if (pos >= line.size() || line[pos] != QLatin1Char('=')) {
            warn(lineNumber, QStringLiteral("\"=\" missing after the value name"));
            return;
        }
        const QString data = line.mid(pos + 1).trimmed();

        RegFileRegistry::Value v;
        if (data.startsWith(QLatin1Char('"'))) {
            QString text;
            qsizetype at = 0;
            if (!readQuoted(data, at, text) || at != data.size()) {
                warn(lineNumber, QStringLiteral("malformed string data"));
                return;
            }
            v.type = RegType::String;
            v.data = text.toLocal8Bit();
            v.data.append('\0');
        } else if (data == QLatin1String("-")) {
            m_keys[m_current].remove(name.toLower());
            return;
        } else if (data.startsWith(QLatin1String("dword:"), Qt::CaseInsensitive)) {
            const QString digits = data.mid(6).trimmed();
            if (!isHexNumber(digits, 8)) {
                warn(lineNumber, QStringLiteral("malformed dword data"));
                return;
            }
            const std::uint32_t number = digits.toUInt(nullptr, 16);
            const unsigned char bytes[4] = {static_cast<unsigned char>(number), static_cast<unsigned char>(number >> 8),
                                            static_cast<unsigned char>(number >> 16),
                                            static_cast<unsigned char>(number >> 24)};
            v.type = RegType::DWord;
            v.data = QByteArray(reinterpret_cast<const char*>(bytes), 4);
        } else if (data.startsWith(QLatin1String("hex"), Qt::CaseInsensitive)) {
            const qsizetype colon = data.indexOf(QLatin1Char(':'));
            const QString kind = colon < 0 ? QString() : data.mid(3, colon - 3).trimmed();
            if (kind.isEmpty()) {
                v.type = RegType::Binary;
            } else if (kind.startsWith(QLatin1Char('(')) && kind.endsWith(QLatin1Char(')'))
                       && isHexNumber(kind.mid(1, kind.size() - 2), 8)) {
                v.type = kind.mid(1, kind.size() - 2).toUInt(nullptr, 16);
            } else {
                warn(lineNumber, QStringLiteral("malformed value type \"%1\"").arg(colon < 0 ? data : data.left(colon)));
                return;
            }
            if (colon < 0 || !readHexList(data.mid(colon + 1), v.data)) {
                warn(lineNumber, QStringLiteral("malformed hex data"));
                return;
            }
        } else {
            warn(lineNumber, QStringLiteral("unrecognised value data"));
            return;
        }
        m_keys[m_current].insert(name.toLower(), v);
    }

    Keys& m_keys;
    const QString& m_fileName;
    QStringList* m_warnings;
    QString m_current;         // the key values go to; empty before the first key
    bool m_skipSection = false;  // the key line was refused or deletes: its values go unremarked
};

} // namespace

std::unique_ptr<RegFileRegistry> RegFileRegistry::fromBytes(const QByteArray& bytes, const QString& fileName,
                                                            QStringList* warnings)
{
    auto registry = std::make_unique<RegFileRegistry>();
    Parser(registry->m_keys, fileName, warnings).parse(decode(bytes));
    return registry;
}

std::unique_ptr<RegFileRegistry> RegFileRegistry::fromFile(const QString& path)
{
    if (!QFileInfo::exists(path))
        return std::make_unique<RegFileRegistry>();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning().noquote() << QStringLiteral("%1: cannot be read: %2").arg(path, file.errorString());
        return std::make_unique<RegFileRegistry>();
    }
    QStringList warnings;
    auto registry = fromBytes(file.readAll(), path, &warnings);
    for (const QString& warning : std::as_const(warnings))
        qWarning().noquote() << warning;
    return registry;
}

long RegFileRegistry::openKey(std::uint32_t hive, const QString& path, std::uint32_t options, std::uint32_t access,
                              RegistryKeyHandle& key)
{
    Q_UNUSED(options);
    Q_UNUSED(access);
    // Below a predefined hive, or below a key opened before.
    QString base;
    if (const auto parent = m_open.constFind(hive); parent != m_open.cend())
        base = *parent;
    else if (isPredefinedKey(hive))
        base = hiveId(hive);
    else
        return RegStatus::InvalidHandle;
    const QString id = keyId(base, path);
    // A hive's root always exists, even when no key below it does.
    if (id.contains(QLatin1Char('\\')) && !m_keys.contains(id))
        return RegStatus::FileNotFound;
    key = m_nextHandle++;
    m_open.insert(key, id);
    return RegStatus::Success;
}

long RegFileRegistry::queryValue(RegistryKeyHandle key, const QString& valueName, std::uint32_t& type,
                                 QByteArray& data, std::uint32_t& size)
{
    const auto open = m_open.constFind(key);
    if (open == m_open.cend())
        return RegStatus::InvalidHandle;
    const auto values = m_keys.constFind(*open);
    if (values == m_keys.cend())
        return RegStatus::FileNotFound;
    const auto found = values->constFind(valueName.toLower());
    if (found == values->cend())
        return RegStatus::FileNotFound;

    type = found->type;
    const auto needed = static_cast<std::uint32_t>(found->data.size());
    if (needed > size) {
        size = needed;
        return RegStatus::MoreData;
    }
    if (data.size() < qsizetype(size))
        data.resize(size);
    if (needed > 0)
        std::memcpy(data.data(), found->data.constData(), needed);
    size = needed;
    return RegStatus::Success;
}

long RegFileRegistry::closeKey(RegistryKeyHandle key)
{
    ++m_closeCalls;
    return m_open.remove(key) ? RegStatus::Success : RegStatus::InvalidHandle;
}

} // namespace tarnwick

#include "platform/RegFileRegistry.h"

#include "platform/FileSystem.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QtDebug>

#include <algorithm>
#include <cstring>
#include <string_view>

namespace tarnwick {

namespace {

constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeader4 = "REGEDIT4";

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

// A hive's own id: its predefined handle in hex.
std::string hiveId(std::uint32_t hive)
{
    return QByteArray::number(hive, 16).toStdString();
}

bool isAscii(std::string_view text)
{
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    }
    return true;
}

// The lookup form of a name or path (UTF-8 in, UTF-8 out).
std::string lower(std::string_view utf8)
{
    if (isAscii(utf8)) {
        std::string out(utf8);
        for (char& c : out)
            c = asciiLower(c);
        return out;
    }
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size())).toLower().toStdString();
}

// Text in the system's 8-bit code page, as the ANSI entry points give and take it.
std::string codePageToUtf8(const std::string& text)
{
    if (isAscii(text))
        return text;
    return QString::fromLocal8Bit(text.data(), qsizetype(text.size())).toStdString();
}

std::string utf8ToCodePage(std::string_view text)
{
    if (isAscii(text))
        return std::string(text);
    return QString::fromUtf8(text.data(), qsizetype(text.size())).toLocal8Bit().toStdString();
}

// A version 5 file stores REG_SZ, REG_EXPAND_SZ and REG_MULTI_SZ data written
// as hex as UTF-16LE; the 8-bit API returns it converted to the code page.
std::string utf16ToCodePage(const std::string& bytes)
{
    const QByteArrayView even(bytes.data(), qsizetype(bytes.size() & ~std::size_t(1)));
    return QString(QStringDecoder(QStringDecoder::Utf16LE)(even)).toLocal8Bit().toStdString();
}

std::string_view trimmed(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

// A key path as the registry keeps it: "Software\Kestrane\" and "Software\\Kestrane" find "Software\Kestrane".
std::string keyId(const std::string& base, std::string_view path)
{
    std::string id = base;
    for (std::size_t at = 0; at < path.size();) {
        const std::size_t end = std::min(path.find('\\', at), path.size());
        if (end > at)
            id += '\\' + lower(path.substr(at, end - at));
        at = end + 1;
    }
    return id;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Hex digits and nothing else, at most `maxDigits` of them, with a value up to `maxValue`.
bool readHexNumber(std::string_view text, std::size_t maxDigits, std::uint64_t maxValue, std::uint64_t& number)
{
    if (text.empty() || text.size() > maxDigits)
        return false;
    number = 0;
    for (const char c : text) {
        const int digit = hexDigit(c);
        if (digit < 0)
            return false;
        number = number * 16 + std::uint64_t(digit);
        if (number > maxValue)
            return false;
    }
    return true;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// What may follow a value's data: blanks, then a comment or nothing.
bool endsCleanly(std::string_view rest)
{
    rest = trimmed(rest);
    return rest.empty() || rest.front() == ';';
}

// A quoted text starting at `pos`, unescaped as the registry editor does: \n and \r are line ends, \0 a zero,
// and any other escaped character stands for itself (\\, \", but also \f for "f"). Leaves `pos` after the
// closing quote.
bool readQuoted(std::string_view line, std::size_t& pos, std::string& out)
{
    if (pos >= line.size() || line[pos] != '"')
        return false;
    ++pos;
    while (pos < line.size()) {
        const char c = line[pos];
        if (c == '\\' && pos + 1 < line.size()) {
            const char escaped = line[pos + 1];
            out.push_back(escaped == 'n' ? '\n' : escaped == 'r' ? '\r' : escaped == '0' ? '\0' : escaped);
            pos += 2;
        } else if (c == '"') {
            ++pos;
            return true;
        } else {
            out.push_back(c);
            ++pos;
        }
    }
    return false;
}

// Comma-separated bytes, blanks allowed after a comma but not before one; one trailing comma is allowed.
// A byte may have leading zeros ("001" is 1), as the registry editor reads it.
bool readHexList(std::string_view text, std::string& out)
{
    if (text.empty())
        return true;
    if (text.back() == ',')
        text.remove_suffix(1);
    out.reserve(text.size() / 3 + 1);
    for (;;) {
        const std::size_t comma = text.find(',');
        std::string_view byte = text.substr(0, comma);
        while (!byte.empty() && isBlank(byte.front()))
            byte.remove_prefix(1);
        std::uint64_t value = 0;
        if (!readHexNumber(byte, byte.size(), 0xFF, value))
            return false;
        out.push_back(static_cast<char>(value));
        if (comma == std::string_view::npos)
            return true;
        text.remove_prefix(comma + 1);
    }
}

QString fromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

QString tooLarge(const QString& fileName, qint64 size)
{
    return QStringLiteral(
               "%1: not read: the file has %2 bytes, more than the %3 bytes (%4 MB) a registry file may have")
        .arg(fileName)
        .arg(size)
        .arg(RegFileRegistry::kMaxFileSize)
        .arg(RegFileRegistry::kMaxFileSize / (1024 * 1024));
}

} // namespace

class RegFileRegistry::Parser
{
public:
    Parser(RegFileRegistry& registry, const QString& fileName, QStringList* warnings)
        : m_registry(registry), m_keys(registry.m_keys), m_fileName(fileName), m_warnings(warnings)
    {
    }

    // regedit saves version 5 files as UTF-16LE with a BOM; hand-made ones are
    // usually UTF-8; REGEDIT4 files are in the system's 8-bit code page. The
    // parser works on UTF-8 text: the file's own bytes when they are UTF-8.
    void parse(const QByteArray& bytes)
    {
        QByteArray converted;
        std::string_view text(bytes.constData(), std::size_t(bytes.size()));
        if (bytes.startsWith("\xFF\xFE"))
            converted = QString(QStringDecoder(QStringDecoder::Utf16LE)(QByteArrayView(bytes).sliced(2))).toUtf8();
        else if (bytes.startsWith("\xFE\xFF"))
            converted = QString(QStringDecoder(QStringDecoder::Utf16BE)(QByteArrayView(bytes).sliced(2))).toUtf8();
        else if (bytes.startsWith("\xEF\xBB\xBF"))
            text.remove_prefix(3);
        else if (bytes.size() >= 2 && bytes[0] != '\0' && bytes[1] == '\0')
            converted = QString(QStringDecoder(QStringDecoder::Utf16LE)(bytes)).toUtf8();
        else if (trimmed(text.substr(0, 64)).substr(0, kHeader4.size()) == kHeader4)
            converted = QString(m_codePage(bytes)).toUtf8();
        if (!converted.isNull())
            text = std::string_view(converted.constData(), std::size_t(converted.size()));
        parseText(text);
    }

private:
    // The next line without its line end (CR LF, LF, or a lone CR); false at the end of the text.
    bool nextLine(std::string_view& text, std::string_view& line)
    {
        if (text.empty())
            return false;
        const std::size_t end = text.find('\n'), cr = text.substr(0, end).find('\r');
        const bool crlf = cr != std::string_view::npos && cr + 1 == end;
        const std::size_t lineEnd = cr == std::string_view::npos || crlf ? end : cr;
        line = text.substr(0, crlf ? cr : lineEnd);
        text.remove_prefix(lineEnd == std::string_view::npos ? text.size() : lineEnd + 1);
        ++m_lineNumber;
        return true;
    }

    void parseText(std::string_view text)
    {
        std::string_view line;
        bool any = false;
        while ((any = nextLine(text, line)) && trimmed(line).empty()) {
        }
        const std::string_view header = any ? trimmed(line) : std::string_view();
        m_version5 = equalsIgnoringCase(header, kHeader5);
        if (!m_version5 && !equalsIgnoringCase(header, kHeader4)) {
            warn(any ? m_lineNumber : 1,
                 QStringLiteral("not a registry export file (the first line must be \"%1\" or \"%2\")")
                     .arg(fromUtf8(kHeader5), fromUtf8(kHeader4)));
            return;
        }

        while (nextLine(text, line)) {
            const std::string_view current = trimmed(line);
            if (current.empty() || current.front() == ';')
                continue;
            if (current.front() == '[')
                section(current, m_lineNumber);
            else
                value(current, text, m_lineNumber);
        }
    }

    void warn(qsizetype lineNumber, const QString& what)
    {
        if (m_warnings)
            m_warnings->append(QStringLiteral("%1:%2: %3").arg(m_fileName).arg(lineNumber).arg(what));
    }

    // The key's path runs to the line's last "]" (a key name may hold one); what follows it is a comment.
    void section(std::string_view line, qsizetype lineNumber)
    {
        m_current = nullptr;
        m_skipSection = true;
        const std::size_t close = line.rfind(']');
        if (close == std::string_view::npos) {
            warn(lineNumber, QStringLiteral("key line without closing \"]\""));
            return;
        }
        std::string_view path = line.substr(1, close - 1);
        const bool remove = !path.empty() && path.front() == '-';
        if (remove)
            path.remove_prefix(1);
        const std::size_t separator = path.find('\\');
        const std::string_view root = path.substr(0, separator);
        const std::string_view below =
            separator == std::string_view::npos ? std::string_view() : path.substr(separator + 1);
        const Hive* hive = nullptr;
        for (const Hive& h : kHives) {
            if (equalsIgnoringCase(root, h.name) || equalsIgnoringCase(root, h.abbreviation))
                hive = &h;
        }
        if (!hive) {
            warn(lineNumber, QStringLiteral("unknown root key \"%1\"").arg(fromUtf8(root)));
            return;
        }
        std::string id = keyId(hiveId(hive->handle), below);
        if (remove) {
            removeKey(id);
            return;
        }
        // A key implies its parents, as in the registry itself: they are not stored.
        m_current = &m_keys[std::move(id)];
        m_skipSection = false;
    }

    // The key goes with everything below it, found as one range of the
    // ordered keys; its parent stays, as it does in the registry.
    void removeKey(const std::string& id)
    {
        const std::size_t parentEnd = id.rfind('\\');
        if (parentEnd == std::string::npos || !m_registry.exists(id))
            return;
        const std::string parent = id.substr(0, parentEnd);
        if (parent.find('\\') != std::string::npos)
            m_keys.try_emplace(parent);
        m_keys.erase(id);
        // Every key below sorts from id + '\' up to id + ']', the next character.
        m_keys.erase(m_keys.lower_bound(id + '\\'), m_keys.lower_bound(id + ']'));
    }

    // A hex list, joined over its continuation lines into m_joined. A line goes on when it ends in a backslash
    // right after a comma or the colon; blank lines and comment lines between are passed over, and every
    // line's comment is dropped first. False when the list breaks off: at the end of the file, or a backslash
    // that does not follow a comma (the registry editor drops such a value, and so the line after it too).
    bool joinHexList(std::string_view first, std::string_view& text)
    {
        const auto withoutComment = [](std::string_view part) { return trimmed(part.substr(0, part.find(';'))); };
        m_joined.clear();
        std::string_view part = withoutComment(first);
        bool broken = false;
        while (!part.empty() && part.back() == '\\') {
            part.remove_suffix(1);
            part = trimmed(part);
            broken = broken || (!part.empty() && part.back() != ',');
            m_joined += part;
            std::string_view line;
            do {
                if (!nextLine(text, line))
                    return false;
                line = trimmed(line);
            } while (line.empty() || line.front() == ';');
            part = withoutComment(line);
        }
        m_joined += part;
        return !broken;
    }

    void value(std::string_view line, std::string_view& text, qsizetype lineNumber)
    {
        std::string name;
        std::size_t pos = 0;
        if (line.front() == '@')
            pos = 1;
        else if (!readQuoted(line, pos, name))
            return warnValue(lineNumber, QStringLiteral("not a key, a value or a comment"));
        while (pos < line.size() && isBlank(line[pos]))
            ++pos;
        if (pos >= line.size() || line[pos] != '=')
            return warnValue(lineNumber, QStringLiteral("\"=\" missing after the value name"));
        const std::string_view data = trimmed(line.substr(pos + 1));

        Value v;
        v.name = lower(name);
        v.line = std::uint32_t(lineNumber);
        if (!data.empty() && data.front() == '"') {
            std::string quoted;
            std::size_t at = 0;
            if (!readQuoted(data, at, quoted) || !endsCleanly(data.substr(at)))
                return warnValue(lineNumber, QStringLiteral("malformed string data"));
            v.type = RegType::String;
            v.data = utf8ToCodePage(quoted);
            v.data.push_back('\0');
        } else if (!data.empty() && data.front() == '-' && endsCleanly(data.substr(1))) {
            v.removed = true;
        } else if (data.starts_with("dword:")) {
            // Exactly 1 to 8 digits; a backslash at the end does not carry a number on to the next line.
            std::string_view digits = data.substr(6);
            while (!digits.empty() && isBlank(digits.front()))
                digits.remove_prefix(1);
            std::size_t end = 0;
            while (end < digits.size() && hexDigit(digits[end]) >= 0)
                ++end;
            std::uint64_t number = 0;
            if (!readHexNumber(digits.substr(0, end), 8, 0xFFFFFFFF, number) || !endsCleanly(digits.substr(end)))
                return warnValue(lineNumber, QStringLiteral("malformed dword data"));
            const char bytes[4] = {static_cast<char>(number), static_cast<char>(number >> 8),
                                   static_cast<char>(number >> 16), static_cast<char>(number >> 24)};
            v.type = RegType::DWord;
            v.data.assign(bytes, 4);
        } else if (data.starts_with("hex:") || data.starts_with("hex(")) {
            const std::size_t colon = data.find(':');
            if (data[3] == '(') {
                const std::size_t close = data.find(')');
                std::uint64_t type = 0;
                if (close == std::string_view::npos || close + 1 != colon ||
                    !readHexNumber(data.substr(4, close - 4), close - 4, 0xFFFFFFFF, type))
                    return warnValue(
                        lineNumber, QStringLiteral("malformed value type \"%1\"").arg(fromUtf8(data.substr(0, colon))));
                v.type = std::uint32_t(type);
            } else {
                v.type = RegType::Binary;
            }
            if (!joinHexList(data.substr(colon + 1), text) || !readHexList(m_joined, v.data))
                return warnValue(lineNumber, QStringLiteral("malformed hex data"));
            if (v.type == RegType::String || v.type == RegType::ExpandString || v.type == RegType::MultiString)
                v.data = m_version5 ? utf16ToCodePage(v.data) : codePageToLocal(v.data);
        } else {
            return warnValue(lineNumber, QStringLiteral("unrecognised value data"));
        }
        if (!m_current) {
            if (!m_skipSection)
                warn(lineNumber, QStringLiteral("value outside of a key"));
            return;
        }
        // Kept in file order; settleValues() lets the last line for a name decide.
        m_current->push_back(std::move(v));
    }

    // A value line the registry editor would not take; under a refused key it goes unremarked.
    void warnValue(qsizetype lineNumber, const QString& what)
    {
        if (m_current || !m_skipSection)
            warn(lineNumber, what);
    }

    // Text data of a REGEDIT4 file, written as hex in the file's code page, as the 8-bit API returns it.
    std::string codePageToLocal(const std::string& bytes)
    {
        if (isAscii(bytes))
            return bytes;
        m_codePage.resetState();
        return QString(m_codePage(QByteArrayView(bytes.data(), qsizetype(bytes.size())))).toLocal8Bit().toStdString();
    }

    const RegFileRegistry& m_registry;
    std::map<std::string, Values>& m_keys;
    const QString& m_fileName;
    QStringList* m_warnings;
    QStringDecoder m_codePage = FileSystem::codePageDecoder(); // REGEDIT4 files are written in it
    std::string m_joined;                                      // a hex list over its continuation lines
    qsizetype m_lineNumber = 0;
    bool m_version5 = false;
    Values* m_current = nullptr; // the key values go to; none before the first key
    bool m_skipSection = false;  // the key line was refused or deletes: its values go unremarked
};

std::unique_ptr<RegFileRegistry> RegFileRegistry::fromBytes(const QByteArray& bytes, const QString& fileName,
                                                            QStringList* warnings)
{
    auto registry = std::make_unique<RegFileRegistry>();
    if (bytes.size() > kMaxFileSize) {
        if (warnings)
            warnings->append(tooLarge(fileName, bytes.size()));
        return registry;
    }
    Parser(*registry, fileName, warnings).parse(bytes);
    registry->settleValues();
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
    // Not more than the limit and one byte, whatever the file claims to be.
    if (file.size() > kMaxFileSize) {
        qWarning().noquote() << tooLarge(path, file.size());
        return std::make_unique<RegFileRegistry>();
    }
    const QByteArray bytes = file.read(kMaxFileSize + 1);
    QStringList warnings;
    auto registry = fromBytes(bytes, path, &warnings);
    for (const QString& warning : std::as_const(warnings))
        qWarning().noquote() << warning;
    return registry;
}

// Sorting each key's lines once costs less than a lookup per line, in time and memory.
void RegFileRegistry::settleValues()
{
    const auto byNameThenLine = [](const Value& a, const Value& b) {
        return a.name != b.name ? a.name < b.name : a.line < b.line;
    };
    for (auto& [id, values] : m_keys) {
        std::sort(values.begin(), values.end(), byNameThenLine);
        auto kept = values.begin();
        for (auto it = values.begin(); it != values.end(); ++it) {
            const bool last = it + 1 == values.end() || it[1].name != it->name;
            if (last && !it->removed) {
                if (kept != it)
                    *kept = std::move(*it);
                ++kept;
            }
        }
        values.erase(kept, values.end());
    }
}

bool RegFileRegistry::exists(const std::string& id) const
{
    if (id.find('\\') == std::string::npos || m_keys.count(id))
        return true; // a hive's root always exists, even when no key below it does
    const std::string below = id + '\\';
    const auto next = m_keys.lower_bound(below);
    return next != m_keys.end() && next->first.compare(0, below.size(), below) == 0;
}

long RegFileRegistry::openKey(std::uint32_t hive, const std::string& path, std::uint32_t options, std::uint32_t access,
                              RegistryKeyHandle& key)
{
    Q_UNUSED(options);
    // Below a predefined hive, or below a key opened before.
    std::string base;
    if (const auto parent = m_open.find(hive); parent != m_open.end())
        base = parent->second;
    else if (isPredefinedKey(hive))
        base = hiveId(hive);
    else
        return RegStatus::InvalidHandle;
    std::string id = keyId(base, codePageToUtf8(path));
    // An export of a 64-bit system holds the 32-bit view of HKLM\Software under Wow6432Node.
    const std::string software = hiveId(kHkeyLocalMachine) + "\\software", wow = software + "\\wow6432node";
    if ((access & kKeyWow64_32Key) && base == hiveId(kHkeyLocalMachine) &&
        id.compare(0, software.size(), software) == 0 &&
        (id.size() == software.size() || id[software.size()] == '\\') && id.compare(0, wow.size(), wow) != 0 &&
        exists(wow))
        id.replace(0, software.size(), wow);
    if (!exists(id))
        return RegStatus::FileNotFound;
    key = m_nextHandle++;
    m_open.emplace(key, std::move(id));
    return RegStatus::Success;
}

long RegFileRegistry::queryValue(RegistryKeyHandle key, const std::string& valueName, std::uint32_t& type,
                                 unsigned char* data, std::uint32_t& size)
{
    const auto open = m_open.find(key);
    if (open == m_open.end())
        return RegStatus::InvalidHandle;
    const auto values = m_keys.find(open->second);
    if (values == m_keys.end())
        return RegStatus::FileNotFound; // a key that only its subkeys imply has no values
    const std::string name = lower(codePageToUtf8(valueName));
    const auto found = std::lower_bound(values->second.begin(), values->second.end(), name,
                                        [](const Value& v, const std::string& n) { return v.name < n; });
    if (found == values->second.end() || found->name != name)
        return RegStatus::FileNotFound;

    type = found->type;
    const auto needed = static_cast<std::uint32_t>(found->data.size());
    if (needed > size) {
        size = needed;
        return RegStatus::MoreData;
    }
    if (needed > 0)
        std::memcpy(data, found->data.data(), needed);
    size = needed;
    return RegStatus::Success;
}

long RegFileRegistry::closeKey(RegistryKeyHandle key)
{
    ++m_closeCalls;
    return m_open.erase(key) ? RegStatus::Success : RegStatus::InvalidHandle;
}

} // namespace tarnwick

#pragma once

#include "platform/Registry.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace tarnwick {

// The registry, read from an export file in the text format the registry
// editor writes ("Windows Registry Editor Version 5.00" in UTF-16LE with BOM
// or UTF-8, or "REGEDIT4" in the system's 8-bit code page), read as the
// registry editor reads it: comments after a key's "]", after a value and on
// the lines of a long hex list, "\f" for "f", a malformed line dropped alone.
// Key paths and value names compare without letter case; a trailing separator
// in a key path is ignored. The 32-bit view is read
// under "Software\Wow6432Node" when the file has that key (an export from a
// 64-bit system), else where the key is written.
//
// Loading takes time and memory in proportion to the file: every key is kept
// once, its parents are implied by it, and a deletion finds what it removes by
// its path.
class RegFileRegistry : public RegistryBackend
{
public:
    // Files above this size are refused, so that a wrong file cannot exhaust memory.
    static constexpr qint64 kMaxFileSize = 64 * 1024 * 1024;

    // Parses an export; a malformed line is skipped and reported in
    // `warnings` as "<fileName>:<line>: <what>", the rest still loads.
    static std::unique_ptr<RegFileRegistry> fromBytes(const QByteArray& bytes, const QString& fileName,
                                                      QStringList* warnings = nullptr);
    // Reads a file: a missing file is an empty registry; warnings go to stderr.
    static std::unique_ptr<RegFileRegistry> fromFile(const QString& path);

    long openKey(std::uint32_t hive, const std::string& path, std::uint32_t options, std::uint32_t access,
                 RegistryKeyHandle& key) override;
    long queryValue(RegistryKeyHandle key, const std::string& valueName, std::uint32_t& type, unsigned char* data,
                    std::uint32_t& size) override;
    long closeKey(RegistryKeyHandle key) override;

    // Handles opened and not yet closed; lets tests see that nothing leaks.
    int openHandles() const { return static_cast<int>(m_open.size()); }
    int closeCalls() const { return m_closeCalls; }

    // One value line as read: the last line for a name decides, and a removal takes the value away.
    struct Value
    {
        std::string name; // lower case, UTF-8
        std::string data; // as the ANSI entry points return it: text types in the code page
        std::uint32_t type = 0;
        std::uint32_t line = 0; // order among the key's lines
        bool removed = false;
    };
    // A key's values, sorted by name once the file is read.
    using Values = std::vector<Value>;
    // Every key the file names (lower-case "<hive handle in hex>\\<path>") and its values; a parent that only
    // its subkeys imply is not listed. For tests that compare two readings.
    const std::map<std::string, Values>& keys() const { return m_keys; }

private:
    class Parser;

    bool exists(const std::string& id) const;
    void settleValues();

    // Hive-qualified lower-case key path (UTF-8, no trailing separator) -> values.
    // Ordered, so that the keys below a key form one range.
    std::map<std::string, Values> m_keys;
    std::unordered_map<RegistryKeyHandle, std::string> m_open;
    RegistryKeyHandle m_nextHandle = 1;
    int m_closeCalls = 0;
};

} // namespace tarnwick

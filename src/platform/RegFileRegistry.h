#pragma once

#include "platform/Registry.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <memory>

namespace tarnwick {

// The registry, read from an export file in the text format the registry
// editor writes ("Windows Registry Editor Version 5.00" in UTF-16LE with BOM
// or UTF-8, or "REGEDIT4"). Key paths and value names compare without letter
// case; a trailing separator in a key path is ignored.
class RegFileRegistry : public RegistryBackend
{
public:
    struct Value
    {
        std::uint32_t type = 0;
        QByteArray data;  // raw bytes as the registry would store them
    };

    // Parses an export; a malformed line is skipped and reported in
    // `warnings` as "<fileName>:<line>: <what>", the rest still loads.
    static std::unique_ptr<RegFileRegistry> fromBytes(const QByteArray& bytes, const QString& fileName,
                                                      QStringList* warnings = nullptr);
    // Reads a file: a missing file is an empty registry; warnings go to stderr.
    static std::unique_ptr<RegFileRegistry> fromFile(const QString& path);

    long openKey(std::uint32_t hive, const QString& path, std::uint32_t options, std::uint32_t access,
                 RegistryKeyHandle& key) override;
    long queryValue(RegistryKeyHandle key, const QString& valueName, std::uint32_t& type, QByteArray& data,
                    std::uint32_t& size) override;
    long closeKey(RegistryKeyHandle key) override;

    // Handles opened and not yet closed; lets tests see that nothing leaks.
    int openHandles() const { return static_cast<int>(m_open.size()); }
    int closeCalls() const { return m_closeCalls; }

private:
    // hive-qualified lower-case key path -> lower-case value name -> value
    QHash<QString, QHash<QString, Value>> m_keys;
    QHash<RegistryKeyHandle, QString> m_open;
    RegistryKeyHandle m_nextHandle = 1;
    int m_closeCalls = 0;
};

} // namespace tarnwick

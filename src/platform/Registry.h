#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>

namespace tarnwick {

// The three registry primitives, with the real registry's semantics and
// status codes. One backend per platform: advapi32 on Windows, a registry
// export (.reg) file elsewhere.
namespace RegStatus {
inline constexpr long Success = 0;
inline constexpr long FileNotFound = 2;
inline constexpr long AccessDenied = 5;
inline constexpr long InvalidHandle = 6;
inline constexpr long MoreData = 234;
} // namespace RegStatus

namespace RegType {
inline constexpr std::uint32_t None = 0;
inline constexpr std::uint32_t String = 1;      // REG_SZ
inline constexpr std::uint32_t ExpandString = 2;
inline constexpr std::uint32_t Binary = 3;
inline constexpr std::uint32_t DWord = 4;
inline constexpr std::uint32_t MultiString = 7;
inline constexpr std::uint32_t QWord = 11;
} // namespace RegType

inline constexpr std::uint32_t kHkeyLocalMachine = 0x80000002u;
inline constexpr std::uint32_t kKeyRead = 0x20019u;

using RegistryKeyHandle = std::uintptr_t;

class RegistryBackend
{
public:
    virtual ~RegistryBackend() = default;

    // Opens `path` below the predefined key `hive`; Success fills `key`.
    virtual long openKey(std::uint32_t hive, const QString& path, std::uint32_t options,
                         std::uint32_t access, RegistryKeyHandle& key) = 0;
    // Reads a value's data into a buffer of `size` bytes. On Success `size`
    // holds the bytes written; when the buffer is too small the status is
    // MoreData and `size` holds the size needed. `data` is resized to the
    // buffer's size before the call.
    virtual long queryValue(RegistryKeyHandle key, const QString& valueName, std::uint32_t& type,
                            QByteArray& data, std::uint32_t& size) = 0;
    virtual long closeKey(RegistryKeyHandle key) = 0;
};

// The backend of this platform. Elsewhere than Windows: the .reg file named by
// the environment variable TARNWICK_REGISTRY, else "registry.reg" in
// `programFolder`, else /etc/tarnwick/registry.reg; no file gives an empty
// registry.
std::unique_ptr<RegistryBackend> createPlatformRegistry(const QString& programFolder);

} // namespace tarnwick

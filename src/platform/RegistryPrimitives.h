#pragma once

// Plain C++ on purpose: the Windows backend and the reading algorithm build
// without Qt, so a test can cross-compile them and run them against a real
// Win32 registry.

#include <cstdint>
#include <string>

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
inline constexpr std::uint32_t String = 1; // REG_SZ
inline constexpr std::uint32_t ExpandString = 2;
inline constexpr std::uint32_t Binary = 3;
inline constexpr std::uint32_t DWord = 4;
inline constexpr std::uint32_t MultiString = 7;
inline constexpr std::uint32_t QWord = 11;
} // namespace RegType

inline constexpr std::uint32_t kHkeyLocalMachine = 0x80000002u;
inline constexpr std::uint32_t kKeyRead = 0x20019u;
// The 32-bit view of the registry (Wow6432Node on 64-bit Windows), where a
// 32-bit installer writes; a 32-bit Windows has only that view and ignores it.
inline constexpr std::uint32_t kKeyWow64_32Key = 0x0200u;

using RegistryKeyHandle = std::uintptr_t;

class RegistryBackend
{
public:
    virtual ~RegistryBackend() = default;

    // Opens `path` below the predefined key `hive`; Success fills `key`.
    // Paths and names are text in the system's 8-bit code page, as the ANSI
    // entry points take them.
    virtual long openKey(std::uint32_t hive, const std::string& path, std::uint32_t options, std::uint32_t access,
                         RegistryKeyHandle& key) = 0;
    // Reads a value's data into `data`, a buffer of `size` bytes. On Success
    // `size` holds the bytes written; when the buffer is too small the status
    // is MoreData and `size` holds the size needed. Text types come back in
    // the code page.
    virtual long queryValue(RegistryKeyHandle key, const std::string& valueName, std::uint32_t& type,
                            unsigned char* data, std::uint32_t& size) = 0;
    virtual long closeKey(RegistryKeyHandle key) = 0;
};

} // namespace tarnwick

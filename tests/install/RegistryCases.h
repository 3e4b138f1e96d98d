#pragma once

// One table of registry cases for both backends: the .reg file backend
// (tst_registry) and the Win32 backend under Wine (tst_registry_win32). Plain
// C++, as the Win32 side is cross-compiled without Qt.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace tarnwick::cases {

// How a case's value is written: as `reg add` writes it, and as the registry
// editor exports it.
enum class Written { Nothing, Sz, SzWithoutZero, ExpandSz, MultiSz, DWord, Binary };
// Where: the program's (32-bit) view, or only the other (64-bit) view.
enum class View { Program, OtherOnly };

struct Case
{
    const char* row;
    const char* key; // below HKLM
    const char* name;
    Written written;
    const char* data; // text (UTF-8; "\0" separates a multi-string's items), a decimal number or hex digits
    int repeat;       // the data written this many times
    View view;
    const char* readKey; // as the program asks for it
    const char* readName;
    int readType;
    const char* expected;  // "default", "text:..", "number:..", "bytes:<hex>"; a '*' stands for the written data
    const char* underWine; // not null: what Wine itself gives instead (it cannot settle the case)
};

inline constexpr const char* kCases = "Software\\Kestrane\\Cases";

inline constexpr Case kTable[] = {
    {"trailing separator and letter case", kCases, "Text", Written::Sz, "Kestrane", 1, View::Program,
     "software\\KESTRANE\\cases\\", "TEXT", 1, "text:Kestrane", nullptr},
    {"missing key", kCases, "", Written::Nothing, "", 1, View::Program, "Software\\Kestrane\\Cases\\Missing", "Text", 1,
     "default", nullptr},
    {"key present, value missing", kCases, "", Written::Nothing, "", 1, View::Program, kCases, "Absent", 1, "default",
     nullptr},
    {"empty text", kCases, "Empty", Written::Sz, "", 1, View::Program, kCases, "Empty", 1, "text:", nullptr},
    {"0xFFFFFFFF is -1", kCases, "Minus", Written::DWord, "4294967295", 1, View::Program, kCases, "Minus", 4,
     "number:-1", nullptr},
    {"a number read as bytes", kCases, "", Written::Nothing, "", 1, View::Program, kCases, "Minus", 3, "bytes:ffffffff",
     nullptr},
    {"a number read as text", kCases, "Letters", Written::DWord, "4407873", 1, View::Program, kCases, "Letters", 1,
     "text:ABC", nullptr},
    {"a text read as a number", kCases, "Four", Written::Sz, "4", 1, View::Program, kCases, "Four", 4, "number:52",
     nullptr},
    {"1023 characters fill the buffer", kCases, "Fits", Written::Sz, "x", 1023, View::Program, kCases, "Fits", 1,
     "text:*", nullptr},
    {"1024 characters give the default", kCases, "Long", Written::Sz, "x", 1024, View::Program, kCases, "Long", 1,
     "default", nullptr},
    {"4096 bytes fill the buffer", kCases, "Blob", Written::Binary, "5a", 4096, View::Program, kCases, "Blob", 3,
     "bytes:*", nullptr},
    {"4097 bytes give the default", kCases, "Big", Written::Binary, "5a", 4097, View::Program, kCases, "Big", 3,
     "default", nullptr},
    {"type code 2 gives the default", kCases, "", Written::Nothing, "", 1, View::Program, kCases, "Text", 2, "default",
     nullptr},
    {"non-ASCII through the code page", kCases, "Accented", Written::Sz,
     "Gr\xC3\xBC\xC3\x9F"
     "e",
     1, View::Program, kCases, "Accented", 1,
     "text:Gr\xC3\xBC\xC3\x9F"
     "e",
     nullptr},
    {"no terminator: the last character is lost", kCases, "Unterminated", Written::SzWithoutZero, "abc", 1,
     View::Program, kCases, "Unterminated", 1, "text:ab", "text:abc"},
    {"REG_EXPAND_SZ comes unexpanded", kCases, "Expand", Written::ExpandSz, "%SystemRoot%\\x", 1, View::Program, kCases,
     "Expand", 1, "text:%SystemRoot%\\x", nullptr},
    {"REG_MULTI_SZ keeps its zeros", kCases, "Multi", Written::MultiSz, "a\\0b", 1, View::Program, kCases, "Multi", 3,
     "bytes:6100620000", nullptr},
    {"non-ASCII multi-string", kCases, "MultiAccented", Written::MultiSz, "\xC3\xBC\\0\xC3\x9F", 1, View::Program,
     kCases, "MultiAccented", 1, "text:*", nullptr},
    {"a key in the other view only", "Software\\Kestrane\\Only64", "Text", Written::Sz, "64-bit", 1, View::OtherOnly,
     "Software\\Kestrane\\Only64", "Text", 1, "default", nullptr},
};

inline std::string repeated(const Case& c)
{
    std::string out;
    for (int i = 0; i < c.repeat; ++i)
        out += c.data;
    return out;
}

inline std::string toHex(std::string_view bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (const char b : bytes) {
        out += digits[static_cast<unsigned char>(b) >> 4];
        out += digits[static_cast<unsigned char>(b) & 15];
    }
    return out;
}

// The data as the registry keeps it for text types: UTF-16LE.
inline std::string utf16le(std::string_view utf8)
{
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        const int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
        std::uint32_t code = extra ? b & (0x3F >> extra) : b;
        for (int k = 1; k <= extra && i + k < utf8.size(); ++k)
            code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        i += 1 + extra;
        const auto unit = [&out](std::uint32_t u) {
            out += static_cast<char>(u & 0xFF);
            out += static_cast<char>(u >> 8);
        };
        if (code >= 0x10000) {
            unit(0xD800 + ((code - 0x10000) >> 10));
            unit(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            unit(code);
        }
    }
    return out;
}

// A multi-string's items, written "a\0b" as `reg add` takes them.
inline std::string multiStringBytes(const std::string& data)
{
    std::string out, rest = data;
    for (std::size_t at; (at = rest.find("\\0")) != std::string::npos; rest.erase(0, at + 2))
        out += utf16le(rest.substr(0, at)) + std::string(2, '\0');
    return out + utf16le(rest) + std::string(4, '\0');
}

inline std::string hexList(std::string_view bytes)
{
    std::string out, hex = toHex(bytes);
    for (std::size_t i = 0; i < hex.size(); i += 2)
        out += (i ? "," : "") + hex.substr(i, 2);
    return out;
}

// The line the registry editor exports for the case's value (version 5.00 syntax, UTF-8).
inline std::string regFileLine(const Case& c)
{
    const std::string data = repeated(c), name = '"' + std::string(c.name) + "\"=";
    switch (c.written) {
    case Written::Sz: {
        std::string escaped;
        for (const char ch : data)
            escaped += ch == '\\' || ch == '"' ? std::string{'\\', ch} : std::string(1, ch);
        return name + '"' + escaped + '"';
    }
    case Written::SzWithoutZero:
        return name + "hex(1):" + hexList(utf16le(data));
    case Written::ExpandSz:
        return name + "hex(2):" + hexList(utf16le(data) + std::string(2, '\0'));
    case Written::MultiSz:
        return name + "hex(7):" + hexList(multiStringBytes(data));
    case Written::DWord: {
        char number[16];
        std::snprintf(number, sizeof number, "dword:%08lx", std::strtoul(data.c_str(), nullptr, 10));
        return name + number;
    }
    case Written::Binary: {
        std::string bytes;
        for (std::size_t i = 0; i + 1 < data.size(); i += 2)
            bytes += static_cast<char>(std::strtoul(data.substr(i, 2).c_str(), nullptr, 16));
        return name + "hex:" + hexList(bytes);
    }
    case Written::Nothing:
        break;
    }
    return std::string();
}

// The expected result with its '*' replaced by the written data; a
// multi-string reads as its items, each with its zero.
inline std::string expected(const Case& c)
{
    std::string e = c.expected;
    if (const std::size_t star = e.find('*'); star != std::string::npos) {
        std::string data = repeated(c);
        if (c.written == Written::MultiSz) {
            for (std::size_t at; (at = data.find("\\0")) != std::string::npos;)
                data.replace(at, 2, std::string(1, '\0'));
            data += '\0';
        }
        e.replace(star, 1, data);
    }
    return e;
}

// A result as one printable line: control characters as \xNN.
inline std::string printable(std::string_view result)
{
    std::string out;
    for (const char ch : result) {
        if (static_cast<unsigned char>(ch) < 0x20 || ch == '\\')
            out += "\\x" + toHex(std::string_view(&ch, 1));
        else
            out += ch;
    }
    return out;
}

} // namespace tarnwick::cases

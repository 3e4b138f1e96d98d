// The registry case table read through the Win32 backend (advapi32), built
// with mingw-w64 and run under Wine (or on Windows). No Qt: the reading rule
// and the backend are plain C++.
//   tst_registry_win32 --cases  what to write, one case a line: view, key, name, `reg add` type, data (tab-separated)
//   tst_registry_win32 --read   each case's result, "row<TAB>result", for the row-by-row comparison with the .reg
//   backend tst_registry_win32          checks every case; exit status 1 when one fails
#include "install/RegistryAPIRead.h"
#include "platform/RegistryWindows.h"

#include "RegistryCases.h"

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <string>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

using namespace tarnwick;

namespace {

std::string convert(const std::string& text, UINT from, UINT to)
{
    if (text.empty())
        return text;
    const int wide = MultiByteToWideChar(from, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring utf16(std::size_t(wide), L'\0');
    MultiByteToWideChar(from, 0, text.data(), int(text.size()), utf16.data(), wide);
    const int bytes = WideCharToMultiByte(to, 0, utf16.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string out(std::size_t(bytes), '\0');
    WideCharToMultiByte(to, 0, utf16.data(), wide, out.data(), bytes, nullptr, nullptr);
    return out;
}

// A result in the table's terms; text comes from the code page, shown in UTF-8.
std::string describe(const RegistryRead& read)
{
    switch (read.kind) {
    case RegistryRead::Kind::Text:
        return "text:" + convert(read.bytes, CP_ACP, CP_UTF8);
    case RegistryRead::Kind::Number:
        return "number:" + std::to_string(read.number);
    case RegistryRead::Kind::Bytes:
        return "bytes:" + cases::toHex(read.bytes);
    case RegistryRead::Kind::Default:
        break;
    }
    return "default";
}

std::string readCase(RegistryBackend& registry, const cases::Case& c)
{
    return describe(readRegistryValue(registry, kHkeyLocalMachine, convert(c.readKey, CP_UTF8, CP_ACP),
                                      convert(c.readName, CP_UTF8, CP_ACP), std::int16_t(c.readType)));
}

const char* regAddType(cases::Written written)
{
    switch (written) {
    case cases::Written::Sz:
        return "REG_SZ";
    case cases::Written::ExpandSz:
        return "REG_EXPAND_SZ";
    case cases::Written::MultiSz:
        return "REG_MULTI_SZ";
    case cases::Written::DWord:
        return "REG_DWORD";
    case cases::Written::Binary:
        return "REG_BINARY";
    case cases::Written::SzWithoutZero: // `reg add` always adds the zero: the case is imported as regedit exports it
        return "IMPORT";
    case cases::Written::Nothing:
        break;
    }
    return nullptr;
}

bool underWine()
{
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

} // namespace

int main(int argc, char** argv)
{
    _setmode(_fileno(stdout), _O_BINARY); // LF line ends, bytes as they are
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "--cases") {
        for (const cases::Case& c : cases::kTable) {
            if (const char* type = regAddType(c.written))
                std::printf("%s\t%s\t%s\t%s\t%s\n", c.view == cases::View::Program ? "32" : "64", c.key, c.name, type,
                            std::strcmp(type, "IMPORT") == 0 ? cases::regFileLine(c).c_str()
                                                             : cases::repeated(c).c_str());
        }
        return 0;
    }

    const auto registry = createWindowsRegistry();
    if (mode == "--read") {
        for (const cases::Case& c : cases::kTable)
            std::printf("%s\t%s\n", c.row, cases::printable(readCase(*registry, c)).c_str());
        return 0;
    }

    const bool wine = underWine();
    int passed = 0, unsettled = 0, failed = 0;
    for (const cases::Case& c : cases::kTable) {
        const std::string got = readCase(*registry, c), want = cases::expected(c);
        if (got == want) {
            ++passed;
            std::printf("PASS   %s\n", c.row);
        } else if (wine && c.underWine && got == c.underWine) {
            ++unsettled;
            std::printf("WINE   %s: Windows gives %s, Wine %s\n", c.row, cases::printable(want).c_str(),
                        cases::printable(got).c_str());
        } else {
            ++failed;
            std::printf("FAIL!  %s: expected %s, got %s\n", c.row, cases::printable(want).c_str(),
                        cases::printable(got).c_str());
        }
    }
    std::printf("Totals: %d cases through advapi32%s: %d passed, %d not settled by Wine, %d failed\n",
                passed + unsettled + failed, wine ? " under Wine" : "", passed, unsettled, failed);
    return failed ? 1 : 0;
}

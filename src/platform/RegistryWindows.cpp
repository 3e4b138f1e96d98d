#include "platform/RegistryWindows.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace tarnwick {

namespace {

// The registry itself, through the ANSI entry points: key paths, value names
// and string data pass through the system's code page.
class WindowsRegistry : public RegistryBackend
{
public:
    long openKey(std::uint32_t hive, const std::string& path, std::uint32_t options, std::uint32_t access,
                 RegistryKeyHandle& key) override
    {
        HKEY opened = nullptr;
        const LONG status = RegOpenKeyExA(toHkey(hive), path.c_str(), options, static_cast<REGSAM>(access), &opened);
        if (status == ERROR_SUCCESS)
            key = reinterpret_cast<RegistryKeyHandle>(opened);
        return status;
    }

    long queryValue(RegistryKeyHandle key, const std::string& valueName, std::uint32_t& type, unsigned char* data,
                    std::uint32_t& size) override
    {
        DWORD valueType = 0;
        DWORD byteCount = size;
        const LONG status =
            RegQueryValueExA(reinterpret_cast<HKEY>(key), valueName.c_str(), nullptr, &valueType, data, &byteCount);
        type = valueType;
        size = byteCount;
        return status;
    }

    long closeKey(RegistryKeyHandle key) override { return RegCloseKey(reinterpret_cast<HKEY>(key)); }

private:
    // Predefined keys are 32-bit values sign-extended to a handle, as winreg.h defines them.
    static HKEY toHkey(std::uint32_t hive)
    {
        return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG_PTR>(static_cast<LONG>(hive))));
    }
};

} // namespace

std::unique_ptr<RegistryBackend> createWindowsRegistry()
{
    return std::make_unique<WindowsRegistry>();
}

} // namespace tarnwick

#pragma once
#include <windows.h>

#include "platform/registry_api.h"

namespace platform::win32 {

// The registry calls over advapi32's wide functions. A RegKey is the HKEY's value; the caller owns it
// (platform::ScopedRegKey closes it).
class Win32Registry final : public RegistryApi {
public:
    long CreateKey(RegRoot root, const std::string& path, RegKey* key) override;
    long OpenKey(RegRoot root, const std::string& path, RegAccess access, RegKey* key) override;
    long DeleteKey(RegRoot root, const std::string& path) override;
    long QueryValue(RegKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                    std::uint32_t* size) override;
    long SetValue(RegKey key, const std::string& name, std::uint32_t type, const std::uint8_t* data,
                  std::uint32_t size) override;
    long DeleteValue(RegKey key, const std::string& name) override;
    long EnumValueName(RegKey key, std::uint32_t index, std::string* name) override;
    long QueryLastWriteTime(RegKey key, std::uint64_t* time) override;
    void CloseKey(RegKey key) override;

    static HKEY ToHkey(RegKey key) { return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(key)); }
    static RegKey FromHkey(HKEY key) { return static_cast<RegKey>(reinterpret_cast<ULONG_PTR>(key)); }
};

} // namespace platform::win32

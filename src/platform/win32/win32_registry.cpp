#include "platform/win32/win32_registry.h"

namespace platform::win32 {

namespace {

HKEY RootKey(RegRoot root) {
    return root == RegRoot::ClassesRoot ? HKEY_CLASSES_ROOT : HKEY_LOCAL_MACHINE;
}

REGSAM Sam(RegAccess access) {
    return access == RegAccess::Read ? KEY_READ : KEY_ALL_ACCESS;
}

} // namespace

long Win32Registry::CreateKey(RegRoot root, const std::string& path, RegKey* key) {
    *key = 0;
    char noClass[1] = ""; // the parameter is not const in the ANSI declaration
    HKEY created = nullptr;
    DWORD disposition = 0;
    const LONG status = ::RegCreateKeyExA(RootKey(root), path.c_str(), 0, noClass, REG_OPTION_NON_VOLATILE,
                                          KEY_ALL_ACCESS, nullptr, &created, &disposition);
    if (status == ERROR_SUCCESS)
        *key = FromHkey(created);
    return status;
}

long Win32Registry::OpenKey(RegRoot root, const std::string& path, RegAccess access, RegKey* key) {
    *key = 0;
    HKEY opened = nullptr;
    const LONG status = ::RegOpenKeyExA(RootKey(root), path.c_str(), 0, Sam(access), &opened);
    if (status == ERROR_SUCCESS)
        *key = FromHkey(opened);
    return status;
}

long Win32Registry::DeleteKey(RegRoot root, const std::string& path) {
    return ::RegDeleteKeyA(RootKey(root), path.c_str());
}

long Win32Registry::QueryValue(RegKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                               std::uint32_t* size) {
    DWORD valueType = 0;
    DWORD valueSize = size ? *size : 0;
    const LONG status =
        ::RegQueryValueExA(ToHkey(key), name.c_str(), nullptr, &valueType, data, size ? &valueSize : nullptr);
    if (type)
        *type = valueType;
    if (size)
        *size = valueSize;
    return status;
}

long Win32Registry::SetValue(RegKey key, const std::string& name, std::uint32_t type, const std::uint8_t* data,
                             std::uint32_t size) {
    return ::RegSetValueExA(ToHkey(key), name.c_str(), 0, type, data, size);
}

void Win32Registry::CloseKey(RegKey key) {
    if (key != 0)
        ::RegCloseKey(ToHkey(key));
}

} // namespace platform::win32

// A stand-in for the web browser, registered for .html by the tests that need one: records the command line it
// was started with under HKLM\Software\KestrelE2E (value Browser), then ends.
#include <windows.h>

#include <cstring>

int main() {
    const char* commandLine = GetCommandLineA();
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\KestrelE2E", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return 1;
    RegSetValueExA(key, "Browser", 0, REG_SZ, reinterpret_cast<const BYTE*>(commandLine),
                   static_cast<DWORD>(std::strlen(commandLine) + 1));
    RegCloseKey(key);
    return 0;
}

// A stand-in for the product family's orv.exe: records that it was started, and how it was asked to show its
// window, under HKLM\Software\KestrelE2E, then ends.
#include <windows.h>

int main() {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    DWORD show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : 0xFFFF;
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\KestrelE2E", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return 1;
    RegSetValueExA(key, "OrvShow", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&show), sizeof show);
    RegCloseKey(key);
    return 0;
}

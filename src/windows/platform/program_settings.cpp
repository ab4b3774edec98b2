#include "windows/platform/program_settings.h"

#include <windows.h>

#include <cwchar>

namespace {

constexpr WCHAR ProgramKey[] = L"Software\\QF";

// The key's path below HKEY_CURRENT_USER; false when the subkey is too long.
bool KeyPath(const wchar_t* subkey, WCHAR path[MAX_PATH])
{
    bool below = subkey && *subkey;
    if (below && wcslen(ProgramKey) + 1 + wcslen(subkey) >= MAX_PATH) return false;
    wcscpy(path, ProgramKey);
    if (below) {
        wcscat(path, L"\\");
        wcscat(path, subkey);
    }
    return true;
}

bool Read(const wchar_t* subkey, const wchar_t* name, DWORD type, void* data, DWORD size)
{
    WCHAR path[MAX_PATH];
    return KeyPath(subkey, path) &&
           RegGetValueW(HKEY_CURRENT_USER, path, name, type, nullptr, data, &size) == ERROR_SUCCESS;
}

bool Write(const wchar_t* subkey, const wchar_t* name, DWORD type, const void* data, DWORD size)
{
    WCHAR path[MAX_PATH];
    HKEY key;
    if (!KeyPath(subkey, path) ||
        RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
            ERROR_SUCCESS)
        return false;
    bool written = RegSetValueExW(key, name, 0, type, (const BYTE*)data, size) == ERROR_SUCCESS;
    RegCloseKey(key);
    return written;
}

} // namespace

bool ReadSettingNumber(const wchar_t* subkey, const wchar_t* name, uint32_t* value)
{
    DWORD number = 0;
    if (!Read(subkey, name, RRF_RT_REG_DWORD, &number, sizeof(number))) return false;
    *value = number;
    return true;
}

bool WriteSettingNumber(const wchar_t* subkey, const wchar_t* name, uint32_t value)
{
    DWORD number = value;
    return Write(subkey, name, REG_DWORD, &number, sizeof(number));
}

bool ReadSettingText(const wchar_t* subkey, const wchar_t* name, wchar_t* text, size_t count)
{
    if (count == 0 || count > MAXDWORD / sizeof(WCHAR)) return false;
    return Read(subkey, name, RRF_RT_REG_SZ, text, (DWORD)(count * sizeof(WCHAR)));
}

bool WriteSettingText(const wchar_t* subkey, const wchar_t* name, const wchar_t* text)
{
    return Write(subkey, name, REG_SZ, text, (DWORD)((wcslen(text) + 1) * sizeof(WCHAR)));
}

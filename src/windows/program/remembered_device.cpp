// The device the player chose last, by its name (UTF-16) in the value Device
// of HKEY_CURRENT_USER\Software\QF.
#include <windows.h>

#include <cwchar>

#include "portable/play/midi_output.h"
#include "portable/play/performance.h"
#include "windows/platform/system_text.h"
#include "windows/program/app.h"
#include "windows/program/devices.h"

static const WCHAR SettingsKey[] = L"Software\\QF";
static const WCHAR DeviceValue[] = L"Device";

void SelectRememberedDevice()
{
    WCHAR wide[DeviceNameSize] = L"";
    DWORD size = sizeof(wide);
    if (RegGetValueW(HKEY_CURRENT_USER, SettingsKey, DeviceValue, RRF_RT_REG_SZ, nullptr, wide, &size) !=
        ERROR_SUCCESS)
        return;
    char name[DeviceNameSize];
    int32_t device;
    if (!NameFromSystem(wide, name, sizeof(name)) || !FindDeviceByName(name, &device)) return;
    CheckCommand(CmdDeviceBase + gSettings.device, false);
    gSettings.device = device;
    CheckCommand(CmdDeviceBase + device, true);
}

void RememberSelectedDevice()
{
    char name[DeviceNameSize];
    WCHAR wide[DeviceNameSize];
    if (!MidiOutDeviceName(gSettings.device, name, sizeof(name)) || !NameToSystem(name, wide, DeviceNameSize)) return;
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, SettingsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    RegSetValueExW(key, DeviceValue, 0, REG_SZ, (const BYTE*)wide, (DWORD)((wcslen(wide) + 1) * sizeof(WCHAR)));
    RegCloseKey(key);
}

// The device the player chose last, by its name (UTF-16) in the value Device
// of the program's settings; where none is remembered, 琴坊音源.
#include <windows.h>

#include "portable/live/live_device.h"
#include "portable/play/midi_output.h"
#include "portable/play/performance.h"
#include "windows/platform/program_settings.h"
#include "windows/platform/system_text.h"
#include "windows/program/app.h"
#include "windows/program/devices.h"

static const WCHAR DeviceValue[] = L"Device";

// The device remembered from an earlier run, when one of that name is there now.
static bool RememberedDevice(int32_t* device)
{
    WCHAR wide[DeviceNameSize];
    char name[DeviceNameSize];
    return ReadSettingText(nullptr, DeviceValue, wide, DeviceNameSize) &&
           NameFromSystem(wide, name, sizeof(name)) && FindDeviceByName(name, device);
}

void SelectRememberedDevice()
{
    int32_t device;
    if (!RememberedDevice(&device) && !LiveDeviceReady(&device)) return;
    CheckCommand(CmdDeviceBase + gSettings.device, false);
    gSettings.device = device;
    CheckCommand(CmdDeviceBase + device, true);
}

void RememberSelectedDevice()
{
    char name[DeviceNameSize];
    WCHAR wide[DeviceNameSize];
    if (MidiOutDeviceName(gSettings.device, name, sizeof(name)) && NameToSystem(name, wide, DeviceNameSize))
        WriteSettingText(nullptr, DeviceValue, wide);
}

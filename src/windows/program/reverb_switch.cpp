// The 功能 menu's 混响 item: the built-in synthesizer's reverb, remembered
// in the value Reverb (a DWORD, 1 on, 0 off) of the program's settings, on
// where nothing is remembered.
#include <windows.h>

#include "portable/live/live_device.h"
#include "windows/platform/program_settings.h"
#include "windows/program/app.h"
#include "windows/program/devices.h"

static const WCHAR ReverbValue[] = L"Reverb";
static bool gReverb = true;

static void ApplyReverb()
{
    SetLiveReverb(gReverb);
    CheckCommand(CmdReverb, gReverb);
}

void ApplyRememberedReverb()
{
    uint32_t on = 1;
    ReadSettingNumber(nullptr, ReverbValue, &on);
    gReverb = on != 0;
    ApplyReverb();
}

void ReverbCommand()
{
    gReverb = !gReverb;
    ApplyReverb();
    WriteSettingNumber(nullptr, ReverbValue, gReverb ? 1 : 0);
}

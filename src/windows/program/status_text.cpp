#include "windows/program/status_text.h"

#include <cmath>
#include <cstdio>

#include "portable/play/midi_seam.h"
#include "windows/program/instruments.h"

int InstrumentPictureIndex(int channel, int instrument)
{
    if (channel == PercussionChannel) return PercussionPicture;
    // Out-of-range programs never reach here from the menus; keep them on
    // the strip all the same.
    if (instrument < 0) instrument = 0;
    if (instrument > 127) instrument = 127;
    if (instrument < 80) return instrument / 8;
    if (instrument < 104) return 10; // the three synthesizer families share one
    return instrument / 8 - 2;
}

static const char* KeyFormatOf(int32_t keyId)
{
    for (const KeyFormat& k : KeyFormats)
        if (k.keyId == keyId) return k.format;
    return UnknownKeyFormat;
}

void KeyStatusText(char* buffer, size_t size, int32_t keyId, int32_t instrument)
{
    if (!size) return;
    snprintf(buffer, size, KeyFormatOf(keyId), InstrumentName(instrument));
}

void ChannelText(char* buffer, size_t size, int32_t channel)
{
    if (!size) return;
    snprintf(buffer, size, ChannelFormat, (int)channel + 1);
}

bool DeviceNameText(char* buffer, size_t size, int device)
{
    if (!size) return false;
    buffer[0] = 0;
    if (MidiOutDeviceName(device, buffer, size)) return true;
    snprintf(buffer, size, "%s", UnknownDeviceText);
    return false;
}

int KeyCapIndex(int pressed, int replay, int replayState, int octaveState)
{
    if (!pressed) return 0;
    // A recorded shift beyond one octave (a file may hold one) shows as
    // raised or lowered all the same.
    int shift = replay ? replayState : octaveState;
    return shift > 0 ? 2 : shift < 0 ? 3 : 1;
}

OctaveDots OctaveDotsOf(int octave)
{
    switch (octave) {
    case 6: return {1, {3, 0}};
    case 4: return {1, {24, 0}};
    case 3: return {2, {24, 30}};
    default: return {0, {0, 0}};
    }
}

// Truncates toward zero into the int32 range.
static int32_t TruncateToInt32(double v)
{
    if (!(v == v)) return 0;
    if (v >= 2147483647.0) return INT32_MAX;
    if (v <= -2147483648.0) return INT32_MIN;
    return (int32_t)v;
}

int32_t PointFontDeviceTenths(int tenths, int dpi)
{
    // 1/72 inch per point, as the single-precision constant, worked in double.
    const double pointsPerInch = (double)0.013888889f;
    return TruncateToInt32((double)tenths * (double)dpi * pointsPerInch);
}

int32_t PointFontLogicalHeight(int32_t logicalTenths)
{
    return -TruncateToInt32(std::fabs((double)logicalTenths) * 0.1 + 0.5);
}

int32_t PointFontHeight(int tenths, int dpi)
{
    return PointFontLogicalHeight(PointFontDeviceTenths(tenths, dpi));
}

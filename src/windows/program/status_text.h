// The texts and numbers of the main window's picture that need no platform:
// the instrument picture for a channel and program, the instrument-and-key
// text, the status-line words, the key-cap choice and octave dots of a key,
// and the height arithmetic of point-size fonts. Portable (no windows.h).
#pragma once

#include <cstddef>
#include <cstdint>

// The status word: the output is open / closed.
inline constexpr char SwitchOnText[] = "开启";
inline constexpr char SwitchOffText[] = "关闭";
// The channel of the status line, with the channel index plus 1.
inline constexpr char ChannelFormat[] = "声道 %i";
// The playing tips along the bottom of the window.
inline constexpr char TipText[] =
    "1 演奏的同时按Shift键(或Ctrl键)升高(或降低)一个8级音阶。 2 出现声音异常请按 Esc";
// Captions under the velocity and pitch-bend bars.
inline constexpr char VelocityCaption[] = "力度";
inline constexpr char PitchBendCaption[] = "频率";
// Shown in place of a device name that cannot be read.
inline constexpr char UnknownDeviceText[] = "(未知设备)";

// Every text of the main window fits a buffer of this size.
constexpr size_t StatusTextSize = 100;

// The instrument picture strip: fifteen pictures side by side.
constexpr int InstrumentPictureWidth = 171;
constexpr int InstrumentPictureHeight = 141;
constexpr int InstrumentPictureTop = 50;
constexpr int PercussionChannel = 9; // MIDI channel 10
constexpr int PercussionPicture = 14;

// The picture (0..14) for channel index channel and program instrument.
int InstrumentPictureIndex(int channel, int instrument);

// The format that names a musical key after the instrument's name.
struct KeyFormat {
    int32_t keyId;
    const char* format;
};

inline constexpr KeyFormat KeyFormats[24] = {
    {1297, "%s    1=C"},  {1298, "%s    1=D"},  {1299, "%s    1=E"},  {1300, "%s    1=F"},
    {1301, "%s    1=G"},  {1302, "%s    1=A"},  {1303, "%s    1=B"},  {1304, "%s    1=#F"},
    {1305, "%s    1=#C"}, {1312, "%s    1=bB"}, {1313, "%s    1=bE"}, {1314, "%s    1=bA"},
    {1315, "%s    6=c"},  {1316, "%s    6=d"},  {1317, "%s    6=e"},  {1318, "%s    6=f"},
    {1319, "%s    6=g"},  {1320, "%s    6=a"},  {1321, "%s    6=b"},  {1328, "%s    6=#f"},
    {1329, "%s    6=#c"}, {1330, "%s    6=#g"}, {1331, "%s    6=#d"}, {1332, "%s    6=#a"},
};

// A musical key that is none of the 24 (a loaded recording can name one):
// no note sounds in it, so the text names no key, only that there is none.
inline constexpr char UnknownKeyFormat[] = "%s    1=?";

// The instrument's name followed by four blanks and the key in jianpu, as
// "三角钢琴    1=C"; always terminated, cut to size.
void KeyStatusText(char* buffer, size_t size, int32_t keyId, int32_t instrument);

// "声道 n" for channel index channel (shown from 1).
void ChannelText(char* buffer, size_t size, int32_t channel);

// The name of output device (-1 the mapper), as the system gives it, and
// true; or UnknownDeviceText, a text of the program, and false when its
// capabilities cannot be read.
bool DeviceNameText(char* buffer, size_t size, int device);

// The key cap (0 idle, 1 no shift, 2 raised, 3 lowered) for a key's state.
// A live press shows octaveState, the shift latched for the keys held; a
// replayed one its recorded shift, of any size.
int KeyCapIndex(int pressed, int replay, int replayState, int octaveState);

// The octave dots of a key: how many (0..2) and the top of each 4 x 4 box
// relative to the cell's top; octave 6 one above, 4 one below, 3 two below.
struct OctaveDots {
    int count;
    int top[2];
};
OctaveDots OctaveDotsOf(int octave);

// Point-size fonts: the height in tenths of device units of tenths tenths of
// a point at dpi dots per inch (truncated), and the font height (negative,
// rounded half up) for that height once in logical units.
int32_t PointFontDeviceTenths(int tenths, int dpi);
int32_t PointFontLogicalHeight(int32_t logicalTenths);
// Both with the identity mapping: 240 tenths at 96 dpi give -32.
int32_t PointFontHeight(int tenths, int dpi);

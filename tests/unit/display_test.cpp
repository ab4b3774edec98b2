// The display's portable parts: the instrument-and-key text for every key,
// the picture choice, the cap colour of a key, the
// status-line texts and the point-font height.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "windows/program/status_text.h"
#include "portable/keys/keymap.h"

// The GBK bytes of a UTF-8 source literal, compiled with the program's charset.
static std::string Text(const char* s) { return s; }

static std::string KeyText(int32_t keyId, int32_t instrument)
{
    char buffer[StatusTextSize];
    KeyStatusText(buffer, sizeof(buffer), keyId, instrument);
    return buffer;
}

TEST(KeyStatusText, EveryKeyNamesItsTonic)
{
    const std::string piano = Text("三角钢琴");
    const struct {
        int32_t keyId;
        const char* key;
    } expected[24] = {
        {1297, "1=C"},  {1298, "1=D"},  {1299, "1=E"},  {1300, "1=F"},  {1301, "1=G"},  {1302, "1=A"},
        {1303, "1=B"},  {1304, "1=#F"}, {1305, "1=#C"}, {1312, "1=bB"}, {1313, "1=bE"}, {1314, "1=bA"},
        {1315, "6=c"},  {1316, "6=d"},  {1317, "6=e"},  {1318, "6=f"},  {1319, "6=g"},  {1320, "6=a"},
        {1321, "6=b"},  {1328, "6=#f"}, {1329, "6=#c"}, {1330, "6=#g"}, {1331, "6=#d"}, {1332, "6=#a"},
    };
    for (const auto& e : expected) EXPECT_EQ(KeyText(e.keyId, 0), piano + "    " + e.key) << e.keyId;

    // Every key of the menu has a text of its own.
    for (const KeyInfo& k : Keys) EXPECT_EQ(KeyText(k.keyId, 0).find('?'), std::string::npos) << k.keyId;

    // A minor key names degree 6 of the major key it sounds like: its
    // transposition is that of the major key a minor third above.
    for (const KeyFormat& minor : KeyFormats) {
        if (strstr(minor.format, "6=") == nullptr) continue;
        int32_t t = 0;
        ASSERT_TRUE(Transposition(minor.keyId, &t));
        static const char* const degree6[12] = {"a", "#a", "b", "c", "#c", "d", "#d", "e", "f", "#f", "g", "#g"};
        std::string tonic = strstr(minor.format, "6=") + 2;
        EXPECT_EQ(tonic, degree6[((t % 12) + 12) % 12]) << minor.keyId;
    }
}

TEST(KeyStatusText, InstrumentNamesAndOddInput)
{
    EXPECT_EQ(KeyText(1319, 40), Text("小提琴    6=g"));
    EXPECT_EQ(KeyText(1329, 127), Text("枪声    6=#c"));
    // Identifiers between and beyond the keys, as a damaged file may carry.
    for (int32_t id : {0, 1296, 1306, 1311, 1322, 1333, -1})
        EXPECT_EQ(KeyText(id, 0), Text("三角钢琴    1=?")) << id;
    // A program outside 0..127 leaves the name empty instead of reading past the table.
    EXPECT_EQ(KeyText(1297, 128), "    1=C");

    // The text is cut to the buffer, always terminated.
    char small[6];
    memset(small, 'x', sizeof(small));
    KeyStatusText(small, sizeof(small), 1297, 0);
    EXPECT_EQ(strlen(small), 5u);
    KeyStatusText(small, 0, 1297, 0); // nothing written, nothing read

    // The longest name with the longest key fits the paint buffer.
    for (int p = 0; p < 128; p++) EXPECT_LT(KeyText(1304, p).size(), StatusTextSize - 1) << p;
}

TEST(InstrumentPicture, FamiliesAndPercussion)
{
    EXPECT_EQ(InstrumentPictureIndex(0, 0), 0);
    EXPECT_EQ(InstrumentPictureIndex(0, 7), 0);
    EXPECT_EQ(InstrumentPictureIndex(0, 8), 1);
    EXPECT_EQ(InstrumentPictureIndex(0, 79), 9);
    for (int p = 80; p <= 103; p++) EXPECT_EQ(InstrumentPictureIndex(3, p), 10) << p;
    EXPECT_EQ(InstrumentPictureIndex(0, 104), 11);
    EXPECT_EQ(InstrumentPictureIndex(0, 112), 12);
    EXPECT_EQ(InstrumentPictureIndex(14, 127), 13);
    for (int p : {0, 40, 80, 103, 104, 127}) EXPECT_EQ(InstrumentPictureIndex(9, p), 14) << p;
    EXPECT_EQ(InstrumentPictureIndex(8, 0), 0);
    EXPECT_EQ(InstrumentPictureIndex(10, 127), 13);
    // Whatever comes in, the picture lies on the strip.
    for (int p : {-1, 128, 100000})
        EXPECT_TRUE(InstrumentPictureIndex(0, p) >= 0 && InstrumentPictureIndex(0, p) <= 14) << p;
}

TEST(KeyMarker, CapFollowsTheShiftThatSounds)
{
    EXPECT_EQ(KeyCapIndex(0, 1, 5, -1), 0);  // idle: grey, whatever the shifts
    EXPECT_EQ(KeyCapIndex(1, 0, -1, 1), 2);  // live: the latch, not replayState
    EXPECT_EQ(KeyCapIndex(1, 1, -1, 0), 3);  // replay: the recorded shift
    EXPECT_EQ(KeyCapIndex(1, 1, 2, 0), 2);   // a recorded shift of two octaves: raised
    EXPECT_EQ(KeyCapIndex(1, 1, -7, 0), 3);
}

TEST(StatusLine, ChannelAndDeviceTexts)
{
    char buffer[StatusTextSize];
    ChannelText(buffer, sizeof(buffer), 0);
    EXPECT_EQ(std::string(buffer), Text("声道 1"));
    ChannelText(buffer, sizeof(buffer), 14);
    EXPECT_EQ(std::string(buffer), Text("声道 15"));
    EXPECT_LT(strlen(TipText), StatusTextSize);

    // The capture backend names its devices from the environment.
    setenv("QF_MIDI_DEVICES", "Synth A|Synth B", 1);
    unsetenv("QF_MIDI_MAPPER");
    DeviceNameText(buffer, sizeof(buffer), 1);
    EXPECT_STREQ(buffer, "Synth B");
    DeviceNameText(buffer, sizeof(buffer), 2);
    EXPECT_EQ(std::string(buffer), Text("(未知设备)"));
    DeviceNameText(buffer, sizeof(buffer), -5);
    EXPECT_EQ(std::string(buffer), Text("(未知设备)"));
    setenv("QF_MIDI_MAPPER", "0", 1);
    DeviceNameText(buffer, sizeof(buffer), -1);
    EXPECT_EQ(std::string(buffer), Text("(未知设备)"));
    unsetenv("QF_MIDI_MAPPER");
    unsetenv("QF_MIDI_DEVICES");
}

TEST(PointFont, HeightFromTenthsOfAPoint)
{
    EXPECT_EQ(PointFontDeviceTenths(240, 96), 320);
    EXPECT_EQ(PointFontHeight(240, 96), -32);
    EXPECT_EQ(PointFontHeight(240, 120), -40);
    EXPECT_EQ(PointFontHeight(0, 96), 0);
    EXPECT_EQ(PointFontHeight(100, 96), -13);  // 133 tenths of a pixel round to 13
    EXPECT_EQ(PointFontHeight(80, 96), -11);   // 106 tenths round half up from 10.6
    EXPECT_EQ(PointFontHeight(90, 96), -12);   // exactly 120
    EXPECT_EQ(PointFontDeviceTenths(75, 96), 100);
    // The logical height is rounded by size, always negative for a real height.
    EXPECT_EQ(PointFontLogicalHeight(-320), -32);
    EXPECT_EQ(PointFontLogicalHeight(325), -33);
    EXPECT_EQ(PointFontLogicalHeight(324), -32);
    // Absurd sizes stay in range instead of overflowing.
    EXPECT_LE(PointFontHeight(2000000000, 2000000000), 0);
    EXPECT_GE(PointFontHeight(-2000000000, 2000000000), -214748365);
}

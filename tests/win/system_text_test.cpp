// The boundary between the program's texts and the system: every fixed text
// of the program (GBK bytes) reaches the system as the same text written
// here as a wide literal, an encoding of the source of its own, and goes
// back to the same bytes; file names round-trip between UTF-8 and UTF-16,
// a long one is cut at a character; the program's name is passed over on
// the command line.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

#include "windows/program/status_text.h"
#include "windows/program/document_commands.h"
#include "portable/formats/recording_file.h"
#include "windows/program/recorder_commands.h"
#include "windows/program/app.h"
#include "windows/program/commands.h"
#include "windows/program/instruments.h"
#include "windows/program/menu.h"
#include "windows/platform/system_text.h"

namespace {

struct TextCase {
    const char* text; // the program's own
    const wchar_t* wide;
};

const TextCase FixedTexts[] = {
    {MenuBarTitles[0], L"开关(&1)"}, {MenuBarTitles[1], L"乐器(&2)"}, {MenuBarTitles[2], L"调式(&3)"},
    {MenuBarTitles[3], L"录音(&4)"}, {MenuBarTitles[4], L"功能(&5)"}, {MenuBarTitles[5], L"设备(&6)"},
    {MenuBarTitles[6], L"声道(&7)"}, {MenuBarTitles[7], L"帮助(&8)"},
    {SwitchItems[0].text, L"打开(&O)\tAlt+O"}, {SwitchItems[1].text, L"关闭(&C)\tAlt+C"},
    {RecordingItems[0].text, L"开始录制(&R)"}, {RecordingItems[1].text, L"停止录制(&E)"},
    {RecordingItems[2].text, L"开始播放(&P)"}, {RecordingItems[3].text, L"循环播放(&L)"},
    {RecordingItems[4].text, L"停止播放(&O)"}, {RecordingItems[5].text, L"保存录音文件(&S)"},
    {RecordingItems[6].text, L"录音文件另存为(&A)"}, {RecordingItems[7].text, L"导出为Midi格式文件(&C)"},
    {RecordingItems[8].text, L"载入录音文件(&L)"},
    {FunctionItems[0].text, L"自动增加低音(&C)"},
    {HelpItems[0].text, L"帮助(&H)"}, {HelpItems[1].text, L"关于(&A)"},
    {KeyMenuText(1297), L" C大调\t  Alt+C"}, {KeyMenuText(1298), L" D大调\t  Alt+D"},
    {KeyMenuText(1299), L" E大调\t  Alt+E"}, {KeyMenuText(1300), L" F大调\t  Alt+F"},
    {KeyMenuText(1301), L" G大调\t  Alt+G"}, {KeyMenuText(1302), L" A大调\t  Alt+A"},
    {KeyMenuText(1303), L" B大调\t  Alt+B"}, {KeyMenuText(1304), L"#F大调\t  Alt+H"},
    {KeyMenuText(1305), L"#C大调\t  Alt+I"}, {KeyMenuText(1312), L"bB大调\t  Alt+J"},
    {KeyMenuText(1313), L"bE大调\t  Alt+K"}, {KeyMenuText(1314), L"bA大调\t  Alt+L"},
    {KeyMenuText(1315), L" c小调\t  Alt+M"}, {KeyMenuText(1316), L" d小调\t  Alt+N"},
    {KeyMenuText(1317), L" e小调\t  Alt+P"}, {KeyMenuText(1318), L" f小调\t  Alt+Q"},
    {KeyMenuText(1319), L" g小调\t  Alt+R"}, {KeyMenuText(1320), L" a小调\t  Alt+T"},
    {KeyMenuText(1321), L" b小调\t  Alt+U"}, {KeyMenuText(1328), L"#f小调\t  Alt+V"},
    {KeyMenuText(1329), L"#c小调\t  Alt+W"}, {KeyMenuText(1330), L"#g小调\t  Alt+X"},
    {KeyMenuText(1331), L"#d小调\t  Alt+Y"}, {KeyMenuText(1332), L"#a小调\t  Alt+Z"},
    {PushButtonTexts[0], L"开始录制"}, {PushButtonTexts[1], L"停止录制"}, {PushButtonTexts[2], L"开始播放"},
    {PushButtonTexts[3], L"循环播放"}, {PushButtonTexts[4], L"停止播放"},
    {CannotCreateFileMessage, L"不能创建文件%s."}, {CannotWriteFileMessage, L"不能写入文件%s."},
    {CannotOpenFileMessage, L"不能找到或打开文件%s."}, {NotStandardFileMessage, L"文件%s不是标准的琴坊文件."},
    {NotSupportedFileMessage, L"文件%s不是被支持的琴坊文件."}, {CannotReadFileMessage, L"不能读取文件%s."},
    {CaptionFormat, L"琴坊 - [%s]"}, {UntitledName, L"未命名"}, {SaveQuestionFormat, L"保存当前的变化在 %s?"},
    {FileBoxCaption, L"QF"}, {ProgramTitle, L"琴坊"},
    {SwitchRequestText, L"请打开开关"}, {SwitchRequestCaption, L"提示"},
    {MemoryErrorText, L"内存分配错误."}, {MemoryErrorCaption, L"错误"},
    {SwitchOnText, L"开启"}, {SwitchOffText, L"关闭"}, {ChannelFormat, L"声道 %i"},
    {TipText, L"1 演奏的同时按Shift键(或Ctrl键)升高(或降低)一个8级音阶。 2 出现声音异常请按 Esc"},
    {VelocityCaption, L"力度"}, {PitchBendCaption, L"频率"}, {UnknownDeviceText, L"(未知设备)"},
};

// The instrument menu: each family's name, then its eight instruments.
const wchar_t* const Instruments[16][9] = {
    {L"钢琴", L"三角钢琴", L"亮音钢琴", L"电子三角钢琴", L"白鬼子钢琴", L"Rbodes钢琴", L"合唱钢琴", L"大键琴", L"Clavinet"},
    {L"半音打击乐器", L"钢片琴", L"钟琴", L"音乐盒", L"电颤琴", L"木琴", L"Xylophone木琴", L"管钟", L"洋琴"},
    {L"风琴", L"电子风琴", L"敲击风琴", L"摇滚风琴", L"教堂风琴", L"簧风琴", L"Accordian", L"口琴", L"探戈Accordian"},
    {L"吉他", L"吉他(尼龙)", L"吉他(金属)", L"电吉他(爵士乐)", L"电吉他(clean)", L"电吉他(弱音)", L"超速吉他",
     L"扭曲吉他", L"和声吉他"},
    {L"Bass", L"Bass", L"电Bass(手指弹)", L"电Bass(金属片拨)", L"Fretless Bass", L"拍击 Bass 1", L"拍击 Bass 2",
     L"合成器 Bass 1", L"合成器 Bass 2"},
    {L"弦乐器", L"小提琴", L"中提琴", L"大提琴", L"低音大提琴", L"颤音弦", L"指弹弦", L"管弦乐队竖琴", L"定音鼓"},
    {L"合奏", L"弦乐器合奏 1", L"弦乐器合奏 2", L"弦乐合成器 1", L"弦乐合成器 2", L"唱诗班Aashs", L"惊讶声",
     L"嗓音合成器", L"管弦乐队打击乐"},
    {L"铜管乐器", L"喇叭", L"长号", L"大号", L"弱音喇叭", L"法国号", L"铜片", L"铜管乐合成器 1", L"铜管乐合成器 2"},
    {L"芦笛", L"高音萨克斯", L"中音萨克斯", L"次中音萨克斯", L"低音萨克斯", L"双簧管", L"英国号", L"低音管", L"单簧管"},
    {L"笛", L"短笛", L"长笛", L"录音机", L"潘长笛", L"瓶吹", L"尺八（日本）", L"口哨", L"奥卡利那笛"},
    {L"主音合成器", L"主音 1(广场)", L"主音 2(锯齿)", L"主音 3(caliope lead)", L"主音 4(chiff lead)",
     L"主音 5(charang)", L"主音 6(嗓音)", L"主音 7(第五)", L"主音 8(brass+lead)"},
    {L"辅助合成器", L"辅助 1(新时代)", L"辅助 2(热烈)", L"辅助 3(多合成器)", L"辅助 4(唱诗班)", L"辅助 5(bowed)",
     L"辅助 6(金属的)", L"辅助 7(光环)", L"辅助 8(扫除)"},
    {L"效果合成器", L"FX 1(雨)", L"FX 2(声迹)", L"FX 3(水晶)", L"FX 4(气氛)", L"FX 5(智慧)", L"FX 6(小妖精)",
     L"FX 7(回音)", L"FX 8(科幻)"},
    {L"民族乐器", L"锡塔尔琴（印度）", L"班桌琴", L"Shamisen", L"十三弦古筝（日）", L"克林巴琴（非洲）", L"风笛",
     L"Fiddle小提琴", L"Shanai"},
    {L"打击乐器", L"叮当", L"Agogo", L"钢鼓", L"木板", L"阳坡鼓", L"Melodic Tom", L"鼓合成器", L"反铙钹"},
    {L"音效", L"吉他噪音", L"呼吸声", L"海岸", L"鸟叫", L"电话铃", L"直升飞机", L"鼓掌", L"枪声"},
};

// The text as the system shows it, and whether it comes back to the same bytes.
void ExpectShownAs(const char* text, const wchar_t* wide)
{
    ASSERT_NE(nullptr, text) << "a text the test expects";
    WCHAR shown[256];
    int n = ProgramTextToSystem(text, -1, shown, 256);
    EXPECT_EQ(std::wstring(wide), std::wstring(shown));
    EXPECT_EQ((int)wcslen(wide), n);
    char back[512];
    ProgramTextFromSystem(shown, back, sizeof back);
    EXPECT_STREQ(text, back);
}

std::wstring ToSystem(const std::string& name)
{
    WCHAR out[600];
    EXPECT_TRUE(NameToSystem(name.c_str(), out, 600)) << name;
    return out;
}

std::string FromSystem(const std::wstring& name)
{
    char out[1800];
    EXPECT_TRUE(NameFromSystem(name.c_str(), out, sizeof out));
    return out;
}

} // namespace

TEST(SystemText, EveryFixedTextReadsAsWrittenAndComesBack)
{
    for (const TextCase& c : FixedTexts) {
        SCOPED_TRACE(testing::Message() << "text " << (&c - FixedTexts));
        ExpectShownAs(c.text, c.wide);
    }
    for (int f = 0; f < 16; f++) {
        SCOPED_TRACE(testing::Message() << "family " << f);
        ExpectShownAs(InstrumentTable[f].name, Instruments[f][0]);
        for (int i = 0; i < 8; i++) ExpectShownAs(InstrumentTable[f].instruments[i], Instruments[f][i + 1]);
    }
}

TEST(SystemText, FileNamesRoundTripAndLongOnesAreCutAtACharacter)
{
    // Beyond GBK (♫) and beyond the BMP (𝄞, a surrogate pair), by the
    // compiler's encodings on both sides.
    const std::string name = u8"D:\\录音\\歌曲 ♫𝄞.qfi";
    const std::wstring wide = L"D:\\录音\\歌曲 ♫𝄞.qfi";
    EXPECT_EQ(wide, ToSystem(name));
    EXPECT_EQ(name, FromSystem(wide));
    EXPECT_EQ(wide.size(), SystemUnitsOf(name.c_str(), name.size()));
    // A name may hold an unpaired surrogate: it comes back as it was.
    const std::wstring odd = L"a\xD800" L"b\xDC00";
    EXPECT_EQ("a\xED\xA0\x80" "b\xED\xB0\x80", FromSystem(odd));
    EXPECT_EQ(odd, ToSystem(FromSystem(odd)));
    // Too small a buffer says so.
    WCHAR small[4];
    const char* four = u8"歌曲 ♫";
    EXPECT_FALSE(NameToSystem(four, small, 4));
    char tiny[4];
    EXPECT_FALSE(NameFromSystem(L"歌曲", tiny, sizeof tiny));

    WCHAR shown[ShownNameSize];
    // (Texts beyond GBK stay out of the checks' own texts, which are GBK.)
    std::string fits = std::string(257, 'x') + u8"𝄞"; // 259 units: shown whole
    const std::wstring fitsShown = std::wstring(257, L'x') + L"𝄞";
    ShownName(fits.c_str(), shown);
    EXPECT_EQ(fitsShown, std::wstring(shown));
    std::string pairAtTheCut = std::string(258, 'x') + u8"𝄞y"; // the pair would end at unit 260
    ShownName(pairAtTheCut.c_str(), shown);
    EXPECT_EQ(std::wstring(258, L'x') + L"...", std::wstring(shown));
    std::string longer = std::string(258, 'x') + u8"曲子";
    ShownName(longer.c_str(), shown);
    EXPECT_EQ(std::wstring(258, L'x') + L"曲...", std::wstring(shown));
}

TEST(SystemText, CommandLineArgumentsFollowTheProgramsName)
{
    struct Case {
        const wchar_t* commandLine;
        const wchar_t* arguments;
    } cases[] = {
        {L"\"C:\\Program Files\\QF\\qf.exe\"  \"D:\\歌 曲.qfi\"", L"\"D:\\歌 曲.qfi\""},
        {L"qf.exe\t a.qfi ", L"a.qfi "},
        {L"qf.exe", L""},
        {L"\"qf.exe\"a.qfi", L"a.qfi"},
        {L"\"C:\\no end", L""},
        {L"", L""},
    };
    for (const Case& c : cases) EXPECT_EQ(std::wstring(c.arguments), CommandLineArguments(c.commandLine));
}

// The General MIDI instruments by family, with their Chinese display names,
// and the instruments of the toolbar. Constant data; portable.
#pragma once

struct InstrumentFamily {
    const char* name;
    const char* instruments[8]; // program 8 x family + entry
};

inline constexpr InstrumentFamily InstrumentTable[16] = {
    {"钢琴", // piano
     {"三角钢琴", "亮音钢琴", "电子三角钢琴", "白鬼子钢琴", "Rbodes钢琴", "合唱钢琴", "大键琴", "Clavinet"}},
    {"半音打击乐器", // chromatic percussion
     {"钢片琴", "钟琴", "音乐盒", "电颤琴", "木琴", "Xylophone木琴", "管钟", "洋琴"}},
    {"风琴", // organ
     {"电子风琴", "敲击风琴", "摇滚风琴", "教堂风琴", "簧风琴", "Accordian", "口琴", "探戈Accordian"}},
    {"吉他", // guitar
     {"吉他(尼龙)", "吉他(金属)", "电吉他(爵士乐)", "电吉他(clean)", "电吉他(弱音)", "超速吉他", "扭曲吉他", "和声吉他"}},
    {"Bass", // bass
     {"Bass", "电Bass(手指弹)", "电Bass(金属片拨)", "Fretless Bass", "拍击 Bass 1", "拍击 Bass 2", "合成器 Bass 1", "合成器 Bass 2"}},
    {"弦乐器", // strings
     {"小提琴", "中提琴", "大提琴", "低音大提琴", "颤音弦", "指弹弦", "管弦乐队竖琴", "定音鼓"}},
    {"合奏", // ensemble
     {"弦乐器合奏 1", "弦乐器合奏 2", "弦乐合成器 1", "弦乐合成器 2", "唱诗班Aashs", "惊讶声", "嗓音合成器", "管弦乐队打击乐"}},
    {"铜管乐器", // brass
     {"喇叭", "长号", "大号", "弱音喇叭", "法国号", "铜片", "铜管乐合成器 1", "铜管乐合成器 2"}},
    {"芦笛", // reed
     {"高音萨克斯", "中音萨克斯", "次中音萨克斯", "低音萨克斯", "双簧管", "英国号", "低音管", "单簧管"}},
    {"笛", // pipe
     {"短笛", "长笛", "录音机", "潘长笛", "瓶吹", "尺八（日本）", "口哨", "奥卡利那笛"}},
    {"主音合成器", // synth lead
     {"主音 1(广场)", "主音 2(锯齿)", "主音 3(caliope lead)", "主音 4(chiff lead)", "主音 5(charang)", "主音 6(嗓音)", "主音 7(第五)", "主音 8(brass+lead)"}},
    {"辅助合成器", // synth pad
     {"辅助 1(新时代)", "辅助 2(热烈)", "辅助 3(多合成器)", "辅助 4(唱诗班)", "辅助 5(bowed)", "辅助 6(金属的)", "辅助 7(光环)", "辅助 8(扫除)"}},
    {"效果合成器", // synth effects
     {"FX 1(雨)", "FX 2(声迹)", "FX 3(水晶)", "FX 4(气氛)", "FX 5(智慧)", "FX 6(小妖精)", "FX 7(回音)", "FX 8(科幻)"}},
    {"民族乐器", // ethnic
     {"锡塔尔琴（印度）", "班桌琴", "Shamisen", "十三弦古筝（日）", "克林巴琴（非洲）", "风笛", "Fiddle小提琴", "Shanai"}},
    {"打击乐器", // percussive
     {"叮当", "Agogo", "钢鼓", "木板", "阳坡鼓", "Melodic Tom", "鼓合成器", "反铙钹"}},
    {"音效", // sound effects
     {"吉他噪音", "呼吸声", "海岸", "鸟叫", "电话铃", "直升飞机", "鼓掌", "枪声"}},
};

// The name of a General MIDI program 0..127.
constexpr const char* InstrumentName(int program)
{
    return program >= 0 && program < 128 ? InstrumentTable[program / 8].instruments[program % 8] : "";
}

// The 14 toolbar buttons, left to right: button i shows toolbar image i and
// selects this program.
inline constexpr int ToolbarInstruments[14] = {0, 15, 19, 25, 32, 40, 55, 57, 66, 73, 103, 107, 114, 123};

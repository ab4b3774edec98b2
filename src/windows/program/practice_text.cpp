#include "windows/program/practice_text.h"

#include <cstdio>

namespace {

// "22 (91%)": the notes played right and their share, rounded down.
void ShareText(char* text, size_t size, const PracticeResult& r)
{
    uint32_t percent = r.notes ? (uint32_t)((uint64_t)r.right * 100 / r.notes) : 0;
    snprintf(text, size, "%u/%u (%u%%)", r.right, r.notes, percent);
}

} // namespace

void PracticeStatusText(char* text, size_t size, uint32_t note, uint32_t notes, PracticeMode mode,
                        uint32_t speedPercent)
{
    if (mode == PracticeWait)
        snprintf(text, size, "跟弹练习  第 %u/%u 个音  等待弹奏", note, notes);
    else
        snprintf(text, size, "跟弹练习  第 %u/%u 个音  速度 %u%%", note, notes, speedPercent);
}

const char* JudgementText(Judgement judgement)
{
    switch (judgement) {
    case JudgedExact: return "准";
    case JudgedGood: return "好";
    case JudgedMiss: return "×";
    default: return "";
    }
}

void PracticeResultText(char* text, size_t size, const PracticeResult& result, PracticeMode mode,
                        const PracticeResult* best, bool newBest)
{
    char share[48], median[64] = "", kept[160] = "";
    ShareText(share, sizeof share, result);
    if (mode == PracticeTempo && result.hasMedian)
        snprintf(median, sizeof median, "\n时间误差(中位数): %u 毫秒", result.medianErrorMs);
    if (newBest) {
        snprintf(kept, sizeof kept, "\n\n这是这首曲子的最好成绩!");
    } else if (best) {
        char bestShare[48];
        ShareText(bestShare, sizeof bestShare, *best);
        char bestMedian[48] = "";
        if (best->hasMedian) snprintf(bestMedian, sizeof bestMedian, ", 误差 %u 毫秒", best->medianErrorMs);
        snprintf(kept, sizeof kept, "\n\n最好成绩: 弹对 %s, 错键 %u%s", bestShare, best->wrongKeys, bestMedian);
    }
    snprintf(text, size, "音符: %u\n弹对: %s\n错键: %u%s%s", result.notes, share, result.wrongKeys, median, kept);
}

// The texts of practice mode: the status line, the key caps of the strip
// and the result box. Portable: the window shows them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "portable/practice/practice.h"

inline constexpr char PracticeCaption[] = "跟弹练习";
inline constexpr char PracticeEmptyText[] = "这段录音里没有可以跟弹的音.";

// "跟弹练习  第 3/24 个音  等待弹奏" (or "速度 75%").
void PracticeStatusText(char* text, size_t size, uint32_t note, uint32_t notes, PracticeMode mode,
                        uint32_t speedPercent);

// The judgement under a note of the strip: "准", "好", "×" or "".
const char* JudgementText(Judgement judgement);

// The result box: the notes, the share played right, the wrong keys, the
// median timing error (tempo mode), and the best result kept before (none
// when best is null), or that this one is the new best.
void PracticeResultText(char* text, size_t size, const PracticeResult& result, PracticeMode mode,
                        const PracticeResult* best, bool newBest);

// The SoundFont of the built-in synthesizer: qf.sf2 in the program's folder,
// loaded once at start and kept for the whole run.
#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "portable/live/live_device.h"
#include "windows/platform/system_text.h"
#include "windows/program/devices.h"
#include "portable/synth/soundfont.h"

static SoundFont gProgramFont;

void OfferProgramSoundFont()
{
    WCHAR path[MAX_PATH + 8];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return;
    WCHAR* slash = wcsrchr(path, L'\\');
    if (!slash) return;
    wcscpy(slash + 1, L"qf.sf2");
    FILE* file = _wfopen(path, L"rb");
    if (!file) return; // no file: no built-in device, and nothing to say
    char message[256] = "";
    bool loaded = LoadSoundFont(file, &gProgramFont, message, sizeof(message));
    fclose(file);
    char text[400] = "";
    if (!loaded) {
        // The reader's one line, in English, after the program's words.
        snprintf(text, sizeof(text), "琴坊音源不可用: qf.sf2 %s", message);
    } else if (gProgramFont.presetCount == 0) {
        FreeSoundFont(&gProgramFont); // nothing would ever sound
        snprintf(text, sizeof(text), "琴坊音源不可用: qf.sf2 中没有音色");
    }
    if (text[0]) {
        ProgramMessageBox(nullptr, text, "琴坊音源", MB_ICONWARNING);
        return;
    }
    OfferLiveDevice(&gProgramFont);
}

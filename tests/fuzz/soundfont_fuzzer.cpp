// Fuzz target: the SoundFont reader on any bytes, and whatever it accepts
// played: every preset's zones with offsets, loops and generators as the
// file has them, on a melodic and the percussion channel.
#include "portable/synth/synth.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SoundFont font;
    char message[256];
    if (!ReadSoundFont(data, size, &font, message, sizeof message)) return 0;
    Synth* synth = CreateSynth(&font, 22050);
    static float out[2 * 512];
    for (uint32_t p = 0; p < font.presetCount && p < 8; p++) {
        uint32_t program = font.presets[p].program & 0x7F;
        SynthShortMessage(synth, 0xC0 | program << 8, 0);
        SynthShortMessage(synth, 0xC9 | program << 8, 0);
        for (uint32_t key = 0; key < 128; key += 13) {
            SynthShortMessage(synth, 0x90 | key << 8 | (key | 1) << 16, key);
            SynthShortMessage(synth, 0x99 | key << 8 | 100 << 16, key);
            SynthShortMessage(synth, 0xE0 | key << 8 | key << 16, 200);
        }
        SynthRender(synth, out, 512);
        SynthShortMessage(synth, 0xB0 | 123 << 8, 0);
        SynthRender(synth, out, 256);
    }
    DestroySynth(synth);
    FreeSoundFont(&font);
    return 0;
}

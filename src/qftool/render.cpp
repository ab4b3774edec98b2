// qftool render: the recording's key events become the MIDI messages that
// playback in the program sends, each at its recorded time to the frame (a
// MIDI file's messages are taken as they are, render_midi.cpp), and the
// synthesizer renders them until the last release and the reverb have died
// away.
#include "qftool/render.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "portable/keys/keymap.h"
#include "portable/song/replay.h"
#include "portable/formats/recording_file.h"
#include "portable/synth/synth.h"
#include "qftool/console.h"
#include "portable/formats/midi_keys.h"
#include "qftool/song_file.h"
#include "qftool/tool_output.h"

namespace {

constexpr uint32_t BlockFrames = 1024;
constexpr int DefaultRate = 48000;
constexpr int MelodyChannel = 0;
constexpr uint32_t PlayVelocity = 127;   // the velocity bar's value at start
constexpr uint32_t MaxTailSeconds = 30;  // a sound still going this long after the last event is cut
constexpr uint64_t MaxWavData = 0xFFFFFFFFull - 36;

struct RenderArguments {
    const char* input;
    const char* output;
    const char* soundFont;
    bool hasKey, hasInstrument, hasBass, hasRate, hasTrack, hasReverb, hasChorus;
    long long key, instrument, bass, rate, track, reverb, chorus;
};

bool ParseRenderArguments(int argc, char** argv, RenderArguments* a)
{
    memset(a, 0, sizeof *a);
    int positional = 0;
    for (int i = 0; i < argc; i++) {
        const char* arg = argv[i];
        if (arg[0] == '-' && arg[1] == '-') {
            const char* names[8] = {"--key",  "--instrument", "--bass",   "--sf2",
                                    "--rate", "--track",      "--reverb", "--chorus"};
            int which = -1;
            for (int n = 0; n < 8; n++)
                if (strcmp(arg, names[n]) == 0) which = n;
            if (which < 0) {
                ToolMessage("qftool: unknown option %s\n", arg);
                return false;
            }
            if (i + 1 >= argc) {
                ToolMessage("qftool: %s needs a value\n", arg);
                return false;
            }
            const char* value = argv[++i];
            bool ok = false;
            switch (which) {
            case 0:
                ok = !a->hasKey && ParseNumber(value, INT32_MIN, UINT32_MAX, &a->key);
                a->hasKey = true;
                break;
            case 1:
                ok = !a->hasInstrument && ParseNumber(value, 0, 127, &a->instrument);
                a->hasInstrument = true;
                break;
            case 2:
                ok = !a->hasBass && ParseNumber(value, 0, 1, &a->bass);
                a->hasBass = true;
                break;
            case 3:
                ok = !a->soundFont && *value;
                a->soundFont = value;
                break;
            case 4:
                ok = !a->hasRate && ParseNumber(value, SynthMinRate, SynthMaxRate, &a->rate);
                a->hasRate = true;
                break;
            case 5:
                ok = !a->hasTrack && ParseNumber(value, 1, 65535, &a->track);
                a->hasTrack = true;
                break;
            case 6:
                ok = !a->hasReverb && ParseNumber(value, 0, 1, &a->reverb);
                a->hasReverb = true;
                break;
            default:
                ok = !a->hasChorus && ParseNumber(value, 0, 1, &a->chorus);
                a->hasChorus = true;
            }
            if (!ok) {
                ToolMessage("qftool: bad or repeated option %s %s\n", arg, value);
                return false;
            }
        } else if (positional < 2) {
            (positional++ == 0 ? a->input : a->output) = arg;
        } else {
            ToolMessage("qftool: unexpected argument %s\n", arg);
            return false;
        }
    }
    if (positional != 2) {
        ToolMessage("usage: qftool render FILE.qfi|SONG.mid OUT.wav [--key K] [--instrument P] [--bass 0|1] "
                    "[--sf2 FILE] [--rate HZ] [--track N] [--reverb 0|1] [--chorus 0|1]\n");
        return false;
    }
    return true;
}

using TimedMessage = RenderMessage;

struct MessageList {
    TimedMessage* items;
    size_t count, capacity;
};

bool Add(MessageList* list, uint64_t frame, uint32_t message)
{
    if (list->count == list->capacity) {
        size_t grown = list->capacity ? list->capacity * 2 : 256;
        TimedMessage* more = (TimedMessage*)realloc(list->items, grown * sizeof *more);
        if (!more) return false;
        list->items = more;
        list->capacity = grown;
    }
    list->items[list->count++] = {frame, message};
    return true;
}

// The frame of a time in milliseconds, rounded, without overflow (a time
// beyond 2^40 ms, far too long for any WAV file, counts as that).
uint64_t FrameAt(uint64_t ms, uint64_t rate)
{
    if (ms > 1ull << 40) ms = 1ull << 40;
    return ms / 1000 * rate + ((ms % 1000) * rate + 500) / 1000;
}

struct RenderWalk {
    MessageList* list;
    uint64_t rate;
    bool ok;
};

void TakeRenderNote(void* context, uint64_t ms, uint32_t, const NoteMessage& m)
{
    RenderWalk* walk = (RenderWalk*)context;
    uint32_t word = (uint32_t)((m.velocity ? 0x90 : 0x80) | m.channel) | (uint32_t)m.note << 8 | (uint32_t)m.velocity << 16;
    walk->ok = walk->ok && Add(walk->list, FrameAt(ms, walk->rate), word);
}

// The messages of playback: the program on both channels, then each press
// and release as the program replays them, and at the end the ends of what
// still sounds.
bool BuildMessages(const RecordingFileData& data, int32_t keyId, uint32_t program, bool bass, uint64_t rate,
                   MessageList* list)
{
    RenderWalk walk = {list, rate, Add(list, 0, 0xC0u | MelodyChannel | program << 8) &&
                                       Add(list, 0, 0xC0u | BassChannel | program << 8)};
    ReplaySettings settings = {keyId, MelodyChannel, PlayVelocity, bass};
    ReplayRecording(data.events, data.eventCount, settings, true, TakeRenderNote, &walk);
    return walk.ok;
}

void PutLe(uint8_t* at, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; i++) at[i] = (uint8_t)(value >> (8 * i));
}

void WavHeader(uint8_t header[44], uint32_t rate, uint64_t dataBytes)
{
    memcpy(header, "RIFF", 4);
    PutLe(header + 4, (uint32_t)(36 + dataBytes), 4);
    memcpy(header + 8, "WAVEfmt ", 8);
    PutLe(header + 16, 16, 4);
    PutLe(header + 20, 1, 2); // PCM
    PutLe(header + 22, 2, 2);
    PutLe(header + 24, rate, 4);
    PutLe(header + 28, rate * 4, 4);
    PutLe(header + 32, 4, 2);
    PutLe(header + 34, 16, 2);
    memcpy(header + 36, "data", 4);
    PutLe(header + 40, (uint32_t)dataBytes, 4);
}

// Renders the messages into file after its header; false on a write error
// or a sound too long for a WAV file.
bool RenderInto(FILE* file, Synth* synth, const MessageList& list, uint32_t rate, uint64_t* dataBytes)
{
    static float block[2 * BlockFrames];
    static uint8_t pcm[4 * BlockFrames];
    uint64_t lastFrame = list.count ? list.items[list.count - 1].frame : 0;
    uint64_t tailEnd = lastFrame + (uint64_t)MaxTailSeconds * rate;
    size_t next = 0;
    bool cut = false, silent = false;
    uint64_t at = 0;
    for (;;) {
        // At most half the synthesizer's queue a block: a block that would
        // take more ends at the first message left for the next one.
        uint32_t frames = BlockFrames, sent = 0;
        while (next < list.count && list.items[next].frame < at + BlockFrames) {
            if (sent++ == SynthQueueSize / 2) {
                frames = list.items[next].frame > at ? (uint32_t)(list.items[next].frame - at) : 1;
                break;
            }
            SynthShortMessage(synth, list.items[next].message, (uint32_t)(list.items[next].frame - at));
            next++;
        }
        if (next == list.count && at > lastFrame && SynthSoundingVoices(synth) == 0 && silent) break;
        if (!cut && at >= tailEnd) {
            // Still sounding long after the end: every channel ramps out now.
            for (uint32_t c = 0; c < 16; c++) SynthShortMessage(synth, 0xB0 | c | 120 << 8, 0);
            cut = true;
        }
        SynthRender(synth, block, frames);
        silent = true;
        for (uint32_t i = 0; i < 2 * frames; i++) {
            float x = block[i] * 32767.0f;
            long v = lrintf(x);
            v = v > 32767 ? 32767 : v < -32768 ? -32768 : v;
            silent = silent && v == 0;
            PutLe(pcm + 2 * i, (uint32_t)v, 2);
        }
        if (*dataBytes + 4 * frames > MaxWavData) return false;
        if (fwrite(pcm, 1, 4 * frames, file) != 4 * frames) return false;
        *dataBytes += 4 * frames;
        at += frames;
    }
    return true;
}

// Opens the SoundFont: the one given, else qf.sf2 beside the tool, else the
// system's General MIDI font. Names the file tried into *used.
FILE* OpenSoundFont(const char* given, char* used, size_t size)
{
    if (given) {
        snprintf(used, size, "%s", given);
        return OpenPathFile(given, "rb");
    }
    char folder[4096];
    if (ToolFolder(folder, sizeof folder)) {
        snprintf(used, size, "%s%s", folder, ToolSoundFontName);
        FILE* file = OpenPathFile(used, "rb");
        if (file) return file;
    }
    snprintf(used, size, "%s", SystemSoundFont);
    return OpenPathFile(used, "rb");
}

} // namespace

int RenderCommand(int argc, char** argv)
{
    RenderArguments a;
    if (!ParseRenderArguments(argc, argv, &a)) return 1;
    char* output = PrepareOutput(a.output, &a.input, 1);
    if (!output) return 1;
    uint32_t rate = a.hasRate ? (uint32_t)a.rate : DefaultRate;
    MessageList list = {nullptr, 0, 0};
    // A MIDI file sounds as it is; a recording sounds in the key given,
    // else its own.
    MidiRenderResult midi = ReadMidiRender(a.input, a.hasTrack ? (uint32_t)a.track : 0, rate, &list.items, &list.count);
    if (midi == MidiRenderRead && (a.hasKey || a.hasInstrument || a.hasBass)) {
        ToolMessage("qftool: %s is a MIDI file: --key, --instrument and --bass are for recordings\n", a.input);
        midi = MidiRenderFailed;
    }
    RecordingFileData data = {nullptr, 0, DefaultKeyId, false};
    SongOptions options = {AllTracks, false, (int32_t)a.key, a.hasTrack};
    if (midi == MidiRenderFailed || (midi == MidiRenderNotMidi && !ReadSong(a.input, options, false, &data))) {
        free(list.items);
        free(output);
        return 1;
    }
    int32_t keyId = a.hasKey ? (int32_t)a.key : (int32_t)data.keyId;
    bool bass = a.hasBass ? a.bass != 0 : data.autoBass;
    int status = 1;
    SoundFont font;
    memset(&font, 0, sizeof font);
    Synth* synth = nullptr;
    char fontPath[4200];
    char message[256];
    FILE* fontFile = nullptr;
    if (!IsKeyId(keyId)) {
        ToolMessage("qftool: key %lld is none of the 24 keys (1297..1332)\n", a.hasKey ? a.key : (long long)data.keyId);
    } else if (midi == MidiRenderNotMidi &&
               !BuildMessages(data, keyId, a.hasInstrument ? (uint32_t)a.instrument : 0, bass, rate, &list)) {
        ToolMessage("qftool: out of memory\n");
    } else if (list.count && list.items[list.count - 1].frame * 4 > MaxWavData) {
        ToolMessage("qftool: %s is too long for a WAV file\n", a.input);
    } else if (!(fontFile = OpenSoundFont(a.soundFont, fontPath, sizeof fontPath))) {
        ToolMessage(a.soundFont ? "qftool: cannot open the SoundFont %s\n"
                             : "qftool: no SoundFont: %s not found; give one with --sf2 FILE\n",
                 fontPath);
    } else if (!LoadSoundFont(fontFile, &font, message, sizeof message)) {
        ToolMessage("qftool: the SoundFont %s is damaged: %s\n", fontPath, message);
    } else if (!(synth = CreateSynth(&font, (int)rate))) {
        ToolMessage("qftool: out of memory\n");
    } else {
        SynthSetReverb(synth, !a.hasReverb || a.reverb != 0);
        SynthSetChorus(synth, !a.hasChorus || a.chorus != 0);
        char* tempPath = nullptr;
        FILE* out = CreateFileBeside(output, &tempPath);
        if (!out) {
            ToolMessage("qftool: cannot create %s\n", a.output);
        } else {
            uint8_t header[44];
            uint64_t dataBytes = 0;
            WavHeader(header, rate, 0);
            bool ok = fwrite(header, 1, sizeof header, out) == sizeof header &&
                      RenderInto(out, synth, list, rate, &dataBytes);
            WavHeader(header, rate, dataBytes);
            ok = ok && fseek(out, 0, SEEK_SET) == 0 && fwrite(header, 1, sizeof header, out) == sizeof header &&
                 fflush(out) == 0;
            if (FinishFileBeside(out, tempPath, output, ok)) status = 0;
            else ToolMessage("qftool: cannot write %s\n", a.output);
        }
    }
    if (fontFile) fclose(fontFile);
    DestroySynth(synth);
    FreeSoundFont(&font);
    free(list.items);
    free(data.events);
    free(output);
    return status;
}

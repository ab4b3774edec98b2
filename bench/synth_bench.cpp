// The synthesizer's speed and memory beside FluidSynth, in one run:
//
//   qf-synth-bench FONT.sf2 [FONT2.sf2 ...]
//
// For each font: the load time and the memory it takes; then, with the first
// font, songs of 1, 32 and 128 voices sounding (held organ notes, 60 s) and
// a piano song of chords (60 s), each rendered here at 48 kHz on one thread,
// with the reverb off and on (the channels' power-on send, 40), and by
// `fluidsynth -F` from the same notes written as a MIDI file, its chorus off
// and its reverb off and on (its start-up, timed on a song of one short
// note, taken off). Figures are multiples of real time: seconds of music per
// second of one core, timed as processor time (this process's, FluidSynth's
// as a child), which the other work on a shared machine disturbs less than
// the clock.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <time.h>

#include "portable/synth/synth.h"

namespace {

constexpr int Rate = 48000;
constexpr uint32_t Block = 256;

struct Event {
    uint32_t ms;
    uint32_t message;
};

double Now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Seconds of processor time this process has used.
double ProcessorTime()
{
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return (double)t.tv_sec + (double)t.tv_nsec * 1e-9;
}

// Seconds of processor time (user and system) the finished children used.
double ChildrenTime()
{
    rusage u;
    getrusage(RUSAGE_CHILDREN, &u);
    return (double)u.ru_utime.tv_sec + (double)u.ru_utime.tv_usec * 1e-6 + (double)u.ru_stime.tv_sec +
           (double)u.ru_stime.tv_usec * 1e-6;
}

long ResidentKilobytes()
{
    FILE* f = fopen("/proc/self/status", "r");
    if (!f) return 0;
    char line[256];
    long kb = 0;
    while (fgets(line, sizeof line, f))
        if (strncmp(line, "VmRSS:", 6) == 0) kb = atol(line + 6);
    fclose(f);
    return kb;
}

// A format 0 MIDI file of the events, one tick a millisecond.
void WriteMidi(const char* path, const std::vector<Event>& events)
{
    std::vector<uint8_t> track = {0x00, 0xFF, 0x51, 0x03, 0x07, 0x53, 0x00}; // 480000 us a quarter
    uint32_t last = 0;
    for (const Event& e : events) {
        uint32_t delta = e.ms - last, n = 0;
        uint8_t bytes[5];
        bytes[n++] = delta & 0x7F;
        while ((delta >>= 7) != 0) bytes[n++] = 0x80 | (delta & 0x7F);
        while (n > 0) track.push_back(bytes[--n]);
        track.push_back((uint8_t)e.message);
        track.push_back((uint8_t)(e.message >> 8));
        if ((e.message & 0xE0) != 0xC0) track.push_back((uint8_t)(e.message >> 16));
        last = e.ms;
    }
    track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});
    FILE* f = fopen(path, "wb");
    const uint8_t header[] = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0, 'M', 'T', 'r', 'k'};
    fwrite(header, 1, sizeof header, f);
    uint32_t size = (uint32_t)track.size();
    const uint8_t length[] = {(uint8_t)(size >> 24), (uint8_t)(size >> 16), (uint8_t)(size >> 8), (uint8_t)size};
    fwrite(length, 1, 4, f);
    fwrite(track.data(), 1, track.size(), f);
    fclose(f);
}

// Renders the events to their end plus a second; returns the seconds of
// one core it took, and the most voices that sounded.
double RenderHere(const SoundFont* font, const std::vector<Event>& events, uint32_t* mostVoices, bool reverb = true)
{
    Synth* synth = CreateSynth(font, Rate);
    SynthSetReverb(synth, reverb);
    static float out[2 * Block];
    uint64_t end = (uint64_t)(events.back().ms + 1000) * Rate / 1000;
    size_t next = 0;
    *mostVoices = 0;
    double start = ProcessorTime();
    for (uint64_t at = 0; at < end; at += Block) {
        for (; next < events.size() && (uint64_t)events[next].ms * Rate / 1000 < at + Block; next++)
            SynthShortMessage(synth, events[next].message, (uint32_t)((uint64_t)events[next].ms * Rate / 1000 - at));
        SynthRender(synth, out, Block);
        uint32_t v = SynthSoundingVoices(synth);
        if (v > *mostVoices) *mostVoices = v;
    }
    double took = ProcessorTime() - start;
    DestroySynth(synth);
    return took;
}

double RenderWithFluidSynth(const char* font, const char* midi, bool reverb)
{
    std::string command = std::string("fluidsynth -ni -q -R ") + (reverb ? "1" : "0") +
                          " -C 0 -r 48000 -T raw -F /tmp/qf-synth-bench.raw '" + font + "' '" + midi +
                          "' >/dev/null 2>&1";
    double start = ChildrenTime();
    int status = system(command.c_str());
    double took = ChildrenTime() - start;
    return status == 0 ? took : -1;
}

// Held organ notes (program 19, on channels 0 to 3) for 60 s: as many as
// it takes for `voices` voices of the font to sound.
std::vector<Event> HeldNotes(const SoundFont* font, uint32_t voices)
{
    auto song = [](const std::vector<uint32_t>& notes, uint32_t holdMs) {
        std::vector<Event> events;
        for (uint32_t c = 0; c < 4; c++) events.push_back({0, 0xC0 | c | 19 << 8});
        for (uint32_t n : notes) events.push_back({0, 0x90 | n | 100 << 16});
        for (uint32_t n : notes) events.push_back({holdMs, 0x80 | n});
        return events;
    };
    std::vector<uint32_t> notes;
    for (uint32_t i = 0; i < 4 * 72; i++) {
        notes.push_back(i % 4 | (36 + i / 4) << 8);
        uint32_t most = 0;
        RenderHere(font, song(notes, 100), &most);
        if (most >= voices) break;
    }
    return song(notes, 60000);
}

// A minute of piano chords: four notes every 200 ms, each held 600 ms.
std::vector<Event> ChordSong()
{
    std::vector<Event> events = {{0, 0xC0}};
    std::vector<Event> offs;
    for (uint32_t ms = 0; ms < 60000; ms += 200) {
        uint32_t root = 48 + (ms / 200 * 5) % 24;
        for (uint32_t k : {root, root + 4, root + 7, root + 12}) {
            events.push_back({ms, 0x90u | k << 8 | 100 << 16});
            offs.push_back({ms + 600, 0x80u | k << 8});
        }
    }
    events.insert(events.end(), offs.begin(), offs.end());
    std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) { return a.ms < b.ms; });
    return events;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: qf-synth-bench FONT.sf2 [FONT2.sf2 ...]\n");
        return 1;
    }
    SoundFont first;
    for (int i = 1; i < argc; i++) {
        SoundFont font;
        char message[256];
        for (int pass = 0; pass < 2; pass++) { // the first pass warms the file cache
            FILE* file = fopen(argv[i], "rb");
            if (!file) return 1;
            long before = ResidentKilobytes();
            double start = Now();
            bool ok = LoadSoundFont(file, &font, message, sizeof message);
            double took = Now() - start;
            fclose(file);
            if (!ok) {
                fprintf(stderr, "%s: %s\n", argv[i], message);
                return 1;
            }
            if (pass == 1)
                printf("load %s: %.1f ms, %.1f MB resident, %u presets, %u sample points\n", argv[i], took * 1000,
                       (ResidentKilobytes() - before) / 1024.0, font.presetCount, font.sampleFrames);
            if (pass == 0 || i > 1) FreeSoundFont(&font);
        }
        if (i == 1) first = font;
    }
    // FluidSynth's start-up (loading the font) on a song of one short note.
    std::vector<Event> tiny = {{0, 0x403C90}, {10, 0x3C80}};
    WriteMidi("/tmp/qf-synth-bench.mid", tiny);
    double startup = 1e9;
    for (int run = 0; run < 3; run++)
        startup = std::min(startup, RenderWithFluidSynth(argv[1], "/tmp/qf-synth-bench.mid", false));
    printf("fluidsynth start-up: %.3f s\n", startup);
    printf("%-14s %7s %8s %12s %12s %12s %12s %10s\n", "song", "voices", "seconds", "here x real", "+reverb",
           "fluid x real", "+reverb", "here %core");
    struct Song {
        const char* name;
        std::vector<Event> events;
    };
    Song songs[] = {{"1 voice", HeldNotes(&first, 1)},
                    {"32 voices", HeldNotes(&first, 32)},
                    {"128 voices", HeldNotes(&first, 128)},
                    {"piano chords", ChordSong()}};
    for (Song& s : songs) {
        uint32_t voices = 0;
        double seconds = s.events.back().ms / 1000.0 + 1;
        // The best of three runs each: the other core's work disturbs some.
        WriteMidi("/tmp/qf-synth-bench.mid", s.events);
        double here = 1e9, hereReverb = 1e9, fluid = 1e9, fluidReverb = 1e9;
        for (int run = 0; run < 3; run++) {
            here = std::min(here, RenderHere(&first, s.events, &voices, false));
            hereReverb = std::min(hereReverb, RenderHere(&first, s.events, &voices, true));
            fluid = std::min(fluid, RenderWithFluidSynth(argv[1], "/tmp/qf-synth-bench.mid", false) - startup);
            fluidReverb = std::min(fluidReverb, RenderWithFluidSynth(argv[1], "/tmp/qf-synth-bench.mid", true) - startup);
        }
        printf("%-14s %7u %8.1f %12.1f %12.1f %12.1f %12.1f %9.2f%%\n", s.name, voices, seconds, seconds / here,
               seconds / hereReverb, fluid > 0 ? seconds / fluid : 0.0, fluidReverb > 0 ? seconds / fluidReverb : 0.0,
               100 * hereReverb / seconds);
    }
    FreeSoundFont(&first);
    return 0;
}

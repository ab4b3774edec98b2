// Playback timing: plays one long recording twice on the multimedia timer,
// once armed for each event's due time and once the old way (each step from
// the previous tick), and reports from the capture log how far each note-on
// lies from its due time.
//
//   QF_MIDI_LOG=/tmp/bench.log qf-playback-bench [events]
//
// The due time of event i is the start of the play plus, for each event up
// to i, the larger of its delay and the 5 ms resolution.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "portable/play/midi_output.h"
#include "portable/play/performance.h"
#include "portable/song/pacing.h"
#include "windows/program/recorder_commands.h"
#include "windows/program/app.h"

static bool gPlayEnded = false;

static LRESULT CALLBACK BenchWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PLAYEVENT) {
        // The note goes out as the program's would: one short message from
        // the window thread when the posted event arrives.
        const RecordedEvent* e = PlaybackEventAt(wParam, lParam);
        if (e) {
            uint32_t note = 36 + (e->keyData >> 16) % 48;
            bool press = e->message == KeyPressMessage;
            MidiOutSendShort(gSettings.midiOut, PackShortMessage(press ? 0x90 : 0x80, 0, note, press ? 100 : 0));
        }
        return 0;
    }
    if (message == WM_PLAYEND) {
        gPlayEnded = true;
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

static unsigned long long UnixMicroseconds()
{
    FILETIME ft;
    GetSystemTimePreciseAsFileTime(&ft);
    unsigned long long t = ((unsigned long long)ft.dwHighDateTime << 32) | ft.dwLowDateTime;
    return (t - 116444736000000000ULL) / 10;
}

// A performance-like recording: notes and chords, short and long gaps.
static std::vector<RecordedEvent> MakeRecording(uint32_t count)
{
    std::vector<RecordedEvent> events;
    uint32_t seed = 2024;
    auto next = [&seed](uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % n;
    };
    while (events.size() < count) {
        uint32_t kind = next(10);
        uint32_t delay = kind < 2 ? next(5)               // a chord: 0..4 ms
                         : kind < 8 ? 5 + next(40)         // running notes
                                    : 60 + next(120);      // a pause
        uint32_t key = 30 + next(9);
        events.push_back(RecordedEvent{delay, events.size() % 2 ? KeyReleaseMessage : KeyPressMessage,
                                       key << 16 | 1u, 0});
    }
    return events;
}

struct Figures {
    size_t notes = 0;
    double median = 0, p99 = 0, maximum = 0, drift = 0; // milliseconds
};

// Note-on times of the log from byte offset on.
static std::vector<unsigned long long> NoteOnTimes(const char* path, long offset)
{
    std::vector<unsigned long long> times;
    FILE* f = fopen(path, "rb");
    if (!f) return times;
    fseek(f, offset, SEEK_SET);
    char line[256];
    while (fgets(line, sizeof(line), f)) {
        unsigned long long t;
        int id;
        unsigned word;
        if (sscanf(line, "%llu msg %d %x", &t, &id, &word) == 3 && (word & 0xF0) == 0x90 && (word >> 16) > 0)
            times.push_back(t);
    }
    fclose(f);
    return times;
}

static long LogSize(const char* path)
{
    FILE* f = fopen(path, "rb");
    if (!f) return 0;
    fseek(f, 0, SEEK_END);
    long size = ftell(f);
    fclose(f);
    return size;
}

static Figures Play(HWND window, const std::vector<RecordedEvent>& events, PlaybackPacing pacing, const char* log)
{
    Figures figures;
    gPlaybackPacing = pacing;
    long offset = LogSize(log);
    gPlayEnded = false;
    unsigned long long start = UnixMicroseconds();
    if (!StartPlayback(window, false)) {
        fprintf(stderr, "the chain did not start\n");
        return figures;
    }
    MSG msg;
    while (!gPlayEnded && GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);

    std::vector<unsigned long long> times = NoteOnTimes(log, offset);
    std::vector<double> errors, sizes;
    uint64_t due = 0;
    size_t note = 0;
    for (const RecordedEvent& e : events) {
        due += PlaybackStep(e.delay, 5);
        if (e.message != KeyPressMessage) continue;
        if (note >= times.size()) break;
        double error = ((double)times[note] - (double)start) / 1000.0 - (double)due;
        errors.push_back(error);
        sizes.push_back(error < 0 ? -error : error);
        note++;
    }
    figures.notes = errors.size();
    if (errors.empty()) return figures;
    figures.drift = errors.back();
    std::sort(sizes.begin(), sizes.end());
    std::sort(errors.begin(), errors.end());
    figures.median = errors[errors.size() / 2];
    figures.p99 = sizes[std::min(sizes.size() - 1, sizes.size() * 99 / 100)];
    figures.maximum = sizes.back();
    return figures;
}

int main(int argc, char** argv)
{
    uint32_t count = argc > 1 ? (uint32_t)strtoul(argv[1], nullptr, 10) : 2000;
    const char* log = getenv("QF_MIDI_LOG");
    if (!log || !*log || count < 2) {
        fprintf(stderr, "usage: QF_MIDI_LOG=<log> qf-playback-bench [events >= 2]\n");
        return 2;
    }
    char file[1024];
    if (log[0] == '/') snprintf(file, sizeof(file), "Z:%s", log);
    else snprintf(file, sizeof(file), "%s", log);

    WNDCLASSA wc = {};
    wc.lpfnWndProc = BenchWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "QFPlaybackBench";
    RegisterClassA(&wc);
    HWND window = CreateWindowA("QFPlaybackBench", "bench", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    if (!window || SwitchOutputOn() != SwitchOpened) {
        fprintf(stderr, "no window or no output\n");
        return 1;
    }
    std::vector<RecordedEvent> events = MakeRecording(count);
    MakePlaybackCopy(events.data(), count);
    uint64_t length = 0;
    for (const RecordedEvent& e : events) length += PlaybackStep(e.delay, 5);
    printf("%u events, %u note-ons, %.1f s per play\n", count, (count + 1) / 2, (double)length / 1000.0);

    Figures due = Play(window, events, DueTimePacing, file);
    Figures step = Play(window, events, StepPacing, file);
    SwitchOutputOff();
    ReleasePlaybackCopy();

    printf("note-on error against its due time, ms   due-time chain   step chain (old)\n");
    printf("  notes measured                         %14zu   %16zu\n", due.notes, step.notes);
    printf("  median (signed)                        %14.2f   %16.2f\n", due.median, step.median);
    printf("  99th percentile (absolute)             %14.2f   %16.2f\n", due.p99, step.p99);
    printf("  maximum (absolute)                     %14.2f   %16.2f\n", due.maximum, step.maximum);
    printf("  drift at the end (last note-on)        %14.2f   %16.2f\n", due.drift, step.drift);
    PlaybackCounters c = ReadPlaybackCounters();
    printf("timer periods begun %ld, ended %ld\n", c.periodsBegun, c.periodsEnded);
    return 0;
}

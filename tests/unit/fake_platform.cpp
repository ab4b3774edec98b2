#include "fake_platform.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include "portable/play/note_player.h"
#include "portable/play/performance.h"
#include "portable/play/system_facts.h"
#include "windows/program/document_state.h"
#include "portable/live/live_device.h"
#include "portable/live/audio_output.h"
#include "portable/song/recording.h"

FakePlatform gFake;
FakeAudio gFakeAudio;

bool ShiftKeyDown() { return gFake.shift; }
bool ControlKeyDown() { return gFake.control; }
uint32_t MillisecondClock() { return gFake.clock; }

void DrawKeyMarker(KeySurface*, int index, int pressed, int replay, int replayState)
{
    gFake.drawn.push_back(std::to_string(index) + " " + std::to_string(pressed) + " " + std::to_string(replay) +
                          " " + std::to_string(replayState));
}

bool AudioOutputPresent() { return gFakeAudio.present; }

int64_t AudioClockNow() { return gFakeAudio.clock; }

bool StartAudioOutput(const AudioSource* source, bool)
{
    gFakeAudio.source = source;
    if (gFakeAudio.present) source->prepare(source->context, 48000);
    return true;
}

void StopAudioOutput() { gFakeAudio.source = nullptr; }

static std::string LogFile()
{
    return "/tmp/qf-unit-capture-" + std::to_string(getpid()) + ".log";
}

void StartCapture()
{
    std::string path = LogFile();
    remove(path.c_str());
    setenv("QF_MIDI_LOG", path.c_str(), 1);
    unsetenv("QF_MIDI_DEVICES");
    unsetenv("QF_MIDI_MAPPER");
    unsetenv("QF_MIDI_FAIL_OPEN");
    ResetPerformanceSettings();
    ReleaseRecordingEvents();
    gRecording = Recording();
    gDocument = DocumentState();
    SetPlayedKeyHook(RecordPlayedKey);
    gFake = FakePlatform();
    gFakeAudio = FakeAudio();
    OfferLiveDevice(nullptr);
}

std::vector<std::string> CaptureLines()
{
    std::vector<std::string> lines;
    std::ifstream in(LogFile());
    std::string line;
    while (std::getline(in, line)) {
        size_t blank = line.find(' ');
        lines.push_back(blank == std::string::npos ? line : line.substr(blank + 1));
    }
    return lines;
}

std::vector<std::string> CaptureWords()
{
    std::vector<std::string> words;
    for (const std::string& line : CaptureLines())
        if (line.rfind("msg ", 0) == 0) words.push_back(line.substr(line.rfind(' ') + 1));
    return words;
}

void WithFileSizeLimit(unsigned long bytes, const std::function<void()>& write)
{
    rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    void (*oldHandler)(int) = signal(SIGXFSZ, SIG_IGN); // a failed write, not a killed process
    rlimit limited = saved;
    limited.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limited);
    write();
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);
}

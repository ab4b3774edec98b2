// Stand-ins for the platform facts and the key drawing in native tests.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct FakePlatform {
    bool shift = false;
    bool control = false;
    uint32_t clock = 0;
    std::vector<std::string> drawn; // "index pressed replay state" per DrawKeyMarker
};

extern FakePlatform gFake;

// The audio output as the tests play it: a stream opens at once at 48 kHz
// when an endpoint is there (else the test prepares it later); the test renders from its source.
struct AudioSource;
struct FakeAudio {
    bool present = true; // a default endpoint exists
    const AudioSource* source = nullptr; // while the output runs
    int64_t clock = 0;   // AudioClockNow()
};

extern FakeAudio gFakeAudio;

// Points the capture backend at a fresh log file and resets the engine,
// the recording and the fakes.
void StartCapture();

// Runs write with files limited to bytes, as on a disk that fills up.
void WithFileSizeLimit(unsigned long bytes, const std::function<void()>& write);

// The log's lines since StartCapture, without their time stamps.
std::vector<std::string> CaptureLines();

// Only the words of the "msg" lines, as 8 hex digits.
std::vector<std::string> CaptureWords();

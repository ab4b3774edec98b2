// The audio output on WASAPI. The render thread owns everything of the
// stream: COM (multithreaded), the endpoint enumerator and its watch, the
// audio client and the source's block. The window thread only starts and
// stops the thread; the endpoint watch only raises a flag and an event.
#include "portable/live/audio_output.h"

#include <windows.h>
#include <audioclient.h>
#include <mmdeviceapi.h>

#include <atomic>
#include <cstdlib>

#include "windows/platform/audio_stream.h"

namespace {

constexpr DWORD FillTimeout = 200;     // ms without a period's event before the stream is looked at
constexpr DWORD DiscardInterval = 20;  // ms between the takings of what was sent while no stream plays
constexpr int RetryIntervals = 50;     // a new try at an endpoint after so many of them
constexpr REFERENCE_TIME HundredNsPerSecond = 10000000;
constexpr DWORD ConvertedRate = 48000; // for a source that refuses the endpoint's own rate

// QueryPerformanceCounter's ticks per second, read once as the program loads.
int64_t ClockFrequency()
{
    LARGE_INTEGER frequency;
    return QueryPerformanceFrequency(&frequency) && frequency.QuadPart > 0 ? frequency.QuadPart : 1;
}

const int64_t gClockFrequency = ClockFrequency();

// Tells the render thread that the default render endpoint for the console
// role has changed (another one, or a first one, or none); nothing else of
// the system's endpoints, a microphone's coming and going included, concerns
// the stream. It lives as long as the program; its callbacks come on threads
// of the system and never wait.
struct EndpointWatch : IMMNotificationClient {
    HANDLE changed = nullptr;
    std::atomic<bool> moved{false}; // looked at by the render thread after a period's fill

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IMMNotificationClient)) {
            *object = static_cast<IMMNotificationClient*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE OnDeviceStateChanged(LPCWSTR, DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDeviceAdded(LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDeviceRemoved(LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDefaultDeviceChanged(EDataFlow flow, ERole role, LPCWSTR) override
    {
        if (flow != eRender || role != eConsole) return S_OK;
        moved = true;
        if (changed) SetEvent(changed);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnPropertyValueChanged(LPCWSTR, const PROPERTYKEY) override { return S_OK; }
};

struct Stream {
    IMMDevice* device;
    IAudioClient* client;
    IAudioClient3* client3; // the same client, where it is an IAudioClient3
    IAudioRenderClient* render;
    WAVEFORMATEX* format;
    WCHAR* endpointId;
    SampleLayout layout;
    UINT32 bufferFrames;
    UINT32 fillFrames;      // the frames kept waiting in the buffer (FillFrames)
    bool converted;         // the source refused the endpoint's rate: the engine converts from 48 kHz
    float* stereo;          // the source's block, bufferFrames frames
};

struct AudioOutput {
    HANDLE thread;
    HANDLE stop;    // the window thread asks the render thread to end
    HANDLE changed; // from the endpoint watch
    HANDLE ready;   // the first open's outcome is known
    HANDLE audio;   // the stream wants data
    const AudioSource* source;
    bool tryClient3;
    bool running;   // the thread has COM and the endpoints: it renders or waits for an endpoint
    AudioStreamReport report;
    EndpointWatch watch;
};

AudioOutput gOutput;

template <typename T> void ReleaseInterface(T** object)
{
    if (*object) (*object)->Release();
    *object = nullptr;
}

// Where the thread may, it joins the "Pro Audio" task of MMCSS (avrt.dll,
// looked up at run time: older systems lack it).
HANDLE JoinProAudioTask()
{
    HMODULE avrt = LoadLibraryW(L"avrt.dll");
    if (!avrt) return nullptr;
    typedef HANDLE(WINAPI * SetProc)(LPCWSTR, LPDWORD);
    SetProc set = (SetProc)(void*)GetProcAddress(avrt, "AvSetMmThreadCharacteristicsW");
    DWORD index = 0;
    return set ? set(L"Pro Audio", &index) : nullptr;
}

void LeaveProAudioTask(HANDLE task)
{
    if (!task) return;
    HMODULE avrt = GetModuleHandleW(L"avrt.dll");
    typedef BOOL(WINAPI * RevertProc)(HANDLE);
    RevertProc revert = avrt ? (RevertProc)(void*)GetProcAddress(avrt, "AvRevertMmThreadCharacteristics") : nullptr;
    if (revert) revert(task);
}

// Float32 or 16-bit integer samples, plain or extensible; false for any other.
bool ReadLayout(const WAVEFORMATEX* format, SampleLayout* layout)
{
    WORD tag = format->wFormatTag;
    if (tag == WAVE_FORMAT_EXTENSIBLE && format->cbSize >= 22)
        tag = (WORD)((const WAVEFORMATEXTENSIBLE*)format)->SubFormat.Data1; // 1 PCM, 3 float
    layout->channels = format->nChannels;
    layout->isFloat = tag == WAVE_FORMAT_IEEE_FLOAT && format->wBitsPerSample == 32;
    bool int16 = tag == WAVE_FORMAT_PCM && format->wBitsPerSample == 16;
    return format->nChannels > 0 && (layout->isFloat || int16);
}

int32_t EnginePeriod(void* context, uint32_t* minimumFrames)
{
    Stream* s = (Stream*)context;
    UINT32 standard = 0, fundamental = 0, minimum = 0, maximum = 0;
    HRESULT result = s->client3->GetSharedModeEnginePeriod(s->format, &standard, &fundamental, &minimum, &maximum);
    *minimumFrames = minimum;
    return result;
}

int32_t InitializeClient3(void* context, uint32_t periodFrames)
{
    Stream* s = (Stream*)context;
    return s->client3->InitializeSharedAudioStream(AUDCLNT_STREAMFLAGS_EVENTCALLBACK, periodFrames, s->format,
                                                   nullptr);
}

int32_t InitializeClient(void* context)
{
    Stream* s = (Stream*)context;
    REFERENCE_TIME standard = 0, minimum = 0;
    if (FAILED(s->client->GetDevicePeriod(&standard, &minimum))) minimum = 0;
    DWORD convert = s->converted ? AUDCLNT_STREAMFLAGS_AUTOCONVERTPCM | AUDCLNT_STREAMFLAGS_SRC_DEFAULT_QUALITY : 0;
    return s->client->Initialize(AUDCLNT_SHAREMODE_SHARED, AUDCLNT_STREAMFLAGS_EVENTCALLBACK | convert, minimum, 0,
                                 s->format, nullptr);
}

// The source's own format where it refuses the endpoint's rate: float stereo
// at 48 kHz, which IAudioClient's engine converts to the endpoint's.
bool ConvertFormat(Stream* s)
{
    CoTaskMemFree(s->format);
    s->format = (WAVEFORMATEX*)CoTaskMemAlloc(sizeof(WAVEFORMATEX));
    if (!s->format) return false;
    *s->format = {WAVE_FORMAT_IEEE_FLOAT, 2, ConvertedRate, 8 * ConvertedRate, 8, 32, 0};
    s->converted = true;
    return ReadLayout(s->format, &s->layout) && gOutput.source->prepare(gOutput.source->context, (int)ConvertedRate);
}

void CloseStream(Stream* s)
{
    if (s->client) s->client->Stop();
    ReleaseInterface(&s->render);
    ReleaseInterface(&s->client3);
    ReleaseInterface(&s->client);
    ReleaseInterface(&s->device);
    CoTaskMemFree(s->format);
    CoTaskMemFree(s->endpointId);
    free(s->stereo);
    *s = Stream();
}

// Tops the buffer up to fillFrames with what the source renders. The block
// starts playing once the padding, queued ahead of it, has played: so a
// message stamped one block before now is due at its first frame, and every
// message waits fillFrames (and the engine's own latency).
HRESULT Fill(Stream* s)
{
    UINT32 padding = 0;
    HRESULT result = s->client->GetCurrentPadding(&padding);
    int64_t now = AudioClockNow();
    if (FAILED(result) || padding >= s->fillFrames) return result;
    UINT32 frames = s->fillFrames - padding;
    BYTE* data = nullptr;
    result = s->render->GetBuffer(frames, &data);
    if (FAILED(result)) return result;
    int64_t start = now - (int64_t)frames * AudioClockPerSecond / s->format->nSamplesPerSec;
    gOutput.source->render(gOutput.source->context, s->stereo, frames, start);
    SpreadStereo(s->stereo, frames, s->layout, data);
    return s->render->ReleaseBuffer(frames, 0);
}

void Report(Stream* s, const StreamChoice& choice, UINT32 periodFrames)
{
    AudioStreamReport& r = gOutput.report;
    r = AudioStreamReport();
    r.lowLatency = choice.lowLatency;
    r.client3Result = choice.client3Result;
    r.sampleRate = s->format->nSamplesPerSec;
    r.channels = s->format->nChannels;
    r.periodFrames = periodFrames;
    r.bufferFrames = s->bufferFrames;
    r.fillFrames = s->fillFrames;
    s->client->GetStreamLatency(&r.streamLatency);
}

// The engine's period for the stream in frames: the one IAudioClient3 was
// given, else the device's default period (0 when it cannot be told).
UINT32 PeriodFrames(Stream* s, const StreamChoice& choice)
{
    UINT32 frames = 0;
    WAVEFORMATEX* current = nullptr;
    REFERENCE_TIME standard = 0, minimum = 0;
    if (choice.lowLatency && SUCCEEDED(s->client3->GetCurrentSharedModeEnginePeriod(&current, &frames))) {
        CoTaskMemFree(current);
        return frames;
    }
    if (choice.lowLatency) return choice.periodFrames;
    if (FAILED(s->client->GetDevicePeriod(&standard, &minimum))) return 0;
    return (UINT32)(standard * (REFERENCE_TIME)s->format->nSamplesPerSec / HundredNsPerSecond);
}

// Opens and starts a stream on the default endpoint; false (and nothing
// held) when there is none or it cannot be opened.
bool OpenStream(IMMDeviceEnumerator* enumerator, Stream* s)
{
    if (FAILED(enumerator->GetDefaultAudioEndpoint(eRender, eConsole, &s->device)) ||
        FAILED(s->device->GetId(&s->endpointId))) {
        CloseStream(s);
        return false;
    }
    if (gOutput.tryClient3 &&
        SUCCEEDED(s->device->Activate(__uuidof(IAudioClient3), CLSCTX_ALL, nullptr, (void**)&s->client3))) {
        s->client = s->client3;
        s->client->AddRef();
    } else if (FAILED(s->device->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr, (void**)&s->client))) {
        CloseStream(s);
        return false;
    }
    if (FAILED(s->client->GetMixFormat(&s->format)) || !ReadLayout(s->format, &s->layout) ||
        (!gOutput.source->prepare(gOutput.source->context, (int)s->format->nSamplesPerSec) && !ConvertFormat(s))) {
        CloseStream(s);
        return false;
    }
    StreamCalls calls = {s, s->client3 && !s->converted, EnginePeriod, InitializeClient3, InitializeClient};
    StreamChoice choice = InitializeStream(calls);
    UINT32 period = choice.result >= 0 ? PeriodFrames(s, choice) : 0;
    bool ok = choice.result >= 0 && SUCCEEDED(s->client->SetEventHandle(gOutput.audio)) &&
              SUCCEEDED(s->client->GetBufferSize(&s->bufferFrames)) && s->bufferFrames > 0 &&
              SUCCEEDED(s->client->GetService(__uuidof(IAudioRenderClient), (void**)&s->render));
    if (ok) {
        s->fillFrames = FillFrames(choice.lowLatency, period, s->bufferFrames);
        s->stereo = (float*)malloc(sizeof(float) * 2 * s->bufferFrames);
        ok = s->stereo != nullptr;
    }
    if (ok && gOutput.report.sampleRate == 0) Report(s, choice, period);
    ok = ok && SUCCEEDED(Fill(s)) && SUCCEEDED(s->client->Start());
    if (!ok) CloseStream(s);
    return ok;
}

// True when the default endpoint is no longer the stream's.
bool DefaultEndpointMoved(IMMDeviceEnumerator* enumerator, const Stream* s)
{
    IMMDevice* device = nullptr;
    WCHAR* id = nullptr;
    bool moved = FAILED(enumerator->GetDefaultAudioEndpoint(eRender, eConsole, &device)) ||
                 FAILED(device->GetId(&id)) || wcscmp(id, s->endpointId) != 0;
    CoTaskMemFree(id);
    ReleaseInterface(&device);
    return moved;
}

// Renders period by period; true when asked to stop, false when the stream
// must reopen (its endpoint is gone, or no longer the default). The
// endpoints are looked at only when the watch says the default changed, and
// only after the period's fill.
bool PlayStream(IMMDeviceEnumerator* enumerator, Stream* s)
{
    HANDLE waits[2] = {gOutput.stop, gOutput.audio};
    for (;;) {
        DWORD woke = WaitForMultipleObjects(2, waits, FALSE, FillTimeout);
        if (woke == WAIT_OBJECT_0) return true;
        if (woke != WAIT_OBJECT_0 + 1 && woke != WAIT_TIMEOUT) return false;
        if (FAILED(Fill(s))) return false; // AUDCLNT_E_DEVICE_INVALIDATED above all
        if (gOutput.watch.moved.exchange(false) && DefaultEndpointMoved(enumerator, s)) return false;
    }
}

// No stream: takes what is sent without sound until an endpoint may be
// there (the watch tells, or a while has passed); true when asked to stop.
bool WaitForEndpoint()
{
    HANDLE waits[2] = {gOutput.stop, gOutput.changed};
    for (int i = 0; i < RetryIntervals; i++) {
        DWORD woke = WaitForMultipleObjects(2, waits, FALSE, DiscardInterval);
        gOutput.source->discard(gOutput.source->context);
        if (woke == WAIT_OBJECT_0) return true;
        if (woke == WAIT_OBJECT_0 + 1) break;
    }
    gOutput.watch.moved = false;
    return false;
}

// The endpoint enumerator with the watch registered on it. It may be
// missing for a while (the audio service not running; Wine without an audio
// driver): the render thread then asks again as it waits for an endpoint.
HRESULT WatchEndpoints(IMMDeviceEnumerator** enumerator, bool* watching)
{
    HRESULT result = CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_INPROC_SERVER,
                                      __uuidof(IMMDeviceEnumerator), (void**)enumerator);
    *watching = SUCCEEDED(result) && SUCCEEDED((*enumerator)->RegisterEndpointNotificationCallback(&gOutput.watch));
    return result;
}

DWORD WINAPI RenderThread(void*)
{
    HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    HANDLE task = JoinProAudioTask();
    IMMDeviceEnumerator* enumerator = nullptr;
    bool watching = false;
    // A system without WASAPI at all (no such class) has no audio output.
    gOutput.running = SUCCEEDED(com) && WatchEndpoints(&enumerator, &watching) != REGDB_E_CLASSNOTREG;
    Stream stream = Stream();
    bool open = enumerator && OpenStream(enumerator, &stream);
    SetEvent(gOutput.ready);
    while (gOutput.running) {
        bool stop = open ? PlayStream(enumerator, &stream) : WaitForEndpoint();
        CloseStream(&stream);
        if (stop) break;
        if (!enumerator) WatchEndpoints(&enumerator, &watching);
        open = enumerator && OpenStream(enumerator, &stream);
    }
    if (watching) enumerator->UnregisterEndpointNotificationCallback(&gOutput.watch);
    ReleaseInterface(&enumerator);
    LeaveProAudioTask(task);
    if (SUCCEEDED(com)) CoUninitialize();
    return 0;
}

void CloseHandles()
{
    HANDLE* handles[5] = {&gOutput.thread, &gOutput.stop, &gOutput.changed, &gOutput.ready, &gOutput.audio};
    for (HANDLE* h : handles) {
        if (*h) CloseHandle(*h);
        *h = nullptr;
    }
    gOutput.watch.changed = nullptr;
}

} // namespace

bool AudioOutputPresent()
{
    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IMMDeviceEnumerator* enumerator = nullptr;
    IMMDevice* device = nullptr;
    bool present = SUCCEEDED(CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_INPROC_SERVER,
                                              __uuidof(IMMDeviceEnumerator), (void**)&enumerator)) &&
                   SUCCEEDED(enumerator->GetDefaultAudioEndpoint(eRender, eConsole, &device));
    ReleaseInterface(&device);
    ReleaseInterface(&enumerator);
    if (SUCCEEDED(com)) CoUninitialize();
    return present;
}

bool StartAudioOutput(const AudioSource* source, bool tryClient3)
{
    StopAudioOutput();
    gOutput.source = source;
    gOutput.tryClient3 = tryClient3;
    gOutput.running = false;
    gOutput.report = AudioStreamReport();
    gOutput.watch.moved = false;
    gOutput.stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    gOutput.changed = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    gOutput.ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    gOutput.audio = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    gOutput.watch.changed = gOutput.changed;
    if (gOutput.stop && gOutput.changed && gOutput.ready && gOutput.audio)
        gOutput.thread = CreateThread(nullptr, 0, RenderThread, nullptr, 0, nullptr);
    if (!gOutput.thread) {
        CloseHandles();
        return false;
    }
    SetThreadPriority(gOutput.thread, THREAD_PRIORITY_TIME_CRITICAL);
    WaitForSingleObject(gOutput.ready, INFINITE);
    if (gOutput.running) return true;
    WaitForSingleObject(gOutput.thread, INFINITE);
    CloseHandles();
    return false;
}

void StopAudioOutput()
{
    if (!gOutput.thread) return;
    SetEvent(gOutput.stop);
    WaitForSingleObject(gOutput.thread, INFINITE);
    CloseHandles();
}

int64_t AudioClockNow()
{
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    int64_t ticks = counter.QuadPart, f = gClockFrequency;
    if (f == AudioClockPerSecond) return ticks;
    return ticks / f * AudioClockPerSecond + ticks % f * AudioClockPerSecond / f;
}

AudioStreamReport LastAudioStreamReport()
{
    return gOutput.report;
}

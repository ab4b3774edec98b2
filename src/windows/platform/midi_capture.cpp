// The capture MIDI backend: pretends to be a set of MIDI output devices and
// appends one line per operation to a log file. Configured by environment:
//   QF_MIDI_DEVICES   device names separated by '|' (any characters: on
//                     Windows read as Unicode); unset: one "QF Capture";
//                     set but empty: no device at all
//   QF_MIDI_MAPPER    "0" makes the mapper's capabilities unreadable
//   QF_MIDI_FAIL_OPEN comma-separated ids whose open fails (-1 the mapper)
//   QF_MIDI_LOG       the log: "<t> open <id> ok|fail", "<t> msg <id> <word>",
//                     "<t> close <id>", <t> Unix time in microseconds
#include "portable/play/system_midi.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/time.h>
#endif

static unsigned long long UnixMicroseconds()
{
#ifdef _WIN32
    FILETIME ft;
    GetSystemTimePreciseAsFileTime(&ft);
    unsigned long long t = ((unsigned long long)ft.dwHighDateTime << 32) | ft.dwLowDateTime;
    return (t - 116444736000000000ULL) / 10;
#else
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    return (unsigned long long)tv.tv_sec * 1000000ULL + (unsigned long long)tv.tv_usec;
#endif
}

// Under Wine a Unix path names a file of the Unix side: reach it through Z:.
static void LogPath(const char* path, char* out, size_t size)
{
#ifdef _WIN32
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    bool wine = ntdll && GetProcAddress(ntdll, "wine_get_version");
    if (wine && path[0] == '/') {
        snprintf(out, size, "Z:%s", path);
        return;
    }
#endif
    snprintf(out, size, "%s", path);
}

static void LogLine(const char* format, int id, unsigned word = 0)
{
    const char* path = getenv("QF_MIDI_LOG");
    if (!path || !*path) return;
    char file[1024];
    LogPath(path, file, sizeof(file));
    FILE* f = fopen(file, "ab");
    if (!f) return;
    char text[128];
    snprintf(text, sizeof(text), format, id, word);
    fprintf(f, "%llu %s\n", UnixMicroseconds(), text);
    fflush(f);
    fclose(f);
}

// The device list as UTF-8, or nullptr when it is not set.
static const char* DeviceList()
{
#ifdef _WIN32
    static char utf8[4096];
    const wchar_t* wide = _wgetenv(L"QF_MIDI_DEVICES");
    if (!wide) return nullptr;
    int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, (int)sizeof(utf8), nullptr, nullptr);
    if (n <= 0) utf8[0] = 0;
    return utf8;
#else
    return getenv("QF_MIDI_DEVICES");
#endif
}

// Finds the name of device index in the list; false past its end.
static bool NthDevice(unsigned index, char* name, size_t size)
{
    const char* list = DeviceList();
    if (!list) list = "QF Capture";
    else if (!*list) return false;
    const char* p = list;
    for (unsigned i = 0; i < index; i++) {
        p = strchr(p, '|');
        if (!p) return false;
        p++;
    }
    const char* end = strchr(p, '|');
    size_t n = end ? (size_t)(end - p) : strlen(p);
    if (size) CopyDeviceName(p, n, name, size);
    return true;
}

static bool MapperExists()
{
    const char* mapper = getenv("QF_MIDI_MAPPER");
    return !(mapper && strcmp(mapper, "0") == 0);
}

static bool OpenFails(int id)
{
    const char* list = getenv("QF_MIDI_FAIL_OPEN");
    if (!list) return false;
    const char* p = list;
    while (*p) {
        char* end;
        long v = strtol(p, &end, 10);
        if (end != p && v == id) return true;
        p = strchr(end, ',');
        if (!p) break;
        p++;
    }
    return false;
}

unsigned SystemMidiOutDeviceCount()
{
    unsigned n = 0;
    while (n < 256 && NthDevice(n, nullptr, 0)) n++;
    return n;
}

bool SystemMidiOutDeviceName(int id, char* name, size_t size)
{
    if (id == MidiMapperId) {
        if (!MapperExists()) return false;
        if (size) snprintf(name, size, "%s", "QF Capture Mapper");
        return true;
    }
    if (id < 0) return false;
    return NthDevice((unsigned)id, name, size);
}

bool SystemMidiOutOpenDevice(int id, MidiOutHandle* handle)
{
    bool exists = id == MidiMapperId ? MapperExists() && SystemMidiOutDeviceCount() > 0
                                     : id >= 0 && (unsigned)id < SystemMidiOutDeviceCount();
    if (!exists || OpenFails(id)) {
        LogLine("open %d fail", id);
        return false;
    }
    LogLine("open %d ok", id);
    *handle = (MidiOutHandle)(id + 2);
    return true;
}

unsigned SystemMidiOutSendShort(MidiOutHandle handle, uint32_t word)
{
    LogLine("msg %d %08x", (int)handle - 2, word);
    return 0;
}

void SystemMidiOutCloseDevice(MidiOutHandle handle)
{
    LogLine("close %d", (int)handle - 2);
}

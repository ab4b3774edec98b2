// qftool render of a Standard MIDI File: its channel messages as the file
// holds them, each at its frame.
#include <cctype>
#include <cinttypes>
#include <cstdlib>
#include <cstring>

#include "portable/formats/midi_messages.h"
#include "qftool/render.h"
#include "qftool/tool_output.h"

namespace {

bool NamedAsMidi(const char* path)
{
    const char* dot = strrchr(path, '.');
    if (!dot) return false;
    char extension[6] = {0};
    for (int i = 0; i < 5 && dot[i + 1]; i++) extension[i] = (char)tolower((unsigned char)dot[i + 1]);
    return strcmp(extension, "mid") == 0 || strcmp(extension, "midi") == 0;
}

} // namespace

MidiRenderResult ReadMidiRender(const char* path, uint32_t track, uint32_t rate, RenderMessage** messages,
                              size_t* count)
{
    size_t size = 0;
    uint8_t* bytes = ReadWholeFile(path, &size);
    // Known as a song reader knows it: "MThd" first, else a name ending in
    // .mid or .midi that does not begin as a recording does.
    bool riff = bytes && size >= 4 && memcmp(bytes, "RIFF", 4) == 0;
    if (!bytes || !((size >= 4 && memcmp(bytes, "MThd", 4) == 0) || (!riff && NamedAsMidi(path)))) {
        free(bytes);
        return MidiRenderNotMidi;
    }
    MidiMessageSong song;
    char message[200];
    bool ok = ReadMidiMessages(bytes, size, rate, &song, message, sizeof message);
    free(bytes);
    if (!ok) {
        ToolMessage("qftool: %s: %s\n", path, message);
        return MidiRenderFailed;
    }
    if (track > song.trackCount) {
        ToolMessage("qftool: %s has %" PRIu32 " tracks: --track takes 1 to %" PRIu32 "\n", path, song.trackCount,
                    song.trackCount);
        FreeMidiMessages(&song);
        return MidiRenderFailed;
    }
    RenderMessage* out = (RenderMessage*)malloc((size_t)song.count * sizeof *out + 1);
    if (!out) {
        ToolMessage("qftool: out of memory\n");
        FreeMidiMessages(&song);
        return MidiRenderFailed;
    }
    size_t n = 0;
    for (uint32_t i = 0; i < song.count; i++) {
        const MidiTimedMessage& m = song.messages[i];
        if (track == 0 || m.track + 1u == track) out[n++] = {m.frame, m.message};
    }
    FreeMidiMessages(&song);
    *messages = out;
    *count = n;
    return MidiRenderRead;
}

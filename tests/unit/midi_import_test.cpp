// MIDI files in: the reader on crafted files (running status, tempo changes,
// velocity-0 ends, meta and system-exclusive events, SMPTE time, every kind
// of damage with its message) and the notes turned into key presses.
#include "portable/formats/midi_import.h"
#include "portable/formats/midi_keys.h"
#include "portable/formats/song_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Chunk(const char* type, const Bytes& body)
{
    Bytes chunk(type, type + 4);
    for (int shift = 24; shift >= 0; shift -= 8) chunk.push_back((uint8_t)(body.size() >> shift));
    chunk.insert(chunk.end(), body.begin(), body.end());
    return chunk;
}

// A file of the given format and division with these chunks (tracks unless
// named otherwise); announced: the track count in the header, -1 for as many as given.
Bytes File(int format, int division, const std::vector<Bytes>& tracks, int announced = -1)
{
    int count = announced < 0 ? (int)tracks.size() : announced;
    Bytes file = Chunk("MThd", {0, (uint8_t)format, (uint8_t)(count >> 8), (uint8_t)count, (uint8_t)(division >> 8),
                                (uint8_t)division});
    for (const Bytes& t : tracks) {
        Bytes chunk = Chunk("MTrk", t);
        file.insert(file.end(), chunk.begin(), chunk.end());
    }
    return file;
}

// The notes of a file as "time track channel note velocity", or the message.
std::vector<std::string> Read(const Bytes& file, MidiSong* kept = nullptr)
{
    MidiSong song;
    char message[200];
    if (!ParseMidiFile(file.data(), file.size(), &song, message, sizeof message)) return {message};
    std::vector<std::string> lines;
    for (uint32_t i = 0; i < song.count; i++) {
        const MidiNoteEvent& e = song.events[i];
        lines.push_back(std::to_string(e.timeUs) + " " + std::to_string(e.track) + " " + std::to_string(e.channel) +
                        " " + std::to_string(e.note) + " " + std::to_string(e.velocity));
    }
    if (kept) *kept = song;
    else FreeMidiSong(&song);
    return lines;
}

TEST(MidiImport, NotesAndTheirTimes)
{
    struct Case {
        const char* what;
        Bytes file;
        std::vector<std::string> notes;
    } cases[] = {
        {"format 0: running status, a velocity-0 end, a tempo change, system exclusive, events after the end",
         File(0, 96, {{0x00, 0x90, 60, 100, 0x60, 60, 0, 0x00, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40, 0x00, 0xF0, 0x03,
                       0x01, 0x02, 0xF7, 0x60, 0x91, 62, 0x7F, 0x81, 0x40, 62, 0, 0x00, 0xC1, 5, 0x00, 0xFF, 0x2F,
                       0x00, 0x00, 0x90, 64, 64}}),
         {"0 0 0 60 100", "500000 0 0 60 0", "1500000 0 1 62 127", "3500000 0 1 62 0"}},
        {"format 1: one tempo map for all tracks, equal times in track order, other chunks passed over",
         [] {
             Bytes file = File(1, 384, {{0x00, 0xFF, 0x59, 0x02, 0xFE, 0x01, 0x83, 0x00, 0xFF, 0x51, 0x03, 0x03, 0xD0,
                                         0x90, 0x00, 0x9F, 48, 64, 0x00, 0xFF, 0x2F, 0x00}});
             Bytes other = Chunk("XFIH", {1, 2, 3});
             Bytes second = Chunk("MTrk", {0x00, 0x90, 72, 80, 0x83, 0x00, 0x80, 72, 0, 0x83, 0x00, 0x90, 74, 80});
             file.insert(file.end(), other.begin(), other.end());
             file.insert(file.end(), second.begin(), second.end());
             file[11] = 2;
             return file;
         }(),
         {"0 1 0 72 80", "500000 0 15 48 64", "500000 1 0 72 0", "750000 1 0 74 80"}},
        {"SMPTE time, 25 frames of 40 ticks: a tick is a millisecond whatever the tempo",
         File(0, 0xE728, {{0x00, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40, 0x00, 0x90, 60, 64, 0x87, 0x68, 0x80, 60, 0}}),
         {"0 0 0 60 64", "1000000 0 0 60 0"}},
        {"29.97 frames of 1 tick", File(0, 0xE301, {{0x00, 0x90, 60, 64, 0x1E, 0x80, 60, 0}}),
         {"0 0 0 60 64", "1001000 0 0 60 0"}},
        // Damage, each with its message.
        {"not a MIDI file", Bytes{'M', 'T', 'h', 'x', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96}, {"does not begin with MThd"}},
        {"header", [] { Bytes f = File(0, 96, {{}}); f[7] = 5; return f; }(), {"header chunk is damaged"}},
        {"format 2", File(2, 96, {{}}), {"format 2 holds separate patterns"}},
        {"no tracks", File(1, 96, {}), {"has no tracks"}},
        {"division 0", File(0, 0, {{}}), {"time division is 0"}},
        {"SMPTE 23", File(0, 0xE928, {{}}), {"time division (0xE928) is damaged"}},
        {"fewer tracks", File(1, 96, {{}}, 2), {"ends after 1 of its 2 tracks"}},
        {"cut short", [] { Bytes f = File(0, 96, {{0x00, 0x90, 60, 1}}); f.pop_back(); return f; }(),
         {"cut short: a chunk of 4 bytes at byte 14"}},
        {"no running status", File(0, 96, {{0x00, 60, 64}}), {"track 1: a data byte with no status before it (byte 23)"}},
        {"after a meta event", File(0, 96, {{0x00, 0x90, 60, 64, 0x00, 0xFF, 0x01, 0x00, 0x00, 60, 0}}),
         {"data byte with no status"}},
        {"data above 127", File(0, 96, {{0x00, 0x90, 60, 0x80}}), {"a data byte above 127 (0x80 at byte 25)"}},
        {"long delta", File(0, 96, {{0xFF, 0xFF, 0xFF, 0xFF, 0x7F}}), {"delta-time longer than four bytes"}},
        {"cut event", File(0, 96, {{0x00, 0x90, 60}}), {"track 1 ends inside an event"}},
        {"cut meta", File(0, 96, {{0x00, 0xFF, 0x01, 0x05, 0x41}}), {"an event runs past the end of the track"}},
        {"system common", File(0, 96, {{0x00, 0xF2, 0x00, 0x00}}), {"status byte 0xF2 has no place"}},
        {"times beyond 64 bits", [] {
             Bytes t = {0x00, 0xFF, 0x51, 0x03, 0xFF, 0xFF, 0xFF};
             for (int i = 0; i < 4096; i++) t.insert(t.end(), {0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0x01, 0x00});
             t.insert(t.end(), {0x00, 0x90, 60, 64});
             return File(0, 1, {t});
         }(),
         {"too long"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> got = Read(c.file);
        if (c.notes.size() == 1 && !isdigit((unsigned char)c.notes[0][0])) {
            ASSERT_EQ(1u, got.size()) << c.what;
            EXPECT_NE(std::string::npos, got[0].find(c.notes[0])) << c.what << ": " << got[0];
        } else {
            EXPECT_EQ(c.notes, got) << c.what;
        }
    }
}

// A song of note events: "time-in-us channel note velocity [track]".
MidiSong Song(std::vector<MidiNoteEvent>& events)
{
    return {events.data(), (uint32_t)events.size(), 2, false, 0, false, nullptr};
}

MidiNoteEvent Note(uint64_t us, uint8_t channel, uint8_t note, uint8_t velocity, uint16_t track = 0)
{
    return {us, track, channel, note, velocity, {0, 0, 0}};
}

TEST(MidiImport, NotesBecomeKeyPresses)
{
    struct Case {
        const char* what;
        std::vector<MidiNoteEvent> events;
        uint32_t track;
        std::vector<std::string> records; // "delay message scan shift"
        uint32_t leftOut;
    } cases[] = {
        {"times rounded on the running time; percussion and notes out of reach left out",
         {Note(0, 0, 60, 90), Note(10000, 0, 100, 90), Note(500000, 9, 36, 90), Note(1000400, 0, 64, 90),
          Note(2000500, 0, 60, 0), Note(3000499, 0, 64, 0), Note(3100000, 0, 61, 1), Note(3100000, 0, 100, 0),
          Note(3200000, 0, 61, 0)},
         AllTracks,
         {"0 256 30 0", "1000 256 32 0", "1001 257 30 0", "999 257 32 0", "100 256 44 0", "100 257 44 0"},
         1},
        {"a note that starts while its key is down releases it first; the old note's end is passed over",
         {Note(0, 0, 60, 90), Note(100000, 1, 60, 90), Note(200000, 0, 60, 0), Note(300000, 1, 60, 0),
          Note(400000, 0, 81, 90), Note(500000, 0, 93, 90), Note(550000, 0, 81, 0), Note(600000, 0, 93, 0)},
         AllTracks,
         {"0 256 30 0", "100 257 30 0", "0 256 30 0", "200 257 30 0", "100 256 27 0", "100 257 27 0",
          "0 256 27 1", "100 257 27 1"},
         0},
        {"one track; keys still down at the end are let go at its last event",
         {Note(0, 0, 48, 90, 0), Note(0, 0, 84, 90, 1), Note(1000, 0, 36, 90, 1), Note(2000, 0, 48, 0, 0)},
         2,
         {"0 256 37 1", "1 256 19 -1", "0 257 19 -1", "0 257 37 1"},
         0},
    };
    for (const Case& c : cases) {
        std::vector<MidiNoteEvent> events = c.events;
        SongKeys keys;
        ASSERT_EQ(nullptr, SongKeyEvents(Song(events), c.track, 1297, &keys)) << c.what;
        std::vector<std::string> got;
        for (uint32_t i = 0; i < keys.count; i++) {
            const RecordedEvent& e = keys.events[i];
            EXPECT_EQ(e.message == 256 ? 1u : 0xC0000001u, e.keyData & 0xC000FFFF) << c.what;
            got.push_back(std::to_string(e.delay) + " " + std::to_string(e.message) + " " +
                          std::to_string(e.keyData >> 16 & 0xFF) + " " + std::to_string(e.octaveShift));
        }
        free(keys.events);
        EXPECT_EQ(c.records, got) << c.what;
        EXPECT_EQ(c.leftOut, keys.leftOut) << c.what;
    }

    // Nothing to play, and waits beyond a delay.
    std::vector<MidiNoteEvent> drums = {Note(0, 9, 36, 90)}, high = {Note(0, 0, 120, 90)},
                               late = {Note(0, 0, 60, 90), Note(5000000000000, 0, 60, 0)};
    std::vector<MidiNoteEvent> none, elsewhere = {Note(0, 0, 60, 90, 1), Note(0, 9, 36, 90, 0)};
    SongKeys keys;
    EXPECT_STREQ("no notes to play (the percussion channel 10 is left out)", SongKeyEvents(Song(drums), 0, 1297, &keys));
    EXPECT_STREQ("no notes to play: the file has none", SongKeyEvents(Song(none), 0, 1297, &keys));
    EXPECT_STREQ("no notes to play (the percussion channel 10 is left out)", SongKeyEvents(Song(elsewhere), 1, 1297, &keys));
    EXPECT_STREQ("no notes to play: the track has none", SongKeyEvents(Song(elsewhere), 3, 1297, &keys));
    EXPECT_NE(nullptr, strstr(SongKeyEvents(Song(high), 0, 1297, &keys), "within reach"));
    EXPECT_NE(nullptr, strstr(SongKeyEvents(Song(late), 0, 1297, &keys), "49 days"));
}

TEST(MidiImport, TheSongsKey)
{
    // The first key signature: 3 sharps minor is #f minor; else the key that
    // puts most notes on unshifted keys: 90 is ] only in A major.
    std::vector<MidiNoteEvent> events = {Note(0, 0, 90, 90), Note(1, 0, 92, 90), Note(2, 0, 93, 90),
                                         Note(3, 9, 60, 90)};
    MidiSong song = Song(events);
    EXPECT_EQ(1302, ChooseSongKey(song, AllTracks));
    song.hasKeySignature = true, song.sharps = 3, song.minor = true;
    EXPECT_EQ(1328, ChooseSongKey(song, AllTracks));
    song.sharps = -3, song.minor = false;
    EXPECT_EQ(1313, ChooseSongKey(song, AllTracks));
    MidiSong read;
    ASSERT_EQ(4u, Read(File(0, 96, {{0x00, 0xFF, 0x59, 0x02, 0x01, 0x00, 0x00, 0xFF, 0x59, 0x02, 0x03, 0x01, 0x00, 0x90,
                                     60, 1, 0x00, 0x80, 60, 0, 0x00, 0x90, 61, 1, 0x00, 0x80, 61, 0}}),
                       &read)
                      .size());
    EXPECT_EQ(1301, ChooseSongKey(read, AllTracks)); // the first signature, one sharp: G major
    FreeMidiSong(&read);
}

// What the chooser was shown, and its answer.
struct Asked {
    uint32_t answer, suggested;
    std::vector<std::string> tracks; // "name notes program channel"
};

uint32_t AskTrack(void* context, const SongTrack* tracks, uint32_t count, uint32_t suggested)
{
    Asked* asked = (Asked*)context;
    asked->suggested = suggested;
    for (uint32_t i = 0; i < count; i++)
        asked->tracks.push_back(std::string(tracks[i].name) + " " + std::to_string(tracks[i].noteCount) + " " +
                                std::to_string(tracks[i].program) + " " + std::to_string(tracks[i].channel));
    return asked->answer;
}

TEST(SongFile, TracksTheChooserAndTheMessagesOfEachKind)
{
    // A conductor track; a lead of three notes (after a drum kit's program
    // change) with a control character in its name; drums; a bass named in GBK.
    Bytes file = File(1, 96, {{0x00, 0xFF, 0x03, 0x04, 'S', 'o', 'n', 'g', 0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20},
                              {0x00, 0xFF, 0x03, 0x05, 'L', 'e', 'a', 'd', 0x01, 0x00, 0xC9, 0x01, 0x00, 0xC2, 40,
                               0x00, 0x92, 72, 64, 0x60, 74, 64, 0x60, 76, 64, 0x60, 76, 0},
                              {0x00, 0x99, 36, 100, 0x60, 0x89, 36, 0},
                              {0x00, 0xFF, 0x03, 0x04, 0xB5, 0xCD, 0xD2, 0xF4, 0x00, 0xC1, 33, 0x00, 0x91, 48, 64,
                               0x60, 43, 64, 0x60, 0x81, 48, 0}});
    const std::vector<std::string> listed = {"Song 0 -1 -1", "Lead\\x01 3 40 2", " 0 -1 -1", u8"低音 2 33 1"};
    struct Case {
        uint32_t track, answer; // the track asked for; the chooser's answer (9: no chooser)
        bool ok;
        uint32_t taken, events;
        int32_t program;
        uint32_t asked; // the suggestion shown, 0: not asked
        std::string message;
    } cases[] = {
        {BusiestTrack, 4, true, 4, 4, 33, 2, ""},
        {BusiestTrack, 0, false, 0, 0, -1, 2, ""},
        {BusiestTrack, 9, true, 2, 6, 40, 0, ""},
        {3, 0, false, 0, 0, -1, 0, "x.mid: no notes to play (the percussion channel 10 is left out)"},
        {5, 0, false, 0, 0, -1, 0, "x.mid has 4 tracks: --track takes 1 to 4"},
    };
    for (const Case& c : cases) {
        Asked asked = {c.answer, 0, {}};
        SongFile song;
        SongOptions options = {c.track, true, 1297, false};
        EXPECT_EQ(c.ok, ReadSongImage(file.data(), file.size(), "x.mid", SongFromMidi, options,
                                      c.answer == 9 ? nullptr : AskTrack, &asked, &song));
        EXPECT_EQ(c.taken, song.track) << c.track;
        EXPECT_EQ(c.program, song.program) << c.track;
        EXPECT_EQ(c.asked, asked.suggested) << c.track;
        EXPECT_EQ(c.asked ? listed : std::vector<std::string>(), asked.tracks) << c.track;
        EXPECT_EQ(c.message, song.message ? song.message : "") << c.track;
        EXPECT_EQ(!c.ok && c.message.empty(), song.cancelled) << c.track;
        EXPECT_EQ(c.events, song.data.eventCount) << c.track;
        FreeSongFile(&song);
    }
    // A score's message names its place.
    SongFile song;
    SongOptions options = {BusiestTrack, true, 1297, false};
    EXPECT_FALSE(ReadSongImage((const uint8_t*)"1 2\n 8", 6, u8"歌.txt", SongFromScore, options, nullptr, nullptr, &song));
    EXPECT_EQ(0u, std::string(song.message).find(u8"歌.txt:2:2: unknown token \"8\":")) << song.message;
    EXPECT_TRUE(song.placed);
    FreeSongFile(&song);

    // The kind: by what the file holds, else by its name, among the kinds taken.
    EXPECT_EQ(SongFromMidi, SongKindOf("a.MIDI", (const uint8_t*)"x", 1, AnySongKind));
    EXPECT_EQ(SongFromMidi, SongKindOf("a.txt", (const uint8_t*)"MThd", 4, AnySongKind));
    EXPECT_EQ(SongFromRecording, SongKindOf("a.mid", (const uint8_t*)"RIFF", 4, AnySongKind));
    EXPECT_EQ(SongFromScore, SongKindOf("a.Txt", (const uint8_t*)"1", 1, AnySongKind));
    EXPECT_EQ(SongFromRecording, SongKindOf("a.txt", (const uint8_t*)"1", 1, RecordingOrMidi));
    EXPECT_EQ(SongFromMidi, SongKindOf("a.qfi", (const uint8_t*)"RIFF", 4, MidiOnly));
}

} // namespace

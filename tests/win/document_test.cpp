// The document's window side on a real window: the cleaning of the command
// line, the caption, the file messages, a failed and a plain save, the
// question whose save fails, the start-up load of good, odd and damaged
// files, songs opened from MIDI files and scores, and the safe replacement
// of a file, in a deep folder too. Message
// boxes are answered by a second thread that reads them. File names are
// UTF-8 (u8 literals); what the windows show is read as UTF-16.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "portable/play/performance.h"
#include "windows/program/document_commands.h"
#include "windows/program/document_state.h"
#include "portable/formats/midi_export.h"
#include "portable/formats/recording_file.h"
#include "windows/program/recorder_commands.h"
#include "portable/song/recording.h"
#include "windows/program/app.h"

namespace {

// A UTF-8 text as UTF-16, converted by the system.
std::wstring Wide(const std::string& utf8)
{
    std::wstring out(utf8.size() + 1, L'\0');
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), &out[0], (int)out.size());
    out.resize(n > 0 ? (size_t)n : 0);
    return out;
}

// Answers the next message boxes captioned "QF" with the given buttons, in
// order, and keeps the text of each.
class BoxAnswerer {
public:
    explicit BoxAnswerer(std::vector<int> buttons) : buttons_(std::move(buttons))
    {
        worker_ = std::thread([this] { Run(); });
    }
    ~BoxAnswerer() { Finish(); }

    // Waits until every box has been answered (or 10 s passed); the texts seen.
    std::vector<std::wstring> Finish()
    {
        if (worker_.joinable()) worker_.join();
        return texts_;
    }

private:
    void Run()
    {
        DWORD end = GetTickCount() + 10000;
        HWND last = nullptr;
        while (texts_.size() < buttons_.size() && GetTickCount() < end) {
            HWND box = FindWindowW(L"#32770", L"QF");
            if (!box || box == last || !IsWindowVisible(box)) {
                Sleep(10);
                continue;
            }
            WCHAR text[1024] = L"";
            GetDlgItemTextW(box, 0xFFFF, text, 1024);
            texts_.push_back(text);
            PostMessageA(box, WM_COMMAND, (WPARAM)buttons_[texts_.size() - 1], 0);
            while (IsWindow(box) && GetTickCount() < end) Sleep(10);
            last = box;
        }
    }

    std::vector<int> buttons_;
    std::vector<std::wstring> texts_;
    std::thread worker_;
};

LRESULT CALLBACK DocumentWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND && LOWORD(wParam) == CmdSave) return SaveCommand(window, CmdSave);
    return DefWindowProcW(window, message, wParam, lParam);
}

std::wstring Caption(HWND window)
{
    WCHAR text[600] = L"";
    GetWindowTextW(window, text, 600);
    return text;
}

bool Grayed(HWND window, int id) { return (GetMenuState(GetMenu(window), id, MF_BYCOMMAND) & MF_GRAYED) != 0; }
bool Checked(HWND window, int id) { return (GetMenuState(GetMenu(window), id, MF_BYCOMMAND) & MF_CHECKED) != 0; }

std::string TempPath(const char* name)
{
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    return std::string(folder) + name;
}

RecordedEvent Event(uint32_t delay, int32_t message, int scan)
{
    return RecordedEvent{delay, message, (uint32_t)scan << 16 | 1u, 0};
}

// A window with a menu of the document's and the keys' items, standing in
// for the main window.
class Document : public ::testing::Test {
protected:
    HWND window = nullptr;
    HWND savedMain = nullptr;

    void SetUp() override
    {
        static bool registered = false;
        if (!registered) {
            WNDCLASSW wc = {};
            wc.lpfnWndProc = DocumentWindowProc;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = L"QFDocumentTest";
            RegisterClassW(&wc);
            registered = true;
        }
        HMENU bar = CreateMenu();
        HMENU items = CreatePopupMenu();
        for (int id = 1282; id <= 1333; id++) AppendMenuA(items, MF_STRING, id, "x");
        for (int id = 1024; id < 1152; id++) AppendMenuA(items, MF_STRING, id, "i");
        AppendMenuA(bar, MF_POPUP, (UINT_PTR)items, "d");
        window = CreateWindowW(L"QFDocumentTest", L"", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, bar,
                               GetModuleHandleW(nullptr), nullptr);
        savedMain = gMainWindow;
        gMainWindow = window;
        ResetPerformanceSettings();
        CheckCommand(gSettings.keyId, true);
        gDocument = DocumentState();
        ReleaseRecordingEvents();
    }

    void TearDown() override
    {
        gMainWindow = savedMain;
        DestroyWindow(window);
        ReleaseRecordingEvents();
        ReleasePlaybackCopy();
        ResetPerformanceSettings();
        gDocument = DocumentState();
    }

    void Record(std::vector<RecordedEvent> events)
    {
        ASSERT_TRUE(ReplaceRecordingEvents(events.data(), (uint32_t)events.size()));
        gDocument.modified = true;
    }
};

TEST(CommandLinePath, BlanksAndOnePairOfQuotesGo)
{
    struct Case {
        const char* commandLine;
        const char* path;
    } cases[] = {
        {"", ""},
        {"   ", ""},
        {"a.qfi", "a.qfi"},
        {" \ta.qfi \t", "a.qfi"},
        {"\"C:\\My Music\\a b.qfi\"", "C:\\My Music\\a b.qfi"},
        {"  \"x.qfi\"  ", "x.qfi"},
        {"\"\"", ""},
        {"\"", "\""},                        // a lone quote is no pair
        {"\"a.qfi\" b", "\"a.qfi\" b"},       // not enclosing: taken as it is
        {"\"\"a.qfi\"\"", "\"a.qfi\""},       // one pair only
        {u8"C:\\曲子 ♫.qfi", u8"C:\\曲子 ♫.qfi"},
    };
    for (const Case& c : cases) {
        char path[FilePathSize] = "untouched";
        EXPECT_TRUE(CommandLinePath(c.commandLine, path)) << c.commandLine;
        EXPECT_STREQ(c.path, path) << c.commandLine;
    }
}

TEST(CommandLinePath, TheLongestPathThatFitsTheBuffers)
{
    char path[FilePathSize];
    std::string fits(259, 'x');
    EXPECT_TRUE(CommandLinePath(fits.c_str(), path));
    EXPECT_EQ(fits, path);
    EXPECT_TRUE(CommandLinePath(("\"" + fits + "\"").c_str(), path)); // the quotes do not count
    EXPECT_EQ(fits, path);
    EXPECT_FALSE(CommandLinePath((fits + "y").c_str(), path));
    EXPECT_FALSE(CommandLinePath(std::string(40000, 'z').c_str(), path));
    // The limit counts UTF-16 units as the system does: 259 characters of
    // three UTF-8 bytes each fit, 129 of four bytes (two units each) and one
    // more unit do not.
    std::string wide;
    for (int i = 0; i < 259; i++) wide += u8"♫";
    EXPECT_TRUE(CommandLinePath(wide.c_str(), path));
    EXPECT_EQ(wide, path);
    std::string pairs = "x";
    for (int i = 0; i < 129; i++) pairs += u8"𝄞";
    EXPECT_TRUE(CommandLinePath(pairs.c_str(), path));
    EXPECT_FALSE(CommandLinePath((pairs + "x").c_str(), path));
}

TEST_F(Document, CaptionNamesTheDocumentOrSaysUntitled)
{
    SetDocumentTitle(window, "");
    EXPECT_EQ(L"琴坊 - [未命名]", Caption(window));
    // A name beyond GBK and beyond the BMP (kept out of the check's own
    // text, which is GBK).
    SetDocumentTitle(window, u8"歌曲 ♫𝄞.qfi");
    const std::wstring caption = L"琴坊 - [歌曲 ♫𝄞.qfi]";
    EXPECT_EQ(caption, Caption(window));
}

TEST_F(Document, FileMessagesFillInTheNameOrUntitled)
{
    BoxAnswerer answers({IDOK, IDOK, IDOK});
    ShowFileError(window, CannotReadFileMessage, "");
    ShowFileError(window, NotStandardFileMessage, u8"歌曲 ♫.qfi");
    std::string lead(FilePathUnits - 3, 'x');
    ShowFileError(window, CannotOpenFileMessage, (lead + u8"曲子曲子").c_str()); // 261 units, cut to 259
    std::vector<std::wstring> texts = answers.Finish();
    ASSERT_EQ(3u, texts.size());
    EXPECT_EQ(L"不能读取文件未命名.", texts[0]);
    const std::wstring notStandard = L"文件歌曲 ♫.qfi不是标准的琴坊文件.";
    EXPECT_EQ(notStandard, texts[1]);
    EXPECT_EQ(L"不能找到或打开文件" + Wide(lead) + L"曲子....", texts[2]);
}

TEST_F(Document, FailedSaveLeavesTheDocumentUntitled)
{
    Record({Event(0, 256, 30), Event(100, 257, 30)});
    std::string path = TempPath("qf-no-such-folder\\x.qfi");
    strcpy(gDocument.filePath, path.c_str());
    strcpy(gDocument.fileTitle, "x.qfi");
    SetDocumentTitle(window, gDocument.fileTitle);
    EnableCommand(CmdSave, true);
    BoxAnswerer answers({IDOK});
    EXPECT_EQ(0, SaveCommand(window, CmdSave));
    std::vector<std::wstring> texts = answers.Finish();
    ASSERT_EQ(1u, texts.size());
    EXPECT_EQ(L"不能创建文件x.qfi.", texts[0]);
    EXPECT_EQ("", std::string(gDocument.fileTitle));
    EXPECT_EQ(L"琴坊 - [未命名]", Caption(window));
    EXPECT_TRUE(gDocument.modified);
    EXPECT_FALSE(Grayed(window, CmdSave)) << "a failed save changes no enabled state";
}

TEST_F(Document, PlainSaveWritesKeyAndAutoBassAndGreysSave)
{
    Record({Event(0, 256, 30), Event(100, 257, 30), Event(5, 256, 31)});
    gSettings.keyId = 1313;
    gSettings.autoBass = true;
    std::string path = TempPath("qf-document-save.qfi");
    strcpy(gDocument.filePath, path.c_str());
    strcpy(gDocument.fileTitle, "qf-document-save.qfi");
    EnableCommand(CmdSave, true);
    EXPECT_EQ(1, SaveCommand(window, CmdSave)); // a name already: no dialog
    EXPECT_FALSE(gDocument.modified);
    EXPECT_TRUE(Grayed(window, CmdSave));
    EXPECT_EQ(L"琴坊 - [qf-document-save.qfi]", Caption(window));
    RecordingFileData data;
    ASSERT_EQ(nullptr, ReadRecordingFile(path.c_str(), &data));
    EXPECT_EQ(3u, data.eventCount);
    EXPECT_EQ(1313u, data.keyId);
    EXPECT_TRUE(data.autoBass);
    EXPECT_EQ(0x1F0001u, data.events[2].keyData);
    free(data.events);
    DeleteFileA(path.c_str());
}

TEST_F(Document, YesWhoseSaveFailsCountsAsCancel)
{
    Record({Event(0, 256, 30)});
    std::string path = TempPath("qf-no-such-folder\\y.qfi");
    strcpy(gDocument.filePath, path.c_str());
    strcpy(gDocument.fileTitle, "y.qfi");
    BoxAnswerer answers({IDYES, IDOK});
    EXPECT_FALSE(MayDiscardDocument(window));
    std::vector<std::wstring> texts = answers.Finish();
    ASSERT_EQ(2u, texts.size());
    EXPECT_EQ(L"保存当前的变化在 y.qfi?", texts[0]);
    EXPECT_EQ(L"不能创建文件y.qfi.", texts[1]);

    // No lets the changes go; nothing unsaved asks nothing.
    BoxAnswerer no({IDNO});
    EXPECT_TRUE(MayDiscardDocument(window));
    EXPECT_EQ(1u, no.Finish().size());
    gDocument.modified = false;
    EXPECT_TRUE(MayDiscardDocument(window));
}

TEST_F(Document, StartupLoadTakesKeyAndAutoBassButNotExport)
{
    std::string path = TempPath(u8"qf start 曲 ♫.qfi");
    RecordedEvent events[2] = {Event(0, 256, 30), Event(100, 257, 30)};
    ASSERT_EQ(nullptr, WriteRecordingFile(events, 2, 1302, 1, path.c_str()));
    EnableCommand(CmdExport, false);
    StartupLoad(window, ("\"" + path + "\"").c_str());
    EXPECT_EQ(L"琴坊 - [" + Wide(path) + L"]", Caption(window));
    EXPECT_EQ(path, std::string(gDocument.filePath));
    EXPECT_EQ(2u, gRecording.count);
    EXPECT_EQ(2u, PlaybackCopyCount());
    EXPECT_EQ(1302, gSettings.keyId);
    EXPECT_TRUE(Checked(window, 1302));
    EXPECT_FALSE(Checked(window, 1297));
    EXPECT_TRUE(gSettings.autoBass);
    EXPECT_TRUE(Checked(window, CmdAutoBass));
    EXPECT_FALSE(gDocument.modified);
    EXPECT_TRUE(Grayed(window, CmdSave));
    EXPECT_FALSE(Grayed(window, CmdSaveAs));
    EXPECT_FALSE(Grayed(window, CmdPlay));
    EXPECT_FALSE(Grayed(window, CmdLoop));
    EXPECT_TRUE(Grayed(window, CmdExport)) << "export follows with the end of the first play";
    EXPECT_TRUE(Grayed(window, CmdStopPlaying));
    DeleteFileW(Wide(path).c_str());
}

TEST_F(Document, StartupLoadOfAFileWithAnOddKeyKeepsTheKey)
{
    std::string path = TempPath("qf-odd-key.qfi");
    RecordedEvent events[1] = {Event(0, 256, 30)};
    ASSERT_EQ(nullptr, WriteRecordingFile(events, 1, 1306, 0, path.c_str())); // in 1297..1332, yet no key
    StartupLoad(window, path.c_str());
    EXPECT_EQ(1u, gRecording.count);
    EXPECT_EQ(1297, gSettings.keyId);
    EXPECT_TRUE(Checked(window, 1297));
    EXPECT_FALSE(Checked(window, 1306));
    EXPECT_EQ(L"琴坊 - [" + Wide(path) + L"]", Caption(window));
    DeleteFileA(path.c_str());
}

TEST_F(Document, StartupLoadFailuresLeaveTheRecordingAndSayUntitled)
{
    Record({Event(0, 256, 30)});
    gDocument.modified = false;
    std::string missing = TempPath("qf-missing.qfi");
    std::string tooLong(300, 'x');
    BoxAnswerer answers({IDOK, IDOK});
    StartupLoad(window, missing.c_str());
    EXPECT_EQ(L"琴坊 - [未命名]", Caption(window));
    EXPECT_EQ("", std::string(gDocument.fileTitle));
    StartupLoad(window, tooLong.c_str());
    std::vector<std::wstring> texts = answers.Finish();
    ASSERT_EQ(2u, texts.size());
    EXPECT_EQ(L"不能找到或打开文件" + Wide(missing) + L".", texts[0]);
    EXPECT_EQ(L"不能找到或打开文件" + Wide(tooLong.substr(0, FilePathUnits - 1)) + L"....", texts[1]);
    EXPECT_EQ(L"琴坊 - [未命名]", Caption(window));
    EXPECT_EQ(1u, gRecording.count);
    EXPECT_EQ(1297, gSettings.keyId);

    // Blanks only: untitled, and no message.
    StartupLoad(window, "  ");
    EXPECT_EQ(L"琴坊 - [未命名]", Caption(window));
}

} // namespace

// A temporary name goes into the file's own folder, and whether it fits the
// classic path length is counted in UTF-16 units, as the system counts, not
// in the UTF-8 bytes of the name.
TEST(SafeReplacement, TemporaryNameInTheFilesFolder)
{
    char name[4 * MAX_PATH];
    ASSERT_TRUE(TempNameBeside(u8"C:\\乗\\曲.qfi", 0, name, sizeof(name)));
    EXPECT_STREQ(u8"C:\\乗\\~qf0.tmp", name);
    ASSERT_TRUE(TempNameBeside(u8"乗.qfi", 3, name, sizeof(name)));
    EXPECT_STREQ("~qf3.tmp", name);
    std::string folder = "C:\\" + std::string(252, 'a') + "\\"; // no room left for a second name
    EXPECT_FALSE(TempNameBeside((folder + "b").c_str(), 0, name, sizeof(name)));
    std::string chinese = "C:\\";
    for (int i = 0; i < 200; i++) chinese += u8"曲"; // 600 bytes, 200 units
    ASSERT_TRUE(TempNameBeside((chinese + u8"\\歌.qfi").c_str(), 0, name, sizeof(name)));
    EXPECT_EQ(chinese + "\\~qf0.tmp", name);

    // Saving into a folder with such a name, under a name beyond GBK and
    // beyond the BMP, replaces the file.
    WCHAR temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring dir = std::wstring(temp) + L"乗録 ♫";
    CreateDirectoryW(dir.c_str(), nullptr);
    std::wstring file = dir + L"\\歌曲 𝄞.qfi";
    char path[FilePathSize];
    WideCharToMultiByte(CP_UTF8, 0, file.c_str(), -1, path, sizeof path, nullptr, nullptr);
    RecordedEvent events[1] = {{10, 256, 0x001E0001, 0}};
    ASSERT_EQ(nullptr, WriteRecordingFile(events, 1, 1297, 0, path));
    ASSERT_EQ(nullptr, WriteRecordingFile(events, 1, 1302, 1, path));
    RecordingFileData data;
    ASSERT_EQ(nullptr, ReadRecordingFile(path, &data));
    EXPECT_EQ(1302u, data.keyId);
    free(data.events);
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &found);
    std::vector<std::wstring> files;
    if (h != INVALID_HANDLE_VALUE) {
        do
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) files.push_back(found.cFileName);
        while (FindNextFileW(h, &found));
        FindClose(h);
    }
    const std::vector<std::wstring> only = {L"歌曲 𝄞.qfi"};
    EXPECT_EQ(only, files); // no temporary file left behind
    DeleteFileW(file.c_str());
    RemoveDirectoryW(dir.c_str());
}

namespace {

std::string FileBytes(const std::string& path)
{
    std::string bytes;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return bytes;
    char block[512];
    size_t n;
    while ((n = fread(block, 1, sizeof block, f)) > 0) bytes.append(block, n);
    fclose(f);
    return bytes;
}

void PutFileBytes(const std::string& path, const std::string& bytes)
{
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, f) << path;
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

// Which file of the disk a path names now (the file's index).
uint64_t FileIdentity(const std::string& path)
{
    HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    BY_HANDLE_FILE_INFORMATION info = {};
    bool ok = h != INVALID_HANDLE_VALUE && GetFileInformationByHandle(h, &info);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    return ok ? (uint64_t)info.nFileIndexHigh << 32 | info.nFileIndexLow : 0;
}

std::vector<std::string> FilesIn(const std::string& dir)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return names;
    do
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    while (FindNextFileA(h, &found));
    FindClose(h);
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

// A save or an export into a folder so deep that the usual temporary name
// does not fit: a shorter one is taken, and the file at the target is
// replaced by a new file, never opened and rewritten itself; when no
// temporary name fits, the file cannot be created and stays as it was.
TEST(SafeReplacement, DeepFolderNeverWritesTheTargetInPlace)
{
    struct Case {
        int folderLength; // with its closing backslash
        const char* name;
        int taken;        // ~qf0.tmp .. ~qf<taken - 1>.tmp exist already
        bool exportIt;
        bool fits;        // some temporary name fits
        bool odd;         // ~qf0.tmp is a folder and ~qf1.tmp a read-only file
        bool relative;    // named from the folder itself
    };
    const Case cases[] = {
        {253, "a.qfi", 0, false, true, false, false}, // ~qf0.tmp makes 261 characters
        {251, "a.mid", 10, true, true, false, false}, // ~qf0..9.tmp taken, ~qf10.tmp makes 260
        {258, "a", 0, false, false, false, false},    // not even a two-letter name fits
        {258, "b", 0, true, false, false, false},
        {40, "c.qfi", 0, false, true, true, false},   // names that cannot be created give way
        {253, "d.qfi", 0, false, true, false, true},  // the full path counts, not the name typed
    };
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string base = std::string(temp) + "qf-deep";
    ASSERT_TRUE(CreateDirectoryA(base.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    base += "\\";
    const RecordedEvent events[2] = {{10, 256, 0x001E0001, 0}, {20, 257, 0xC01E0001, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string dir = base + std::string(c.folderLength - 1 - base.size(), 'd');
        ASSERT_TRUE(CreateDirectoryA(dir.c_str(), nullptr)) << dir.size();
        std::string path = dir + "\\" + c.name;
        ASSERT_EQ((size_t)c.folderLength + strlen(c.name), path.size());
        PutFileBytes(path, "the earlier file");
        std::vector<std::string> before = {c.name};
        for (int i = 0; i < c.taken; i++) {
            std::string taken = "~qf" + std::to_string(i) + ".tmp";
            PutFileBytes(dir + "\\" + taken, "taken");
            before.push_back(taken);
        }
        if (c.odd) {
            ASSERT_TRUE(CreateDirectoryA((dir + "\\~qf0.tmp").c_str(), nullptr));
            PutFileBytes(dir + "\\~qf1.tmp", "left over");
            SetFileAttributesA((dir + "\\~qf1.tmp").c_str(), FILE_ATTRIBUTE_READONLY);
            before.push_back("~qf1.tmp");
        }
        std::sort(before.begin(), before.end());
        uint64_t identity = FileIdentity(path);
        ASSERT_NE(0u, identity);
        char current[MAX_PATH];
        GetCurrentDirectoryA(MAX_PATH, current);
        if (c.relative) {
            ASSERT_TRUE(SetCurrentDirectoryA(dir.c_str()));
        }
        std::string target = c.relative ? c.name : path;

        bool written;
        if (c.exportIt) {
            written = ExportMidiFile(events, 2, 1297, 0, 0, target.c_str()) == 1;
        } else {
            const char* message = WriteRecordingFile(events, 2, 1297, 0, target.c_str());
            written = message == nullptr;
            if (!c.fits) {
                EXPECT_STREQ("不能创建文件%s.", message);
            }
        }
        EXPECT_EQ(c.fits, written);
        if (c.relative) {
            // The name typed is short; the folder makes it long.
            char name[MAX_PATH];
            EXPECT_FALSE(TempNameBeside(c.name, 0, name, sizeof name));
            EXPECT_TRUE(TempNameBeside(c.name, 10, name, sizeof name));
            SetCurrentDirectoryA(current);
        }
        std::string bytes = FileBytes(path);
        if (c.fits) {
            EXPECT_EQ(c.exportIt ? "MThd" : "RIFF", bytes.substr(0, 4));
            EXPECT_NE(identity, FileIdentity(path)) << "the target was rewritten in place";
        } else {
            EXPECT_EQ("the earlier file", bytes);
        }
        EXPECT_EQ(before, FilesIn(dir)); // no temporary file left behind
        for (const std::string& name : FilesIn(dir)) {
            SetFileAttributesA((dir + "\\" + name).c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA((dir + "\\" + name).c_str());
        }
        RemoveDirectoryA((dir + "\\~qf0.tmp").c_str());
        RemoveDirectoryA(dir.c_str());
    }
    RemoveDirectoryA(base.c_str());
}

// A MIDI file and a score open as new, untitled recordings with their key
// (and the MIDI track's instrument); a damaged MIDI file shows the reader's
// message and changes nothing.
TEST_F(Document, SongsFromMidiFilesAndScores)
{
    const std::string midi("MThd\0\0\0\6\0\0\0\1\0\x60MTrk\0\0\0\x1d\0\xff\x59\2\1\0\0\xc0\x28\0\x90\x43\x40"
                           "\x60\x80\x43\0\0\x90\x47\x40\x60\x80\x47\0\0\xff\x2f\0", 51);
    struct Case {
        const char* name;
        std::string bytes;
        SongKind kind;
        int32_t keyId, instrument;
        uint32_t track;
    } cases[] = {
        {"qf-song.mid", midi, SongFromMidi, 1301, 40, 1},
        {"qf-song.txt", "1=D 4=120\n1 2 |", SongFromScore, 1298, 40, 0}, // the instrument stays
    };
    for (const Case& c : cases) {
        std::string path = TempPath(c.name);
        PutFileBytes(path, c.bytes);
        StartupLoad(window, path.c_str());
        EXPECT_EQ(4u, gRecording.count) << c.name;
        EXPECT_EQ(c.keyId, gSettings.keyId) << c.name;
        EXPECT_TRUE(Checked(window, c.keyId) && !Checked(window, 1297)) << c.name;
        EXPECT_EQ(c.instrument, gSettings.instrument) << c.name;
        EXPECT_TRUE(Checked(window, 1024 + c.instrument) && !Checked(window, 1024)) << c.name;
        EXPECT_EQ("", std::string(gDocument.fileTitle)) << c.name;
        EXPECT_TRUE(gDocument.modified) << c.name;
        EXPECT_FALSE(Grayed(window, CmdSave)) << c.name;
        EXPECT_EQ(L"琴坊 - [" + Wide(path) + L"]", Caption(window)) << c.name;
        EXPECT_EQ(path, std::string(gDocument.songPath)) << c.name;
        EXPECT_TRUE(c.kind == gDocument.songKind && c.track == gDocument.songTrack &&
                    c.bytes.size() == gDocument.songFileSize) << c.name;
        DeleteFileA(path.c_str());
    }

    std::string cut = TempPath("qf-cut.mid");
    PutFileBytes(cut, midi.substr(0, 26));
    strcpy(gDocument.fileTitle, "kept.qfi");
    BoxAnswerer answers({IDOK});
    EXPECT_FALSE(OpenSongFile(window, cut.c_str(), "qf-cut.mid"));
    std::vector<std::wstring> texts = answers.Finish();
    ASSERT_EQ(1u, texts.size());
    EXPECT_EQ(L"qf-cut.mid: the MIDI file is cut short: a chunk of 29 bytes at byte 14 runs past its end", texts[0]);
    EXPECT_EQ(4u, gRecording.count);
    EXPECT_EQ(1298, gSettings.keyId);
    EXPECT_EQ("kept.qfi", std::string(gDocument.fileTitle));
    EXPECT_EQ(SongFromScore, gDocument.songKind);
    DeleteFileA(cut.c_str());
}

// A file dropped on the window opens as the open command opens it, by its
// name; while recording the drop is refused and nothing changes.
TEST_F(Document, DroppedFileOpensExceptWhileRecording)
{
    std::string path = TempPath("qf-drop.txt");
    PutFileBytes(path, "1=A 1 2");
    std::wstring wide = Wide(path);
    for (bool recording : {true, false}) {
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + (wide.size() + 2) * 2);
        DROPFILES* files = (DROPFILES*)GlobalLock(memory);
        *files = {sizeof(DROPFILES), {0, 0}, FALSE, TRUE};
        memcpy(files + 1, wide.c_str(), wide.size() * 2);
        GlobalUnlock(memory);
        gRecording.isRecording = recording;
        DropFilesMessage(window, (HDROP)memory);
        gRecording.isRecording = false;
        EXPECT_EQ(recording ? 1297 : 1302, gSettings.keyId);
        EXPECT_EQ(recording ? 0u : 4u, gRecording.count);
        EXPECT_EQ(recording ? L"" : L"琴坊 - [qf-drop.txt]", Caption(window));
    }
    DeleteFileA(path.c_str());
}

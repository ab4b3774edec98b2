// The document's window side on a real window: the cleaning of the command
// line, the caption, the file messages, a failed and a plain save, the
// question whose save fails, the start-up load of good, odd and damaged
// files, and the safe replacement of a file, in a deep folder too. Message
// boxes are answered by a second thread that reads them.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "engine/performance.h"
#include "files/document_commands.h"
#include "files/document_state.h"
#include "files/midi_export.h"
#include "files/recording_file.h"
#include "recorder/recorder_commands.h"
#include "recorder/recording.h"
#include "shell/app.h"

namespace {

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
    std::vector<std::string> Finish()
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
            HWND box = FindWindowA("#32770", "QF");
            if (!box || box == last || !IsWindowVisible(box)) {
                Sleep(10);
                continue;
            }
            char text[1024] = "";
            GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
            texts_.push_back(text);
            PostMessageA(box, WM_COMMAND, (WPARAM)buttons_[texts_.size() - 1], 0);
            while (IsWindow(box) && GetTickCount() < end) Sleep(10);
            last = box;
        }
    }

    std::vector<int> buttons_;
    std::vector<std::string> texts_;
    std::thread worker_;
};

LRESULT CALLBACK DocumentWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND && LOWORD(wParam) == CmdSave) return SaveCommand(window, CmdSave);
    return DefWindowProcA(window, message, wParam, lParam);
}

std::string Caption(HWND window)
{
    char text[600] = "";
    GetWindowTextA(window, text, sizeof text);
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
            WNDCLASSA wc = {};
            wc.lpfnWndProc = DocumentWindowProc;
            wc.hInstance = GetModuleHandleA(nullptr);
            wc.lpszClassName = "QFDocumentTest";
            RegisterClassA(&wc);
            registered = true;
        }
        HMENU bar = CreateMenu();
        HMENU items = CreatePopupMenu();
        for (int id = 1282; id <= 1333; id++) AppendMenuA(items, MF_STRING, id, "x");
        AppendMenuA(bar, MF_POPUP, (UINT_PTR)items, "d");
        window = CreateWindowA("QFDocumentTest", "", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, bar,
                               GetModuleHandleA(nullptr), nullptr);
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
        {"C:\\曲子 1.qfi", "C:\\曲子 1.qfi"},
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
    std::string fits(FilePathSize - 1, 'x');
    EXPECT_TRUE(CommandLinePath(fits.c_str(), path));
    EXPECT_EQ(fits, path);
    EXPECT_TRUE(CommandLinePath(("\"" + fits + "\"").c_str(), path)); // the quotes do not count
    EXPECT_EQ(fits, path);
    EXPECT_FALSE(CommandLinePath((fits + "y").c_str(), path));
    EXPECT_FALSE(CommandLinePath(std::string(40000, 'z').c_str(), path));
}

TEST_F(Document, CaptionNamesTheDocumentOrSaysUntitled)
{
    SetDocumentTitle(window, "");
    EXPECT_EQ("琴坊 - [未命名]", Caption(window));
    SetDocumentTitle(window, "曲子.qfi");
    EXPECT_EQ("琴坊 - [曲子.qfi]", Caption(window));
}

TEST_F(Document, FileMessagesFillInTheNameOrUntitled)
{
    BoxAnswerer answers({IDOK, IDOK, IDOK});
    ShowFileError(window, CannotReadFileMessage, "");
    ShowFileError(window, NotStandardFileMessage, "a.qfi");
    std::string lead(FilePathSize - 3, 'x');
    ShowFileError(window, CannotOpenFileMessage, (lead + "曲子曲子").c_str()); // cut between characters
    std::vector<std::string> texts = answers.Finish();
    ASSERT_EQ(3u, texts.size());
    EXPECT_EQ("不能读取文件未命名.", texts[0]);
    EXPECT_EQ("文件a.qfi不是标准的琴坊文件.", texts[1]);
    EXPECT_EQ("不能找到或打开文件" + lead + "曲...." , texts[2]);
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
    std::vector<std::string> texts = answers.Finish();
    ASSERT_EQ(1u, texts.size());
    EXPECT_EQ("不能创建文件x.qfi.", texts[0]);
    EXPECT_EQ("", std::string(gDocument.fileTitle));
    EXPECT_EQ("琴坊 - [未命名]", Caption(window));
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
    EXPECT_EQ("琴坊 - [qf-document-save.qfi]", Caption(window));
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
    std::vector<std::string> texts = answers.Finish();
    ASSERT_EQ(2u, texts.size());
    EXPECT_EQ("保存当前的变化在 y.qfi?", texts[0]);
    EXPECT_EQ("不能创建文件y.qfi.", texts[1]);

    // No lets the changes go; nothing unsaved asks nothing.
    BoxAnswerer no({IDNO});
    EXPECT_TRUE(MayDiscardDocument(window));
    EXPECT_EQ(1u, no.Finish().size());
    gDocument.modified = false;
    EXPECT_TRUE(MayDiscardDocument(window));
}

TEST_F(Document, StartupLoadTakesKeyAndAutoBassButNotExport)
{
    std::string path = TempPath("qf start 曲.qfi");
    RecordedEvent events[2] = {Event(0, 256, 30), Event(100, 257, 30)};
    ASSERT_EQ(nullptr, WriteRecordingFile(events, 2, 1302, 1, path.c_str()));
    EnableCommand(CmdExport, false);
    StartupLoad(window, ("\"" + path + "\"").c_str());
    EXPECT_EQ("琴坊 - [" + path + "]", Caption(window));
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
    DeleteFileA(path.c_str());
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
    EXPECT_EQ("琴坊 - [" + path + "]", Caption(window));
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
    EXPECT_EQ("琴坊 - [未命名]", Caption(window));
    EXPECT_EQ("", std::string(gDocument.fileTitle));
    StartupLoad(window, tooLong.c_str());
    std::vector<std::string> texts = answers.Finish();
    ASSERT_EQ(2u, texts.size());
    EXPECT_EQ("不能找到或打开文件" + missing + ".", texts[0]);
    EXPECT_EQ("不能找到或打开文件" + tooLong.substr(0, FilePathSize - 1) + "....", texts[1]);
    EXPECT_EQ("琴坊 - [未命名]", Caption(window));
    EXPECT_EQ(1u, gRecording.count);
    EXPECT_EQ(1297, gSettings.keyId);

    // Blanks only: untitled, and no message.
    StartupLoad(window, "  ");
    EXPECT_EQ("琴坊 - [未命名]", Caption(window));
}

} // namespace

// A temporary name goes into the file's own folder, even when a double-byte
// character of the path ends in the backslash byte (乗 is 81 5C in GBK).
TEST(SafeReplacement, TemporaryNameInTheFilesFolder)
{
    char name[MAX_PATH + 32];
    ASSERT_TRUE(TempNameBeside("C:\\乗\\曲.qfi", 0, name, sizeof(name)));
    EXPECT_STREQ("C:\\乗\\~qf0.tmp", name);
    ASSERT_TRUE(TempNameBeside("乗.qfi", 3, name, sizeof(name)));
    EXPECT_STREQ("~qf3.tmp", name);
    std::string folder = "C:\\" + std::string(252, 'a') + "\\"; // no room left for a second name
    EXPECT_FALSE(TempNameBeside((folder + "b").c_str(), 0, name, sizeof(name)));

    // Saving into a folder whose name holds such a character replaces the file.
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string dir = std::string(temp) + "乗録";
    CreateDirectoryA(dir.c_str(), nullptr);
    std::string file = dir + "\\乗.qfi";
    RecordedEvent events[1] = {{10, 256, 0x001E0001, 0}};
    ASSERT_EQ(nullptr, WriteRecordingFile(events, 1, 1297, 0, file.c_str()));
    ASSERT_EQ(nullptr, WriteRecordingFile(events, 1, 1302, 1, file.c_str()));
    RecordingFileData data;
    ASSERT_EQ(nullptr, ReadRecordingFile(file.c_str(), &data));
    EXPECT_EQ(1302u, data.keyId);
    free(data.events);
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &found);
    int files = 0;
    if (h != INVALID_HANDLE_VALUE) {
        do
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) files++;
        while (FindNextFileA(h, &found));
        FindClose(h);
    }
    EXPECT_EQ(1, files); // no temporary file left behind
    DeleteFileA(file.c_str());
    RemoveDirectoryA(dir.c_str());
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
    };
    const Case cases[] = {
        {253, "a.qfi", 0, false, true}, // ~qf0.tmp makes 261 characters
        {251, "a.mid", 10, true, true}, // ~qf0..9.tmp taken, ~qf10.tmp makes 260
        {258, "a", 0, false, false},    // not even a two-letter name fits
        {258, "b", 0, true, false},
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
        std::sort(before.begin(), before.end());
        uint64_t identity = FileIdentity(path);
        ASSERT_NE(0u, identity);

        bool written;
        if (c.exportIt) {
            written = ExportMidiFile(events, 2, 1297, 0, 0, path.c_str()) == 1;
        } else {
            const char* message = WriteRecordingFile(events, 2, 1297, 0, path.c_str());
            written = message == nullptr;
            if (!c.fits) {
                EXPECT_STREQ("不能创建文件%s.", message);
            }
        }
        EXPECT_EQ(c.fits, written);
        std::string bytes = FileBytes(path);
        if (c.fits) {
            EXPECT_EQ(c.exportIt ? "MThd" : "RIFF", bytes.substr(0, 4));
            EXPECT_NE(identity, FileIdentity(path)) << "the target was rewritten in place";
        } else {
            EXPECT_EQ("the earlier file", bytes);
        }
        EXPECT_EQ(before, FilesIn(dir)); // no temporary file left behind
        for (const std::string& name : FilesIn(dir)) DeleteFileA((dir + "\\" + name).c_str());
        RemoveDirectoryA(dir.c_str());
    }
    RemoveDirectoryA(base.c_str());
}

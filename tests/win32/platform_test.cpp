// The Windows services on real files (under Wine in CI): error numbers and
// texts, the 8-bit code page, folder sizes, and the tracking file's rules.
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <tuple>

#include "common/globals.h"
#include "history/history.h"
#include "platform/history_system.h"
#include "platform/platform.h"
#include "platform/win32/errors.h"
#include "platform/win32/file_service.h"
#include "platform/win32/folder_service.h"
#include "platform/win32/long_path.h"
#include "platform/win32/win.h"
#include "startup/program_win32.h"
#include "tracking/run_size_track.h"
#include "win32/folders.h"

// After windows.h.
#include <shellapi.h>

namespace sizewalk::win32 {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using testing::ReadFile;
constexpr auto OpenIn = &testing::OpenIn<FolderService>;

// Which code gives which number is the switch's own table; the folder and
// file cases below meet the common ones for real.
TEST(Win32Errors, SystemTexts) {
    for (const unsigned long code : {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_NOT_READY,
                                     ERROR_DISK_FULL, ERROR_CRC, ERROR_INVALID_FUNCTION}) {
        SCOPED_TRACE(code);
        // The system's own wording, then the path, quoted where a blank ends
        // it, as on POSIX; no line end, no full stop.
        const std::string system_text = SystemText(code);
        ASSERT_FALSE(system_text.empty());
        EXPECT_EQ(SystemError(code, R"(C:\x )").description, system_text + R"(: 'C:\x ')");
        EXPECT_EQ(system_text.find_first_of("\r\n"), std::string::npos);
        EXPECT_NE(system_text.back(), '.');
    }
    // A code the system has no text for gets the runtime's wording.
    EXPECT_EQ(SystemError(0x2000FFFFu, "p").description, "Path/File access error: p");
}

// Without best fit: a look-alike is no ASCII character, so that it cannot
// plant a comma or a formula; what a code page lacks, the writer escapes.
TEST(Win32Files, TextInTheGivenCodePage) {
    const std::vector<std::tuple<unsigned, std::string, std::string, bool>> cases = {
        // The code page, UTF-8, the bytes, whether the code page has it all.
        {1252, "caf\xC3\xA9 \xC2\xA9 \xE2\x82\xAC", "caf\xE9 \xA9 \x80", true},
        {932, "\xE6\x97\xA5\xEF\xBC\x9D", "\x93\xFA\x81\x81", true},
        {1252, "\xEF\xBC\x9D\x31\xEF\xBC\x8Cy", "?1?y", false},  // no look-alike = or comma
        {1252, "\xED\xA0\x80", "?", false},  // a lone surrogate from a file name
        {65001, "\xED\xA0\x80", "\xEF\xBF\xBD", false},
        {1252, "\xE9", "?", false},  // not UTF-8
        {1252, "", "", true},
    };
    for (const auto& [code_page, utf8, bytes, has] : cases) {
        EXPECT_EQ(std::tuple(ToCodePage(utf8, code_page), InCodePage(utf8, code_page),
                             FromCodePage(bytes, code_page) == utf8),
                  std::tuple(bytes, has, has))
            << code_page << " " << utf8;
    }
    // A grouping symbol the code page lacks: a no-break space, else a blank.
    EXPECT_EQ(GroupSymbolFor("\u202F", 1252) + GroupSymbolFor("\u202F", 932) +
                  GroupSymbolFor("\u2019", 1252),
              "\u00A0 \u2019");
}

TEST(Win32Folders, SizesOfEachSubdirectoryTree) {
    TempDir dir;
    dir.File("b/one", 10);
    dir.File("b/deeper/two", 5);
    dir.File(fs::path(u8"\u00E9t\u00E9/three"), 3);
    dir.File("loose file", 100);  // not a subdirectory
    // A file with several hard links counts once per name.
    fs::create_hard_link(dir.fs() / "b/one", dir.fs() / "b/deeper/linked");
    fs::create_directory(dir.fs() / "a");
    fs::create_hard_link(dir.fs() / "b/one", dir.fs() / "a/linked");
    // A tree deeper than the old 260-character limit (30 levels of 21).
    fs::path deep = "long";
    for (int i = 0; i < 30; ++i) {
        dir.File((deep /= std::string(20, static_cast<char>('a' + i % 26))) / "f", 1);
    }
    // Hidden files count like any other.
    dir.File("b/hidden", 7);
    SetFileAttributesW((dir.fs() / "b" / "hidden").c_str(), FILE_ATTRIBUTE_HIDDEN);
    // 300 directories, 0 to 299 bytes.
    for (int i = 0; i < 300; ++i) {
        dir.File(fs::path("many") / std::to_string(i % 12) / std::to_string(i) / "f", i);
    }

    // Forward slashes and ".." are resolved; the separator at the end is not needed.
    for (const std::string& path : {dir.path(), Narrow((dir.fs() / "a" / "..").wstring()) + "/"}) {
        for (const unsigned threads : {1u, 64u}) {
            SCOPED_TRACE(path + ", threads " + std::to_string(threads));
            FolderService service({threads});
            Outcome<std::unique_ptr<FolderListing>> listing = List(service, path);
            ASSERT_TRUE(listing.ok()) << listing.error().description;
            EXPECT_EQ(Sizes(*listing.value()), "a=10 b=32 long=30 many=44850 \xC3\xA9t\xC3\xA9=3 ");
        }
    }
    FolderService service;
    for (const std::string& path : {dir.path() + "missing\\", dir.path() + "missing\\deeper\\",
                                    dir.path() + "loose file\\"}) {
        Outcome<std::unique_ptr<FolderListing>> listing = List(service, path);
        ASSERT_FALSE(listing.ok()) << path;
        EXPECT_EQ(listing.error().number, errnum::kPathNotFound) << path;
        EXPECT_NE(listing.error().description.find(": " + path), std::string::npos)
            << listing.error().description;
    }
}

// Lines are final when written; dropped, the file is as it was: a file the
// run made is gone, a replacement never shows. A hard-linked file is
// refused, a torn last line ended first.
TEST(Win32Files, AppendReplaceRollBackAndNewFiles) {
    TempDir dir;
    FileService service;
    auto write = [&](OpenMode mode, const std::string& line, bool commit) {
        Outcome<std::unique_ptr<OutputFile>> file =
            OpenIn(service, dir.path(), "Sizewalk.txt", mode);
        ASSERT_TRUE(file.ok()) << file.error().description;
        if (commit) {
            EXPECT_FALSE(file.value()->Write({line}));
        }
    };
    write(OpenMode::kAppend, "lost", false);
    EXPECT_FALSE(fs::exists(dir.fs() / "Sizewalk.txt"));
    write(OpenMode::kAppend, "one", true);
    write(OpenMode::kAppend, "\xE9", true);  // lines come encoded: written as they are
    write(OpenMode::kAppend, "lost", false);
    write(OpenMode::kReplace, "lost", false);
    EXPECT_EQ(ReadFile(dir.fs() / "Sizewalk.txt"), "one\r\n\xE9\r\n");
    write(OpenMode::kReplace, "two", true);
    EXPECT_EQ(ReadFile(dir.fs() / "Sizewalk.txt"), "two\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.fs()), fs::directory_iterator()), 1);
    fs::create_hard_link(dir.fs() / "Sizewalk.txt", dir.fs() / "linked");
    for (OpenMode mode : {OpenMode::kAppend, OpenMode::kReplace}) {
        const auto linked = OpenIn(service, dir.path(), "linked", mode);
        ASSERT_FALSE(linked.ok());
        EXPECT_EQ(linked.error().description,
                  "Refusing a file with several hard links: " + dir.path() + "linked");
    }
    fs::remove(dir.fs() / "linked");

    // A file is new (gets a header) when empty, or when an ordinary directory
    // search does not show it; it is still appended to.
    dir.File("plain", 1);
    dir.File("empty", 0);
    dir.File("hidden", 1);
    dir.File("system", 1);
    ASSERT_TRUE(SetFileAttributesW((dir.fs() / "hidden").c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(SetFileAttributesW((dir.fs() / "system").c_str(), FILE_ATTRIBUTE_SYSTEM));
    for (const auto& [name, is_new] : std::vector<std::pair<std::string, bool>>{
             {"plain", false}, {"empty", true}, {"hidden", true}, {"system", true}}) {
        Outcome<std::unique_ptr<OutputFile>> file =
            OpenIn(service, dir.path(), name, OpenMode::kAppend);
        ASSERT_TRUE(file.ok()) << name << ": " << file.error().description;
        EXPECT_EQ(file.value()->IsNew(), is_new) << name;
        EXPECT_FALSE(file.value()->Write({"more"}));
    }
    EXPECT_EQ(ReadFile(dir.fs() / "plain"), std::string(1, '\0') + "\r\nmore\r\n");
}

// Names the code page (Windows-1252 here) lacks or has only look-alikes of,
// and a digit-grouping symbol it lacks: written by the Windows writer in
// each style and read back by the history as they were.
TEST(Win32Files, EveryNameReadsBackInEachStyle) {
    const std::vector<std::string> names = {"\xEF\xBC\x9D\x31\xEF\xBC\x8B\x31", "x\xEF\xBC\x8Cy",
                                            "\xE6\x97\xA5\xE6\x9C\xAC", "\xE5\x86\x99\xE7\x9C\x9F",
                                            "M\xC3\xBCller Daten"};
    TempDir dir;
    std::map<std::string, std::vector<std::optional<ByteCount>>> written, read;
    for (std::size_t i = 0; i < names.size(); ++i) {
        dir.File(fs::path(Wide(names[i])) / "f", 23940 * (i + 1));
        written[names[i]].assign(3, ByteCount(23940 * (i + 1)));
    }
    SystemPlatform system;
    Platform platform = system.Get();  // the user's U+202F as the files can hold it:
    platform.locale.digit_group = GroupSymbolFor("\u202F", CP_ACP);
    CommandText = "unattended";
    TargetDir = dir.path();
    for (const std::int16_t style : {1, 2, 3}) {
        OutputStyle = style;
        ASSERT_EQ(RunSizeTrack(platform), RunOutcome::kCompleted);
    }
    // The no-break space in Windows-1252.
    EXPECT_NE(ReadFile(dir.fs() / "Sizewalk.txt").find("\n23\240940 "), std::string::npos);
    const Outcome<history::History> h = history::LoadHistory(dir.path(), *MakeSystemHistory());
    ASSERT_TRUE(h.ok()) << h.error().description;
    for (const history::Series& series : h.value().series) {
        for (const std::uint64_t value : series.values) {
            read[series.name].push_back(h.value().ValueOf(value));
        }
    }
    EXPECT_TRUE(read == written);
}

TEST(Win32Files, NobodyElseOpensTheFileWhileARunWritesIt) {
    TempDir dir;
    FileService service(std::chrono::milliseconds(0));
    Outcome<std::unique_ptr<OutputFile>> first =
        OpenIn(service, dir.path(), "Sizewalk.csv", OpenMode::kAppend);
    ASSERT_TRUE(first.ok()) << first.error().description;

    Outcome<std::unique_ptr<OutputFile>> second =
        OpenIn(service, dir.path(), "Sizewalk.csv", OpenMode::kAppend);
    ASSERT_FALSE(second.ok());
    EXPECT_EQ(second.error(), HeldByAnotherProcess(dir.path() + "Sizewalk.csv"));
    HANDLE reader =
        CreateFileW((dir.fs() / "Sizewalk.csv").c_str(), GENERIC_READ,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(reader, INVALID_HANDLE_VALUE);
    if (reader != INVALID_HANDLE_VALUE) {
        CloseHandle(reader);
    }

    EXPECT_FALSE(first.value()->Write({"row"}));
    second = OpenIn(service, dir.path(), "Sizewalk.csv", OpenMode::kAppend);
    ASSERT_TRUE(second.ok()) << second.error().description;
    EXPECT_FALSE(second.value()->Write({}));
    EXPECT_EQ(ReadFile(dir.fs() / "Sizewalk.csv"), "row\r\n");
}

// Reading the history: each entry's kind; a file read to its size at
// opening, once no run holds it, and its owner; the free space; the window's
// page in a new temporary file; a report file replaced whole.
TEST(Win32History, ListsReadsAndWrites) {
    TempDir tmp;
    tmp.File("Sizewalk.csv", 3 << 20);
    tmp.File("Sizewalk_20031005.txt/inner", 1);
    const std::unique_ptr<HistorySystem> system = MakeSystemHistory();
    const auto names = system->ListFiles(tmp.path());
    ASSERT_TRUE(names.ok());
    ASSERT_EQ(names.value().size(), 2u);
    EXPECT_EQ(names.value()[0].kind, FileKind::kRegular);
    EXPECT_EQ(names.value()[1].kind, FileKind::kDirectory);
    const std::wstring csv = Wide(tmp.path() + "Sizewalk.csv");
    const HANDLE run =
        CreateFileW(csv.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(run, INVALID_HANDLE_VALUE);
    const auto busy = system->OpenForReading(tmp.path() + "Sizewalk.csv", 200ms);
    ASSERT_FALSE(busy.ok());
    EXPECT_TRUE(busy.error().description.ends_with(kFileBusy));
    CloseHandle(run);
    const auto file = system->OpenForReading(tmp.path() + "Sizewalk.csv", 200ms);
    ASSERT_TRUE(file.ok());
    EXPECT_TRUE(file.value()->TrustedOwner());
    // No run writes while it is read.
    EXPECT_FALSE(std::ofstream(tmp.fs() / "Sizewalk.csv", std::ios::app));
    EXPECT_EQ(testing::ReadAll(*file.value()).size(), std::size_t{3} << 20);
    EXPECT_FALSE(system->OpenForReading(tmp.path() + "Sizewalk_20031005.txt", 0ms).ok());
    EXPECT_FALSE(system->ListFiles(tmp.path() + "missing\\").ok());
    // The free space of the caller's drive; a folder on the same volume.
    EXPECT_GT(system->FreeSpace(tmp.path()).value().value_or(0), ByteCount{0});
    EXPECT_EQ(system->FileSystemOf(tmp.path() + "Sizewalk_20031005.txt")->device,
              system->FileSystemOf(tmp.path())->device);

    // Earlier pages go when they are a day old; other files stay.
    const fs::path temp = fs::temp_directory_path();
    const std::tuple<const char*, int, bool> files[] = {{"sizewalk-history-1-old.html", 25, false},
                                                        {"sizewalk-history-2.html", 23, true},
                                                        {"x", 25, true}};
    for (const auto& [name, hours, kept] : files) {
        std::ofstream(temp / name) << "x";
        fs::last_write_time(temp / name,
                            fs::file_time_type::clock::now() - std::chrono::hours(hours));
    }
    const auto page = system->WriteTemporaryFile(".html", "<p>page</p>");
    ASSERT_TRUE(page.ok()) << page.error().description;
    EXPECT_TRUE(page.value().ends_with(".html"));
    EXPECT_EQ(ReadFile(fs::path(Wide(page.value()))), "<p>page</p>");
    for (const auto& [name, hours, kept] : files) {
        EXPECT_EQ(fs::remove(temp / name), kept) << name;
    }
    fs::remove(fs::path(Wide(page.value())));

    const std::string prom = tmp.path() + "sizewalk.prom";
    system->Replace(prom).value()->Write("dropped");
    EXPECT_FALSE(fs::exists(fs::path(Wide(prom))));
    auto report = system->Replace(prom);
    ASSERT_FALSE(report.value()->Write("whole"));
    ASSERT_FALSE(report.value()->Commit());
    EXPECT_EQ(ReadFile(fs::path(Wide(prom))), "whole");
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.fs()), fs::directory_iterator()), 3);
}

// sizewalk.com, the console companion, is a console program that prints
// to the streams it is given and ends with the run's status; sizewalk.exe
// stays a window program.
TEST(Win32Program, TheConsoleCompanionWaitsPrintsAndReturnsTheStatus) {
    // A shell waits for a console program: the high word of its type is 0.
    EXPECT_EQ(HIWORD(SHGetFileInfoW(Wide(SIZEWALK_COM).c_str(), 0, nullptr, 0, SHGFI_EXETYPE)), 0);
    EXPECT_NE(HIWORD(SHGetFileInfoW(Wide(SIZEWALK_EXE).c_str(), 0, nullptr, 0, SHGFI_EXETYPE)), 0);
    TempDir dir;
    dir.File("one/f", 42);
    ASSERT_TRUE(SetEnvironmentVariableW(L"SIZEWALK_MESSAGES", L"stderr"));
    const std::tuple<std::string, DWORD, std::string> cases[] = {
        // The arguments, the status, what standard output and error hold.
        {"--help", 0, "nightly task for D:\\Data\\:\r\n  Program/script:"},
        {"4 C:\\", 2,
         "sizewalk: Invalid parameters in command line!\r\n"
         "sizewalk: the style must be 1, 2 or 3, not 4: sizewalk 2 D:\\Data\\\r\n"},
        {"3 " + dir.path(), 0, ""},
    };
    for (const auto& [arguments, status, output] : cases) {
        SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = startup.hStdError =
            CreateFileW((dir.fs() / "out").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited,
                        CREATE_ALWAYS, 0, nullptr);
        std::wstring line = L"sizewalk " + Wide(arguments);
        PROCESS_INFORMATION process{};
        ASSERT_TRUE(CreateProcessW(Wide(SIZEWALK_COM).c_str(), line.data(), nullptr, nullptr, TRUE,
                                   0, nullptr, nullptr, &startup, &process));
        DWORD exit_status = 99;
        WaitForSingleObject(process.hProcess, 60000);
        GetExitCodeProcess(process.hProcess, &exit_status);
        for (HANDLE handle : {process.hProcess, process.hThread, startup.hStdOutput}) {
            CloseHandle(handle);
        }
        EXPECT_EQ(exit_status, status) << arguments;
        EXPECT_NE(ReadFile(dir.fs() / "out").find(output), std::string::npos) << arguments;
    }
    EXPECT_NE(ReadFile(dir.fs() / "Sizewalk.csv").find(",42,one\r\n"), std::string::npos);
    SetEnvironmentVariableW(L"SIZEWALK_MESSAGES", nullptr);
    // Both programs run the same code, which makes a drive without a medium
    // fail quietly instead of asking for a disk.
    SetErrorMode(0);
    EXPECT_EQ(RunProgram(GetModuleHandleW(nullptr), L"sizewalk.exe --version", Subsystem::kWindow),
              0);
    EXPECT_EQ(GetErrorMode() & SEM_FAILCRITICALERRORS, SEM_FAILCRITICALERRORS);
}

// Ctrl+C at the console companion's prompt asks the run to stop through the
// stop flag, as SIGINT does on POSIX, instead of ending the program where it
// stands. (Wine sends Ctrl+C only to a group named by its id, and no
// Ctrl+Break; the console closing would end the test.)
// Registered both before and after the handler under test, so that one runs
// before it and one after it whichever order the system calls them in (Wine
// calls the first registered first): the second call means the event got
// past it, and keeps the default (the process's end) from passing the test.
std::atomic<int> ctrl_c_seen{0};
BOOL WINAPI CountCtrlC(DWORD) {
    return ++ctrl_c_seen == 2;
}

TEST(Win32Program, CtrlCSetsTheStopFlag) {
    // A console of this process's own, so that no other process gets the
    // event; Ctrl+C handling on, whatever the parent left.
    FreeConsole();
    ASSERT_TRUE(AllocConsole()) << GetLastError();
    SetConsoleCtrlHandler(nullptr, FALSE);
    SetConsoleCtrlHandler(CountCtrlC, TRUE);
    SystemPlatform system;
    system.CatchStopSignals();
    SetConsoleCtrlHandler(CountCtrlC, TRUE);
    const Platform platform = system.Get();
    ASSERT_NE(platform.stop, nullptr);
    ASSERT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0) ||
                GenerateConsoleCtrlEvent(CTRL_C_EVENT, GetCurrentProcessId()))
        << GetLastError();
    for (int i = 0; i < 500 && platform.stop->load() == 0; ++i) {
        Sleep(10);
    }
    Sleep(100);
    EXPECT_EQ(platform.stop->load(), SIGINT);
    EXPECT_LE(ctrl_c_seen, 1);
}

}  // namespace
}  // namespace sizewalk::win32

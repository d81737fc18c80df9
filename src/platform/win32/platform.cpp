// The real services of Windows.
#include "platform/platform.h"

#include <csignal>
#include <optional>
#include <vector>

#include "platform/win32/errors.h"
#include "platform/win32/file_service.h"
#include "platform/win32/folder_service.h"
#include "platform/win32/message_box.h"
#include "platform/win32/stop_events.h"
#include "platform/win32/win.h"

namespace sizewalk {
namespace win32 {
namespace {

class Clock final : public sizewalk::Clock {
  public:
    LocalTime Now() override {
        SYSTEMTIME now{};
        GetLocalTime(&now);
        return LocalTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
    }
};

// Whether this process can show a window to anybody: a scheduled task that
// runs whether or not a user is logged on gets an invisible window station,
// where a message box would wait for ever.
bool OnVisibleDesktop() {
    USEROBJECTFLAGS flags{};
    HWINSTA station = GetProcessWindowStation();
    return station == nullptr ||
           !GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, nullptr) ||
           (flags.dwFlags & WSF_VISIBLE) != 0;
}

// Whether SIZEWALK_MESSAGES asks for standard error only, never a box.
bool MessagesToStandardErrorOnly() {
    wchar_t value[8] = {};
    const DWORD length = GetEnvironmentVariableW(L"SIZEWALK_MESSAGES", value, 8);
    return length == 6 && std::wstring_view(value, length) == L"stderr";
}

// Whether standard error is a console window, where a message is read as
// it is printed (the console companion at a prompt).
bool StandardErrorIsConsole() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

// One line on standard error for each message, as on Linux; and the
// system's modal message box, except on an invisible desktop, when asked
// not to, or when standard error is a console window.
class MessageBoxes final : public MessageBoxService {
  public:
    void Show(const std::string& text, MessageIcon icon, const std::string& title) override {
        stderr_.Show(text, icon, title);
        if (!OnVisibleDesktop() || MessagesToStandardErrorOnly() || StandardErrorIsConsole()) {
            return;
        }
        ShowSystemMessageBox(nullptr, text, icon, title, MB_TASKMODAL | MB_SETFOREGROUND);
    }
    void Notice(const std::string& line) override { stderr_.Notice(line); }

  private:
    StreamMessageBox stderr_{stderr};
};

// Notepad from the Windows directory, in a normal focused window, not
// waited for. The program and the file are quoted, so that blanks in
// either cannot split them.
class NotepadEditor final : public TextEditor {
  public:
    Status Open(const std::string& path) override {
        std::wstring windows_dir = EnvironmentVariable(L"WINDIR");
        if (windows_dir.empty()) {
            windows_dir.resize(MAX_PATH);
            windows_dir.resize(GetWindowsDirectoryW(windows_dir.data(), MAX_PATH));
        }
        const std::wstring program = windows_dir + L"\\notepad.exe";
        std::wstring command_line = L"\"" + program + L"\" \"" + Wide(path) + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_SHOWNORMAL;
        PROCESS_INFORMATION process{};
        if (!CreateProcessW(program.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0,
                            nullptr, nullptr, &startup, &process)) {
            return SystemError(GetLastError(), Narrow(program));
        }
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return std::nullopt;
    }

  private:
    static std::wstring EnvironmentVariable(const wchar_t* name) {
        std::wstring value(256, L'\0');
        for (;;) {
            const DWORD length =
                GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
            if (length < value.size()) {
                value.resize(length);  // 0 when unset
                return value;
            }
            value.resize(length);
        }
    }
};

std::optional<std::string> LocaleInfo(LCTYPE type) {
    const int length = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, nullptr, 0);
    if (length <= 0) {
        return std::nullopt;
    }
    std::wstring value(static_cast<std::size_t>(length), L'\0');
    if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, value.data(), length) <= 0) {
        return std::nullopt;
    }
    value.resize(static_cast<std::size_t>(length - 1));  // without the terminator
    return Narrow(value);
}

// The one flag a console's control handler can reach: a process has one
// set of handlers.
StopFlag stop_requested{0};

// Runs on a thread of its own that the system starts for the event.
BOOL WINAPI RequestStop(DWORD event) {
    const int signal = StopSignalFor(event);
    if (signal == 0) {
        return FALSE;
    }
    stop_requested.store(signal);
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
        // The system ends the process as soon as this returns: wait here
        // instead, until the run has stopped and the program exits (which
        // ends this thread), or until the system's grace period is over.
        Sleep(INFINITE);
    }
    return TRUE;
}

}  // namespace

int StopSignalFor(unsigned long event) {
    switch (event) {
        case CTRL_C_EVENT:
            return SIGINT;
        case CTRL_BREAK_EVENT:
            return SIGBREAK;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            return SIGTERM;
        default:
            return 0;
    }
}

}  // namespace win32

LocaleSeparators ReadLocaleSeparators() {
    LocaleSeparators result;
    const std::optional<std::string> thousands = win32::LocaleInfo(LOCALE_STHOUSAND);
    if (thousands && !thousands->empty()) {
        result.digit_group = win32::GroupSymbolFor(*thousands, CP_ACP);
        if (const auto grouping = win32::LocaleInfo(LOCALE_SGROUPING)) {
            result.grouping = win32::GroupingOf(*grouping);
        }
    }
    result.date = win32::DateSeparatorOf(win32::LocaleInfo(LOCALE_SSHORTDATE).value_or(""));
    result.time = win32::TimeSeparatorOf(win32::LocaleInfo(LOCALE_STIMEFORMAT).value_or(""));
    result.utf8 = true;  // the program's texts are UTF-8 here whatever the code page
    return result;
}

struct SystemPlatform::Impl {
    win32::FolderService folders{win32::WalkOptions{.stop = &win32::stop_requested}};
    win32::FileService files;
    win32::MessageBoxes boxes;
    win32::Clock clock;
    win32::NotepadEditor notepad;
    MessageBoxService* messages = &boxes;
    TextEditor* editor = &notepad;
    LocaleSeparators locale = ReadLocaleSeparators();
};

SystemPlatform::SystemPlatform() : impl_(std::make_unique<Impl>()) {}
SystemPlatform::~SystemPlatform() = default;

void SystemPlatform::SetMessageBoxes(MessageBoxService* messages) {
    impl_->messages = messages != nullptr ? messages : &impl_->boxes;
}

void SystemPlatform::SetTextEditor(TextEditor* editor) {
    impl_->editor = editor != nullptr ? editor : &impl_->notepad;
}

// Windows has neither signals to ignore nor numbered standard descriptors
// that a file could take over.
void PrepareProcess() {}

void SystemPlatform::CatchStopSignals() {
    SetConsoleCtrlHandler(win32::RequestStop, TRUE);
}

Platform SystemPlatform::Get() {
    return Platform{impl_->folders, impl_->files,  *impl_->messages,      impl_->clock,
                    *impl_->editor, impl_->locale, &win32::stop_requested};
}

}  // namespace sizewalk

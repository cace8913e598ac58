// Looks at the running setup from outside, the way the GUI tests need it:
// what a control holds, whether it is visible, where the window and a message
// box's button are on screen, which control has the keyboard focus, whether
// the window is in front, and a close request like the taskbar's.
//   window_probe text ID | settext ID TEXT | visible ID|progress | rect | state | focus |
//                front | close | box CAPTION | start-swapped PROGRAM OTHER
// start-swapped starts PROGRAM suspended, once the system has mapped it,
// renames its file to PROGRAM.old and copies OTHER to its path, lets it run
// and ends with its exit code.
// A control's text goes both ways as Unicode (UTF-8 on the Unix side).
// Prints one line; exits 1 when the window or control is not there.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

HWND setup_window() { return FindWindowA("QuellmarkSetupWindow", nullptr); }

HWND control(HWND window, const std::string& which) {
    if (which == "progress") return FindWindowExA(window, nullptr, "msctls_progress32", nullptr);
    return GetDlgItem(window, std::atoi(which.c_str()));
}

// Asks the window itself: a control's text lives in its own process.
std::string text_of(HWND window) {
    char text[4096] = {};
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, 5000, &result);
    return text;
}

// A control's text as UTF-8, whatever the code page: what the person sees.
std::string unicode_text_of(HWND window) {
    wchar_t text[4096] = {};
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, 5000, &result);
    char utf8[4 * 4096] = {};
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
    return utf8;
}

// The command line's argument number index as Unicode: the narrow argv
// holds only what the code page can.
std::wstring unicode_argument(int index) {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::wstring argument = arguments && index < count ? arguments[index] : L"";
    LocalFree(arguments);
    return argument;
}

struct BoxSearch {
    std::string caption;
    HWND found = nullptr;
};

BOOL CALLBACK find_box(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<BoxSearch*>(context);
    char class_name[16] = {};
    GetClassNameA(window, class_name, sizeof class_name);
    if (std::string(class_name) == "#32770" && text_of(window) == search->caption &&
        IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// A standard message box: its text, then the screen centre of its first
// push button (OK or Yes), as "text|x y".
int describe_box(const std::string& caption) {
    BoxSearch search{caption};
    EnumWindows(find_box, reinterpret_cast<LPARAM>(&search));
    if (!search.found) return 1;
    // A box may name a path of any length; its text is asked of its process.
    HWND label = GetDlgItem(search.found, 0xFFFF);
    DWORD_PTR length = 0;
    if (label) SendMessageTimeoutA(label, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length);
    std::vector<char> text(length + 1);
    DWORD_PTR copied = 0;
    if (label) {
        SendMessageTimeoutA(label, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                            SMTO_ABORTIFHUNG, 5000, &copied);
    }
    HWND button = GetDlgItem(search.found, IDOK);
    if (!button) button = GetDlgItem(search.found, IDYES);
    RECT r = {};
    if (button) GetWindowRect(button, &r);
    std::printf("%s|%ld %ld\n", text.data(), (r.left + r.right) / 2, (r.top + r.bottom) / 2);
    return 0;
}

int start_swapped(const std::string& program, const std::string& other) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string command = "\"" + program + "\"";
    if (!CreateProcessA(program.c_str(), &command[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                        nullptr, nullptr, &startup, &process)) {
        return 3;
    }
    const bool swapped = MoveFileExA(program.c_str(), (program + ".old").c_str(), 0) &&
                         CopyFileA(other.c_str(), program.c_str(), TRUE);
    ResumeThread(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 3;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return swapped ? static_cast<int>(code) : 4;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::string command = argv[1];
    if (command == "box") return argc > 2 ? describe_box(argv[2]) : 2;
    if (command == "start-swapped") return argc > 3 ? start_swapped(argv[2], argv[3]) : 2;
    if (command == "hold" && argc > 3) {
        // A running game: the file open, its deletion not shared, for as long
        // as the marker file exists.
        const HANDLE held = CreateFileW(unicode_argument(2).c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (held == INVALID_HANDLE_VALUE) return 1;
        std::printf("held\n");
        std::fflush(stdout);
        while (GetFileAttributesW(unicode_argument(3).c_str()) != INVALID_FILE_ATTRIBUTES) Sleep(100);
        CloseHandle(held);
        return 0;
    }
    HWND window = setup_window();
    if (!window) return 1;
    if (command == "rect") {
        RECT r;
        GetWindowRect(window, &r);
        std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
    } else if (command == "state") {
        std::printf("%s\n", IsIconic(window) ? "minimized" : "normal");
    } else if (command == "focus") {
        // The control ID, 0 for the window itself, "none" when the focus is elsewhere.
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
        if (info.hwndFocus == window) std::printf("0\n");
        else if (info.hwndFocus && IsChild(window, info.hwndFocus))
            std::printf("%d\n", GetDlgCtrlID(info.hwndFocus));
        else std::printf("none\n");
    } else if (command == "front") {
        std::printf("%d\n", GetForegroundWindow() == window ? 1 : 0);
    } else if (command == "close") {
        PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    } else if (argc > 3 && command == "settext") {
        // What typing into the field leaves there, without a keyboard layout.
        HWND child = control(window, argv[2]);
        const std::wstring text = unicode_argument(3);
        DWORD_PTR result = 0;
        if (!child || !SendMessageTimeoutW(child, WM_SETTEXT, 0,
                                           reinterpret_cast<LPARAM>(text.c_str()),
                                           SMTO_ABORTIFHUNG, 5000, &result)) {
            return 1;
        }
    } else if (argc > 2 && (command == "text" || command == "visible")) {
        HWND child = control(window, argv[2]);
        if (!child) return 1;
        if (command == "text") std::printf("%s\n", unicode_text_of(child).c_str());
        else std::printf("%d\n", IsWindowVisible(child) ? 1 : 0);
    } else {
        return 2;
    }
    return 0;
}

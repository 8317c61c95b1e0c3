// Loaded by the tests into the installer's own process: Wine keeps menus and
// class data per process, so the version window's system menu and class can
// only be read from inside. Writes what it found, one "name=value" a line, to
// window_probe-<process id>.txt beside this DLL.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

BOOL CALLBACK FindInstallerWindow(HWND window, LPARAM param)
{
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t name[64];
    if (owner == GetCurrentProcessId() && GetClassNameW(window, name, 64) && std::wstring(name) == L"Installer") {
        *reinterpret_cast<HWND*>(param) = window;
        return FALSE;
    }
    return TRUE;
}

void Probe(HMODULE self)
{
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(self, path, MAX_PATH);
    std::string out(path, length);
    out = out.substr(0, out.find_last_of('\\')) + "\\window_probe-" + std::to_string(GetCurrentProcessId()) + ".txt";

    HWND window = nullptr;
    EnumWindows(FindInstallerWindow, reinterpret_cast<LPARAM>(&window));
    std::string report = "found=" + std::to_string(window != nullptr) + "\n";
    if (window) {
        const UINT close = GetMenuState(GetSystemMenu(window, FALSE), SC_CLOSE, MF_BYCOMMAND);
        report += "close_grayed=" + std::to_string((close & MF_GRAYED) != 0) + "\n";
        report += "close_disabled=" + std::to_string((close & MF_DISABLED) != 0) + "\n";
        report += "unicode=" + std::to_string(IsWindowUnicode(window) != 0) + "\n";
        report += "class_style=" + std::to_string(GetClassLongPtrW(window, GCL_STYLE)) + "\n";
        report += "class_extra=" + std::to_string(GetClassLongPtrW(window, GCL_CBCLSEXTRA)) + "\n";
        report += "window_extra=" + std::to_string(GetClassLongPtrW(window, GCL_CBWNDEXTRA)) + "\n";
        report += "icon=" + std::to_string(GetClassLongPtrW(window, GCLP_HICON) != 0) + "\n";
        report += "arrow_cursor=" +
                  std::to_string(reinterpret_cast<HCURSOR>(GetClassLongPtrW(window, GCLP_HCURSOR)) ==
                                 LoadCursorA(nullptr, IDC_ARROW)) + "\n";
        report += "btnface_brush=" +
                  std::to_string(reinterpret_cast<HBRUSH>(GetClassLongPtrW(window, GCLP_HBRBACKGROUND)) ==
                                 GetSysColorBrush(COLOR_BTNFACE)) + "\n";
        report += "menu=" + std::to_string(GetMenu(window) != nullptr) + "\n";
        report += "font=" + std::to_string(SendMessageW(window, WM_GETFONT, 0, 0) != 0) + "\n";
    }
    // Written under another name first, so the report appears whole.
    const std::string partial = out + ".part";
    std::FILE* file = std::fopen(partial.c_str(), "wb");
    if (file) {
        std::fputs(report.c_str(), file);
        std::fclose(file);
        MoveFileA(partial.c_str(), out.c_str());
    }
}

} // namespace

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID)
{
    // Not under the loader lock: asking the window thread for anything from
    // here could wait on a thread that waits for this lock.
    if (reason == DLL_PROCESS_ATTACH) {
        HANDLE thread = CreateThread(
            nullptr, 0,
            [](LPVOID module) -> DWORD {
                Probe(static_cast<HMODULE>(module));
                return 0;
            },
            self, 0, nullptr);
        if (thread)
            CloseHandle(thread);
    }
    return TRUE;
}

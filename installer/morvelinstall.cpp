// morvelinstall: asks which game build the link launcher is for and where the
// Half-Life installation is, copies morvel.exe there and registers the build's
// link scheme with the Windows shell.

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// The chosen scheme; null until a build is chosen.
const char* CmCSVer = nullptr;
// The chosen game folder.
char CmCSDir[MAX_PATH];
// The installer's own folder, where morvel.exe ships beside it.
char CmCDir[MAX_PATH];

const char CmCaption[] = "Installer";

enum CmControlId { CmIdOld = 0, CmIdOlder = 1, CmIdQuit = 2, CmIdLabel = 3 };

[[noreturn]] void CmFail(const std::string& text)
{
    MessageBoxA(nullptr, text.c_str(), CmCaption, MB_ICONERROR);
    std::exit(1);
}

std::string CmSystemReason(DWORD error)
{
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string reason = length ? std::string(text, length) : std::string();
    LocalFree(text);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' '))
        reason.pop_back();
    if (reason.empty())
        reason = "system error " + std::to_string(error);
    return reason;
}

std::string CmJoinPath(const char* folder, const char* name)
{
    return std::string(folder) + "\\" + name;
}

void CmFindOwnFolder()
{
    const DWORD length = GetModuleFileNameA(GetModuleHandleA(nullptr), CmCDir, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        CmFail("The installer could not find its own folder (its path may be longer than Windows allows).");
    PathRemoveFileSpecA(CmCDir);
}

LRESULT CALLBACK CmPickVersionWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: {
        EnableMenuItem(GetSystemMenu(window, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED | MF_DISABLED);
        SetWindowLongA(window, GWL_STYLE, GetWindowLongA(window, GWL_STYLE) & ~WS_MINIMIZEBOX);
        SetWindowLongA(window, GWL_STYLE, GetWindowLongA(window, GWL_STYLE) & ~WS_MAXIMIZEBOX);
        struct Control {
            const wchar_t* className;
            const wchar_t* text;
            int x, y, width, height;
            CmControlId id;
        };
        static const Control controls[] = {
            {L"Static", L"Please select the version that you want to install the launcher for", 11, 11, 300, 230,
             CmIdLabel},
            {L"Button", L"1.6 9/9/2003", 11, 50, 274, 25, CmIdOld},
            {L"Button", L"1.6 1/14/2003", 11, 82, 274, 25, CmIdOlder},
            {L"Button", L"Quit", 11, 125, 274, 25, CmIdQuit},
        };
        for (const Control& c : controls)
            CreateWindowExW(0, c.className, c.text, WS_CHILD | WS_VISIBLE, c.x, c.y, c.width, c.height, window,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), nullptr, nullptr);
        break;
    }
    case WM_COMMAND:
        // Once a build is chosen, the folder browser and the message boxes run
        // their own loops on this thread: another quit message would end them.
        switch (LOWORD(wParam)) {
        case CmIdOld:
            if (!CmCSVer) {
                CmCSVer = "cs992003";
                PostQuitMessage(0);
            }
            break;
        case CmIdOlder:
            if (!CmCSVer) {
                CmCSVer = "cs1142003";
                PostQuitMessage(0);
            }
            break;
        case CmIdQuit:
            std::exit(0);
        }
        break;
    case WM_DESTROY:
        if (!CmCSVer)
            PostQuitMessage(0);
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void CmPickVersion(HINSTANCE instance)
{
    WNDCLASSW windowClass;
    std::memset(&windowClass, 0, sizeof windowClass);
    windowClass.lpfnWndProc = CmPickVersionWndProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = L"Installer";
    if (!RegisterClassW(&windowClass))
        CmFail("The installer window could not be set up: " + CmSystemReason(GetLastError()));

    if (!CreateWindowExW(0, L"Installer", L"Installer", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 150, 150, 315, 200,
                         nullptr, nullptr, instance, nullptr))
        CmFail("The installer window could not be opened: " + CmSystemReason(GetLastError()));

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) != 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

void CmPickFolder()
{
    BROWSEINFOA request;
    std::memset(&request, 0, sizeof request);
    request.lpszTitle = "Please select the folder containing the Half-Life installation which contains your CS beta "
                        "installation";
    request.ulFlags = BIF_RETURNONLYFSDIRS;
    for (;;) {
        PIDLIST_ABSOLUTE chosen = SHBrowseForFolderA(&request);
        if (chosen) {
            const bool isFolder = SHGetPathFromIDListA(chosen, CmCSDir);
            ILFree(chosen);
            if (isFolder && PathFileExistsA(CmJoinPath(CmCSDir, "hl.exe").c_str()))
                return;
        }
        MessageBoxA(nullptr, "Invalid folder selection. Please try again.", CmCaption, MB_ICONERROR);
    }
}

// True when both paths name one existing file (the installer was started
// from the game folder itself).
bool CmIsSameFile(const std::string& first, const std::string& second)
{
    BY_HANDLE_FILE_INFORMATION info[2];
    const std::string* paths[2] = {&first, &second};
    for (int i = 0; i < 2; ++i) {
        HANDLE file = CreateFileA(paths[i]->c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return false;
        const bool ok = GetFileInformationByHandle(file, &info[i]);
        CloseHandle(file);
        if (!ok)
            return false;
    }
    return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
           info[0].nFileIndexHigh == info[1].nFileIndexHigh && info[0].nFileIndexLow == info[1].nFileIndexLow;
}

void CmCopyFile()
{
    const std::string source = CmJoinPath(CmCDir, "morvel.exe");
    const std::string target = CmJoinPath(CmCSDir, "morvel.exe");
    if (CmIsSameFile(source, target))
        return;
    if (!CopyFileA(source.c_str(), target.c_str(), FALSE))
        CmFail("The launcher could not be copied into the game folder.\n\nFrom: " + source + "\nTo: " + target +
               "\nReason: " + CmSystemReason(GetLastError()) + "\n\nNothing was registered.");
}

[[noreturn]] void CmFailRegistry(const std::string& key, LONG error)
{
    std::string text = "The registry key\nHKEY_CLASSES_ROOT\\" + key + "\ncould not be written: " +
                       CmSystemReason(static_cast<DWORD>(error));
    if (error == ERROR_ACCESS_DENIED)
        text += "\n\nInstalling needs administrator rights: run the installer as administrator.";
    CmFail(text);
}

// Writes one key's values; the key is closed on every path.
void CmWriteKey(const std::string& key, const char* urlProtocol, const std::string& defaultValue)
{
    HKEY handle = nullptr;
    LONG result = RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                                  nullptr, &handle, nullptr);
    if (result != ERROR_SUCCESS)
        CmFailRegistry(key, result);
    if (urlProtocol)
        result = RegSetValueExA(handle, "URL Protocol", 0, REG_SZ, reinterpret_cast<const BYTE*>(urlProtocol),
                                static_cast<DWORD>(std::strlen(urlProtocol) + 1));
    if (result == ERROR_SUCCESS)
        result = RegSetValueExA(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(defaultValue.c_str()),
                                static_cast<DWORD>(defaultValue.size() + 1));
    RegCloseKey(handle);
    if (result != ERROR_SUCCESS)
        CmFailRegistry(key, result);
}

void CmRegisterUri()
{
    const std::string command = "\"" + CmJoinPath(CmCSDir, "morvel.exe") + "\" \"%1\"";
    const std::string commandKey = std::string(CmCSVer) + "\\shell\\open\\command";
    CmWriteKey(CmCSVer, "", "URL: Pellwick Protocol");
    CmWriteKey(commandKey, nullptr, command);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    CmFindOwnFolder();
    CmPickVersion(instance);
    if (!CmCSVer)
        std::exit(0);  // the window went away before a choice: like Quit
    CmPickFolder();
    CmCopyFile();
    CmRegisterUri();
    MessageBoxA(nullptr, "Installation complete!", CmCaption, MB_ICONINFORMATION);
    std::exit(0);
}

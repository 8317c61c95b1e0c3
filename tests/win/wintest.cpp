#include "wintest.hpp"

#include <commctrl.h>

#include <cstdio>
#include <exception>
#include <stdexcept>

namespace wt {

namespace {

std::string LastErrorText(const std::string& what)
{
    return what + " failed, error " + std::to_string(GetLastError());
}

void SnapshotInto(const std::string& root, const std::string& relative,
                  std::map<std::string, std::string>& files)
{
    const std::string folder = relative.empty() ? root : root + "\\" + relative;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        const std::string child = relative.empty() ? name : relative + "\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            files[child + "\\"] = "<folder>";
            SnapshotInto(root, child, files);
        } else {
            files[child] = ReadFile(root + "\\" + child);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

} // namespace

std::string ProgramFolder()
{
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of('\\'));
}

ScratchFolder::ScratchFolder(const std::string& hint)
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    static unsigned counter = 0;
    for (;;) {
        path_ = std::string(temp) + "morvel-" + hint + "-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(++counter);
        if (CreateDirectoryA(path_.c_str(), nullptr))
            return;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            throw std::runtime_error(LastErrorText("CreateDirectory " + path_));
    }
}

ScratchFolder::~ScratchFolder()
{
    RemoveTree(path_);
}

void RemoveTree(const std::string& path)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            const std::string child = path + "\\" + name;
            SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else
                DeleteFileA(child.c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA(path.c_str());
}

void MakeFolder(const std::string& path)
{
    if (!CreateDirectoryA(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        throw std::runtime_error(LastErrorText("CreateDirectory " + path));
}

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadFile(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        throw std::runtime_error("cannot open " + path);
    std::string bytes;
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, got);
    std::fclose(file);
    return bytes;
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        throw std::runtime_error("cannot create " + path);
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (std::fclose(file) != 0 || !ok)
        throw std::runtime_error("cannot write " + path);
}

void CopyFileOrThrow(const std::string& from, const std::string& to)
{
    if (!CopyFileA(from.c_str(), to.c_str(), FALSE))
        throw std::runtime_error(LastErrorText("CopyFile " + from + " -> " + to));
}

std::map<std::string, std::string> Snapshot(const std::string& root)
{
    std::map<std::string, std::string> files;
    SnapshotInto(root, std::string(), files);
    return files;
}

bool Process::WaitForExit(DWORD timeoutMs) const
{
    return WaitForSingleObject(process.get(), timeoutMs) == WAIT_OBJECT_0;
}

DWORD Process::ExitCode() const
{
    DWORD code = 0xDEADBEEF;
    GetExitCodeProcess(process.get(), &code);
    return code;
}

void Process::Kill() const
{
    TerminateProcess(process.get(), 99);
    WaitForSingleObject(process.get(), 5000);
}

std::string Quoted(const std::string& argument)
{
    return "\"" + argument + "\"";
}

Process Start(const std::string& program, const std::string& arguments, const std::string& workingDirectory)
{
    std::string commandLine = Quoted(program);
    if (!arguments.empty())
        commandLine += " " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        workingDirectory.empty() ? nullptr : workingDirectory.c_str(), &startup, &info))
        throw std::runtime_error(LastErrorText("CreateProcess " + program));
    CloseHandle(info.hThread);
    Process started;
    started.process.reset(info.hProcess);
    started.id = info.dwProcessId;
    return started;
}

std::string WindowText(HWND window)
{
    char text[4096];
    const int length = GetWindowTextA(window, text, sizeof text);
    return std::string(text, length > 0 ? length : 0);
}

std::string ClassOf(HWND window)
{
    char name[256];
    const int length = GetClassNameA(window, name, sizeof name);
    return std::string(name, length > 0 ? length : 0);
}

namespace {

BOOL CALLBACK LongestStatic(HWND child, LPARAM param)
{
    std::string& text = *reinterpret_cast<std::string*>(param);
    if (ClassOf(child) == "Static") {
        const std::string mine = WindowText(child);
        if (mine.size() > text.size())
            text = mine;
    }
    return TRUE;
}

} // namespace

Dialog WaitForWindow(DWORD processId, const std::string& className, DWORD timeoutMs)
{
    return WaitForWindowWhere(
        processId, [&className](HWND window) { return className.empty() || ClassOf(window) == className; },
        timeoutMs);
}

Dialog WaitForMessageBox(DWORD processId, DWORD timeoutMs)
{
    return WaitForWindow(processId, "#32770", timeoutMs);
}

void PressOk(const Dialog& box)
{
    HWND ok = GetDlgItem(box.window, IDOK);
    PostMessageA(box.window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
}

bool WaitForPath(const std::string& path, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    while (!Exists(path)) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(10);
    }
    return true;
}

Dialog WaitForWindowWhere(DWORD processId, const std::function<bool(HWND)>& accept, DWORD timeoutMs)
{
    struct Search {
        DWORD processId;
        const std::function<bool(HWND)>* accept;
        HWND found;
    } search{processId, &accept, nullptr};
    const DWORD start = GetTickCount();
    for (;;) {
        search.found = nullptr;
        EnumWindows(
            [](HWND window, LPARAM param) -> BOOL {
                Search& s = *reinterpret_cast<Search*>(param);
                DWORD owner = 0;
                GetWindowThreadProcessId(window, &owner);
                if (owner != s.processId || !IsWindowVisible(window) || !(*s.accept)(window))
                    return TRUE;
                s.found = window;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&search));
        if (search.found) {
            Dialog dialog;
            dialog.window = search.found;
            dialog.title = WindowText(search.found);
            dialog.className = ClassOf(search.found);
            EnumChildWindows(search.found, LongestStatic, reinterpret_cast<LPARAM>(&dialog.text));
            return dialog;
        }
        if (GetTickCount() - start > timeoutMs)
            return Dialog{};
        Sleep(20);
    }
}

HWND FindChildOfClass(HWND window, const std::string& className)
{
    struct Search {
        const std::string* className;
        HWND found;
    } search{&className, nullptr};
    EnumChildWindows(
        window,
        [](HWND child, LPARAM param) -> BOOL {
            Search& s = *reinterpret_cast<Search*>(param);
            if (ClassOf(child) == *s.className) {
                s.found = child;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool HasChildOfClass(HWND window, const std::string& className)
{
    return FindChildOfClass(window, className) != nullptr;
}

Dialog WaitForFolderBrowser(DWORD processId, DWORD timeoutMs)
{
    return WaitForWindowWhere(
        processId, [](HWND w) { return ClassOf(w) == "#32770" && HasChildOfClass(w, "SysTreeView32"); }, timeoutMs);
}

Dialog WaitForPlainDialog(DWORD processId, DWORD timeoutMs)
{
    return WaitForWindowWhere(
        processId, [](HWND w) { return ClassOf(w) == "#32770" && !HasChildOfClass(w, "SysTreeView32"); },
        timeoutMs);
}

bool SelectFolder(const Process& owner, HWND browser, const std::string& folder)
{
    HWND tree = FindChildOfClass(browser, "SysTreeView32");
    if (!tree)
        return false;
    void* remote = VirtualAllocEx(owner.process.get(), nullptr, folder.size() + 1, MEM_COMMIT | MEM_RESERVE,
                                  PAGE_READWRITE);
    if (!remote)
        return false;
    SIZE_T written = 0;
    if (!WriteProcessMemory(owner.process.get(), remote, folder.c_str(), folder.size() + 1, &written) ||
        written != folder.size() + 1)
        return false;
    // The browser may still be filling its tree when it first shows, and then
    // takes no selection: ask again until its tree has one.
    for (int i = 0; i < 50; ++i) {
        SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(remote));
        for (int j = 0; j < 10; ++j) {
            if (SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0))
                return true;
            Sleep(10);
        }
    }
    return false;
}

void PressButton(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void ClickButton(HWND button)
{
    PostMessageA(button, BM_CLICK, 0, 0);
}

bool SetImmutable(const std::string& path, bool immutable)
{
    using UnixName = char* (*)(const wchar_t*);
    const auto unixName = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!unixName)
        return false;
    std::wstring wide(path.size() + 1, L'\0');
    wide.resize(MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &wide[0], static_cast<int>(wide.size())));
    char* name = unixName(wide.c_str());
    if (!name)
        return false;
    const std::string unixPath = name;
    HeapFree(GetProcessHeap(), 0, name);
    try {
        // Wine starts a Unix program named by its path like a Windows one, but
        // its handle may never signal: judge by the effect instead.
        Start("Z:\\usr\\bin\\chattr", std::string(immutable ? "+i " : "-i ") + Quoted(unixPath));
    } catch (const std::exception&) {
        return false;
    }
    const bool folder = (GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY) != 0;
    for (int i = 0; i < 200; ++i) {
        bool writable;
        if (folder) {
            const std::string probe = path + "\\.write-probe";
            HANDLE file = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
            writable = file != INVALID_HANDLE_VALUE;
            if (writable) {
                CloseHandle(file);
                DeleteFileA(probe.c_str());
            }
        } else {
            HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
            writable = file != INVALID_HANDLE_VALUE;
            if (writable)
                CloseHandle(file);
        }
        if (writable != immutable)
            return true;
        Sleep(25);
    }
    return false;
}

bool SaveScreenshot(const std::string& path)
{
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    SelectObject(memory, old);

    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    const DWORD rowBytes = ((width * 3 + 3) / 4) * 4;
    std::string pixels(rowBytes * height, '\0');
    GetDIBits(memory, bitmap, 0, height, &pixels[0], reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);

    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
    bytes.append(reinterpret_cast<const char*>(&header), sizeof header);
    bytes += pixels;
    try {
        WriteFile(path, bytes);
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

bool InjectLibrary(const Process& target, const std::string& dllPath)
{
    void* remote = VirtualAllocEx(target.process.get(), nullptr, dllPath.size() + 1, MEM_COMMIT | MEM_RESERVE,
                                  PAGE_READWRITE);
    if (!remote || !WriteProcessMemory(target.process.get(), remote, dllPath.c_str(), dllPath.size() + 1, nullptr))
        return false;
    auto loadLibrary = reinterpret_cast<LPTHREAD_START_ROUTINE>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "LoadLibraryA")));
    Handle thread(CreateRemoteThread(target.process.get(), nullptr, 0, loadLibrary, remote, 0, nullptr));
    if (!thread)
        return false;
    return WaitForSingleObject(thread.get(), 20000) == WAIT_OBJECT_0;
}

RegistryValue ReadRegistryValue(HKEY root, const std::string& key, const char* name)
{
    RegistryValue value;
    HKEY handle;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return value;
    DWORD size = 0;
    if (RegQueryValueExA(handle, name, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
        value.bytes.resize(size);
        if (RegQueryValueExA(handle, name, nullptr, &value.type,
                             reinterpret_cast<BYTE*>(value.bytes.empty() ? nullptr : &value.bytes[0]),
                             &size) == ERROR_SUCCESS) {
            value.exists = true;
            value.bytes.resize(size);
        }
    }
    RegCloseKey(handle);
    return value;
}

bool RegistryKeyExists(HKEY root, const std::string& key)
{
    HKEY handle;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return false;
    RegCloseKey(handle);
    return true;
}

void DeleteRegistryTree(HKEY root, const std::string& key)
{
    RegDeleteTreeA(root, key.c_str());
    RegDeleteKeyA(root, key.c_str());
}

} // namespace wt

#include "wintest.hpp"

#include <cstdio>
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

struct WindowSearch {
    DWORD processId;
    std::string className;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param)
{
    WindowSearch& search = *reinterpret_cast<WindowSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search.processId || !IsWindowVisible(window))
        return TRUE;
    if (!search.className.empty() && ClassOf(window) != search.className)
        return TRUE;
    search.found = window;
    return FALSE;
}

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
    const DWORD start = GetTickCount();
    for (;;) {
        WindowSearch search{processId, className, nullptr};
        EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
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

} // namespace wt

// Helpers for the Windows-side tests: scratch folders, whole-file reads and
// writes, starting programs, and finding and answering their windows.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace wt {

struct HandleCloser {
    void operator()(HANDLE handle) const
    {
        if (handle && handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    }
};
using Handle = std::unique_ptr<void, HandleCloser>;

// The folder that holds the running test program (and the programs it tests).
std::string ProgramFolder();

// A fresh, empty folder under the system's temporary folder; removed with all
// its content when the object goes.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& hint = "t");
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

void RemoveTree(const std::string& path);
void MakeFolder(const std::string& path);
bool Exists(const std::string& path);
// Whole file as bytes, in binary: what is really on disk.
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
void CopyFileOrThrow(const std::string& from, const std::string& to);

// Every file under root, by relative path, with its bytes: compared before and
// after a run to prove that nothing was created, changed or deleted.
std::map<std::string, std::string> Snapshot(const std::string& root);

// A started program: ended by force if a test leaves it running, since under
// Wine it would hold the test runner's output pipe open.
struct ProcessCloser {
    void operator()(HANDLE handle) const
    {
        if (WaitForSingleObject(handle, 0) == WAIT_TIMEOUT) {
            TerminateProcess(handle, 99);
            WaitForSingleObject(handle, 5000);
        }
        CloseHandle(handle);
    }
};

struct Process {
    std::unique_ptr<void, ProcessCloser> process;
    DWORD id = 0;
    // Waits up to timeoutMs; returns true when the process has ended.
    bool WaitForExit(DWORD timeoutMs) const;
    DWORD ExitCode() const;
    void Kill() const;
};

// Starts a program with the given command line (the program's own quoted path
// comes first, as the shell does) and working directory (empty: inherit).
Process Start(const std::string& program, const std::string& arguments,
              const std::string& workingDirectory = std::string());

// Quotes one argument the way the shell's open command "%1" does.
std::string Quoted(const std::string& argument);

struct Dialog {
    HWND window = nullptr;
    std::string title;
    std::string text;
    std::string className;
};

// Waits up to timeoutMs for a visible top-level window of the process whose
// class is className (empty: any). Returns a Dialog with no window if none.
Dialog WaitForWindow(DWORD processId, const std::string& className, DWORD timeoutMs);
// A message box: class "#32770"; its text is its longest static text.
Dialog WaitForMessageBox(DWORD processId, DWORD timeoutMs = 20000);
// Presses the box's OK button.
void PressOk(const Dialog& box);
std::string WindowText(HWND window);
std::string ClassOf(HWND window);

// Polls until the path exists, up to timeoutMs.
bool WaitForPath(const std::string& path, DWORD timeoutMs);

// Waits for a visible top-level window of the process that the test accepts.
Dialog WaitForWindowWhere(DWORD processId, const std::function<bool(HWND)>& accept, DWORD timeoutMs);
HWND FindChildOfClass(HWND window, const std::string& className);
bool HasChildOfClass(HWND window, const std::string& className);
// The shell's folder browser: a dialog holding a tree view.
Dialog WaitForFolderBrowser(DWORD processId, DWORD timeoutMs = 20000);
// A message box: a dialog without a tree view.
Dialog WaitForPlainDialog(DWORD processId, DWORD timeoutMs = 20000);
// Selects a folder in another process's folder browser: the path is written
// into that process, then BFFM_SETSELECTIONA points the browser at it.
bool SelectFolder(const Process& owner, HWND browser, const std::string& folder);
void PressButton(HWND dialog, int id);
// Clicks a push button the way a mouse click does (BM_CLICK).
void ClickButton(HWND button);

// Marks a file or folder immutable on the Unix side (chattr +i), which even
// root cannot write to or delete: Wine runs as root here, and root ignores
// the read-only attribute. Returns false where that cannot be done.
bool SetImmutable(const std::string& path, bool immutable);

// Saves the whole screen as a BMP file (for failing GUI tests).
bool SaveScreenshot(const std::string& path);

// Loads a DLL into another process (CreateRemoteThread on LoadLibraryA) and
// waits for its start-up code to have run.
bool InjectLibrary(const Process& target, const std::string& dllPath);

// A registry value as stored: whether it exists, its type and its bytes.
struct RegistryValue {
    bool exists = false;
    DWORD type = 0;
    std::string bytes;
};
RegistryValue ReadRegistryValue(HKEY root, const std::string& key, const char* name);
bool RegistryKeyExists(HKEY root, const std::string& key);
void DeleteRegistryTree(HKEY root, const std::string& key);

} // namespace wt

// The baseline for the launcher's own cost: a GUI-subsystem program that only
// starts hl.exe from its own folder with "-game cstrike" and waits for it.
// Built twice: linking USER32, as a program that can show an error box must,
// and (BARE_WITHOUT_USER32) without it.
#include <windows.h>

#include <cstring>
#include <string>

int main()
{
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    folder = folder.substr(0, folder.find_last_of('\\'));
    const std::string game = folder + "\\hl.exe";
    char arguments[] = "-game cstrike";
    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(game.c_str(), arguments, nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                        &process)) {
#ifndef BARE_WITHOUT_USER32
        MessageBoxA(nullptr, "The game could not be started.", "Error", MB_ICONERROR);
#endif
        return 1;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return 0;
}

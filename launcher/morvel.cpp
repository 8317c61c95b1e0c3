// morvel: opens a game link. The shell starts this program from the game
// folder with the link as its only argument; it leaves a one-line connect
// script for the game, makes config.cfg run it, starts hl.exe, waits for the
// game to end and removes the script again.

#include "morvel_handoff.hpp"

#include <windows.h>
#include <shlwapi.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

// The runtime must hand the link over as it stands: no wildcard expansion of
// '*', '?' or '[' in it.
int _dowildcard = 0;

namespace {

struct CmHandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using CmHandle = std::unique_ptr<void, CmHandleCloser>;

std::string CmFindGameFolder()
{
    char folder[MAX_PATH];
    const DWORD length = GetModuleFileNameA(GetModuleHandleA(nullptr), folder, MAX_PATH);
    if (length == 0)
        CmFail("The launcher could not find its own folder: " + CmSystemReason(GetLastError()));
    if (length >= MAX_PATH)
        CmFail("The launcher's folder path is longer than Windows allows (" +
               std::to_string(MAX_PATH - 1) + " characters). Move the game to a shorter folder.");
    PathRemoveFileSpecA(folder);
    return folder;
}

CmLink CmReadLink(const char* argument)
{
    std::string text = argument;
    CmLink link;
    if (!CmParseLink(&text[0], link))
        CmFail("This is not a game link: \"" + CmPrintable(argument) +
               "\" has no \"://\". A game link looks like cs992003://cstrike:192.168.1.20:27015/");
    const std::string problem = CmCheckLink(link);
    if (!problem.empty())
        CmFail("This game link cannot be opened.\n\n" + problem);
    return link;
}

// One launcher per game directory at a time: a second one would replace the
// first one's connect script before its game has read it, and the first one
// would remove the second one's script when its game ends. The lock goes with
// the process, also when it is killed.
void CmClaimGameDir(const CmHandOffPaths& paths, const CmLink& link)
{
    HANDLE lock = CreateMutexA(nullptr, FALSE, CmGameDirLockName(paths.gameDir).c_str());
    if (!lock)
        CmFail("The launcher could not reserve the game directory\n" + paths.gameDir + "\n" +
               CmSystemReason(GetLastError()));
    const DWORD state = WaitForSingleObject(lock, 0);
    if (state != WAIT_OBJECT_0 && state != WAIT_ABANDONED)
        CmFail("A game started from another link is still running in \"" + link.gameDir + "\" of\n" +
               paths.gameFolder + "\n\nQuit that game first, then open this link again.");
}

void CmRunGame(const CmHandOffPaths& paths, const CmLink& link)
{
    std::string arguments = "-game " + link.gameDir;
    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    std::memset(&process, 0, sizeof process);

    if (!CreateProcessA(paths.game.c_str(), &arguments[0], nullptr, nullptr, FALSE, 0, nullptr,
                        paths.gameFolder.c_str(), &startup, &process)) {
        CmFailAfterScript(paths, "The game could not be started.\n\nProgram: " + paths.game +
                                     "\nReason: " + CmSystemReason(GetLastError()));
    }
    CmHandle processHandle(process.hProcess);
    CmHandle threadHandle(process.hThread);
    if (WaitForSingleObject(process.hProcess, INFINITE) == WAIT_FAILED)
        CmFailAfterScript(paths, "The launcher lost track of the game: " + CmSystemReason(GetLastError()));
}

} // namespace

int main(int argc, char** argv)
{
    const std::string gameFolder = CmFindGameFolder();
    if (argc <= 1) {
        MessageBoxA(nullptr, "Did you seriously try to launch this normally?", "Error", MB_ICONERROR);
        std::exit(1);
    }
    const CmLink link = CmReadLink(argv[1]);
    const CmHandOffPaths paths = CmMakePaths(gameFolder, link);
    CmClaimGameDir(paths, link);

    CmPrepareHandOff(paths, link);
    CmRunGame(paths, link);
    CmWithdrawHandOff(paths);
    std::exit(0);
}

// morvel: opens a game link. The shell starts this program from the game
// folder with the link as its only argument; it leaves a one-line connect
// script for the game, makes config.cfg run it, starts hl.exe, waits for the
// game to end and removes the script again.

#include "morvel_core.hpp"

#include <windows.h>
#include <shlwapi.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

// The runtime must hand the link over as it stands: no wildcard expansion of
// '*', '?' or '[' in it.
int _dowildcard = 0;

namespace {

struct CmFileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using CmFile = std::unique_ptr<std::FILE, CmFileCloser>;

struct CmHandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using CmHandle = std::unique_ptr<void, CmHandleCloser>;

struct CmHandOffPaths {
    std::string gameFolder;
    std::string gameDir;
    std::string script;
    std::string config;
    std::string game;
};

[[noreturn]] void CmFail(const std::string& text)
{
    MessageBoxA(nullptr, text.c_str(), "Error", MB_ICONERROR);
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

std::string CmRuntimeReason(int error)
{
    return std::strerror(error);
}

// Paths go to ANSI functions whose limit is MAX_PATH: a longer one would be
// cut or refused somewhere down the line, so it is refused here, plainly.
void CmRequireShortPath(const std::string& path)
{
    if (path.size() >= MAX_PATH)
        CmFail("The path\n" + path + "\nis longer than Windows allows (" +
               std::to_string(MAX_PATH - 1) + " characters). Move the game to a shorter folder.");
}

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

CmHandOffPaths CmMakePaths(const std::string& gameFolder, const CmLink& link)
{
    CmHandOffPaths paths;
    paths.gameFolder = gameFolder;
    paths.gameDir = CmJoinPath(gameFolder, link.gameDir);
    paths.script = CmJoinPath(paths.gameDir, "joinserver.cfg");
    paths.config = CmJoinPath(paths.gameDir, "config.cfg");
    paths.game = CmJoinPath(gameFolder, "hl.exe");
    CmRequireShortPath(paths.script);
    CmRequireShortPath(paths.config);
    CmRequireShortPath(paths.game);

    const DWORD attributes = GetFileAttributesA(paths.gameDir.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        CmFail("This game link cannot be opened.\n\nThe game directory \"" + link.gameDir +
               "\" does not exist in\n" + gameFolder);
    return paths;
}

// Removes the connect script if it is there. Returns an empty string on
// success, else the reason.
std::string CmRemoveScript(const std::string& script)
{
    if (PathFileExistsA(script.c_str()) && !DeleteFileA(script.c_str()))
        return CmSystemReason(GetLastError());
    return std::string();
}

// Undoes the connect script after a later step failed, then reports that step.
[[noreturn]] void CmFailAfterScript(const CmHandOffPaths& paths, const std::string& text)
{
    const std::string leftOver = CmRemoveScript(paths.script);
    if (!leftOver.empty())
        CmFail(text + "\n\nThe connect script\n" + paths.script + "\ncould not be removed either: " + leftOver);
    CmFail(text);
}

void CmWriteScript(const CmHandOffPaths& paths, const CmLink& link)
{
    const std::string stale = CmRemoveScript(paths.script);
    if (!stale.empty())
        CmFail("The old connect script\n" + paths.script + "\ncould not be removed: " + stale);

    CmFile file(std::fopen(paths.script.c_str(), "a"));
    if (!file)
        CmFail("The connect script\n" + paths.script + "\ncould not be created: " + CmRuntimeReason(errno));
    const std::string command = CmConnectCommand(link);
    const bool written = std::fputs(command.c_str(), file.get()) >= 0;
    const bool closed = std::fclose(file.release()) == 0;
    if (!written || !closed)
        CmFailAfterScript(paths, "The connect script\n" + paths.script + "\ncould not be written: " +
                                     CmRuntimeReason(errno));
}

// The last piece of config.cfg as the game's line reader would see it; an
// absent file reads as empty, since the append below creates it.
std::string CmReadConfigEnd(const CmHandOffPaths& paths)
{
    CmLastPiece piece;
    CmFile file(std::fopen(paths.config.c_str(), "r"));
    if (!file) {
        if (errno == ENOENT)
            return std::string();
        CmFailAfterScript(paths, "The game's config file\n" + paths.config + "\ncould not be opened: " +
                                     CmRuntimeReason(errno));
    }
    int byte;
    while ((byte = std::getc(file.get())) != EOF)
        CmFeedByte(piece, static_cast<char>(byte));
    if (std::ferror(file.get()))
        CmFailAfterScript(paths, "The game's config file\n" + paths.config + "\ncould not be read: " +
                                     CmRuntimeReason(errno));
    return CmFinalPiece(piece);
}

void CmEnsureExecLine(const CmHandOffPaths& paths)
{
    const std::string addition = CmExecLineToAppend(CmReadConfigEnd(paths));
    if (addition.empty())
        return;
    CmFile file(std::fopen(paths.config.c_str(), "a"));
    if (!file)
        CmFailAfterScript(paths, "The game's config file\n" + paths.config + "\ncould not be opened for writing: " +
                                     CmRuntimeReason(errno));
    const bool written = std::fwrite(addition.data(), 1, addition.size(), file.get()) == addition.size();
    const bool closed = std::fclose(file.release()) == 0;
    if (!written || !closed)
        CmFailAfterScript(paths, "The game's config file\n" + paths.config + "\ncould not be written: " +
                                     CmRuntimeReason(errno));
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

    CmWriteScript(paths, link);
    CmEnsureExecLine(paths);
    CmRunGame(paths, link);

    const std::string leftOver = CmRemoveScript(paths.script);
    if (!leftOver.empty())
        CmFail("The game has ended, but the connect script\n" + paths.script + "\ncould not be removed: " + leftOver);
    std::exit(0);
}

#include "morvel_handoff.hpp"

#include <shlwapi.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

struct CmFileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using CmFile = std::unique_ptr<std::FILE, CmFileCloser>;

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

// Removes the connect script if it is there. Returns an empty string on
// success, else the reason.
std::string CmRemoveScript(const std::string& script)
{
    if (PathFileExistsA(script.c_str()) && !DeleteFileA(script.c_str()))
        return CmSystemReason(GetLastError());
    return std::string();
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
// absent file reads as empty, since the append below creates it. The file is
// read in binary with CR LF folded into LF, as text mode does, but without
// text mode's stop at a Ctrl-Z byte: with that stop, a command appended behind
// such a byte would never be seen, and each run would append it again.
std::string CmReadConfigEnd(const CmHandOffPaths& paths)
{
    CmLastPiece piece;
    CmFile file(std::fopen(paths.config.c_str(), "rb"));
    if (!file) {
        if (errno == ENOENT)
            return std::string();
        CmFailAfterScript(paths, "The game's config file\n" + paths.config + "\ncould not be opened: " +
                                     CmRuntimeReason(errno));
    }
    int byte = std::getc(file.get());
    while (byte != EOF) {
        int next = std::getc(file.get());
        if (byte == '\r' && next == '\n') {
            byte = next;
            next = std::getc(file.get());
        }
        CmFeedByte(piece, static_cast<char>(byte));
        byte = next;
    }
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

} // namespace

void CmFail(const std::string& text)
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

void CmFailAfterScript(const CmHandOffPaths& paths, const std::string& text)
{
    const std::string leftOver = CmRemoveScript(paths.script);
    if (!leftOver.empty())
        CmFail(text + "\n\nThe connect script\n" + paths.script + "\ncould not be removed either: " + leftOver);
    CmFail(text);
}

void CmPrepareHandOff(const CmHandOffPaths& paths, const CmLink& link)
{
    CmWriteScript(paths, link);
    CmEnsureExecLine(paths);
}

void CmWithdrawHandOff(const CmHandOffPaths& paths)
{
    const std::string leftOver = CmRemoveScript(paths.script);
    if (!leftOver.empty())
        CmFail("The game has ended, but the connect script\n" + paths.script + "\ncould not be removed: " + leftOver);
}

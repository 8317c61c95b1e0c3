// A stand-in for the game's hl.exe, for the tests and the demo. Like the
// game, it runs its game directory's config.cfg at start: commands split at
// line ends and at ';' outside double quotes, "//" comments skipped,
// "exec FILE" runs FILE from the game directory, and "connect HOST:PORT"
// joins a server (one UDP datagram each way, loopback servers only).
//
// It records what it got into the folder hl-record beside itself: the command
// line, the working directory, the hand-off files as they are while it runs,
// every console command it ran (console.log) and the server's answer
// (connect.txt); the file "started" is written last. Then it behaves as
// hl-control.txt beside itself says:
//   hold      wait until a file hl-release appears beside it (at most 2 minutes)
//   exit N    end with exit status N (default 0)
//   crash     end through an access violation
//   answer-wait MS   wait at most MS milliseconds for a server's answer (3000)

#include "join_protocol.hpp"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string OwnFolder()
{
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of('\\'));
}

bool ReadWhole(const std::string& path, std::string& bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, got);
    std::fclose(file);
    return true;
}

void WriteWhole(const std::string& path, const std::string& bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return;
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

// The value after "-game", as the game reads it: up to the next space.
std::string GameDirFrom(const std::string& commandLine)
{
    const std::size_t at = commandLine.find("-game ");
    if (at == std::string::npos)
        return std::string();
    const std::size_t start = at + 6;
    return commandLine.substr(start, commandLine.find(' ', start) - start);
}

struct Console {
    int answerWaitMs = 3000;
    std::string gameDir;       // full path of the game directory
    std::string gameDirName;   // as given after -game
    std::string log;
    std::string connects;
};

void RunScript(Console& console, const std::string& text, int depth);

void RunCommand(Console& console, const std::string& command, int depth)
{
    const std::size_t start = command.find_first_not_of(" \t");
    if (start == std::string::npos)
        return;
    const std::string trimmed = command.substr(start, command.find_last_not_of(" \t") - start + 1);
    console.log += trimmed + "\n";
    const std::size_t space = trimmed.find(' ');
    const std::string verb = trimmed.substr(0, space);
    std::string argument = space == std::string::npos ? std::string() : trimmed.substr(space + 1);
    if (argument.size() >= 2 && argument.front() == '"' && argument.back() == '"')
        argument = argument.substr(1, argument.size() - 2);
    if (verb == "exec" && depth < 8) {
        std::string script;
        if (ReadWhole(console.gameDir + "\\" + argument, script))
            RunScript(console, script, depth + 1);
        else
            console.log += "(couldn't exec " + argument + ")\n";
    } else if (verb == "connect") {
        const std::size_t colon = argument.rfind(':');
        const std::string host = argument.substr(0, colon);
        const std::string port = colon == std::string::npos ? "27015" : argument.substr(colon + 1);
        console.connects += argument + " " + join::SendJoin(host, port, console.gameDirName, console.answerWaitMs) + "\n";
    }
}

void RunScript(Console& console, const std::string& text, int depth)
{
    std::string command;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"')
            quoted = !quoted;
        if (!quoted && c == '/' && i + 1 < text.size() && text[i + 1] == '/') {
            while (i < text.size() && text[i] != '\n' && text[i] != '\r')
                ++i;
            --i;
            continue;
        }
        if (c == '\n' || c == '\r' || (c == ';' && !quoted)) {
            RunCommand(console, command, depth);
            command.clear();
            quoted = false;
            continue;
        }
        command += c;
    }
    RunCommand(console, command, depth);
}

void Record(const std::string& folder, const std::string& control)
{
    const std::string record = folder + "\\hl-record";
    CreateDirectoryA(record.c_str(), nullptr);
    const std::string commandLine = GetCommandLineA();
    char cwd[MAX_PATH] = "";
    GetCurrentDirectoryA(MAX_PATH, cwd);
    WriteWhole(record + "\\cmdline.txt", commandLine);
    WriteWhole(record + "\\cwd.txt", cwd);

    Console console;
    const std::size_t wait = control.find("answer-wait ");
    if (wait != std::string::npos)
        console.answerWaitMs = std::atoi(control.c_str() + wait + 12);
    console.gameDirName = GameDirFrom(commandLine);
    console.gameDir = folder + "\\" + console.gameDirName;
    for (const char* name : {"joinserver.cfg", "config.cfg"}) {
        std::string bytes;
        if (ReadWhole(console.gameDir + "\\" + name, bytes))
            WriteWhole(record + "\\" + name, bytes);
    }
    std::string config;
    if (ReadWhole(console.gameDir + "\\config.cfg", config))
        RunScript(console, config, 0);
    WriteWhole(record + "\\console.log", console.log);
    WriteWhole(record + "\\connect.txt", console.connects);
    // Written last: once it exists, the record is complete.
    WriteWhole(record + "\\started", "1");
}

} // namespace

int main()
{
    const std::string folder = OwnFolder();
    std::string control;
    ReadWhole(folder + "\\hl-control.txt", control);
    Record(folder, control);

    int exitCode = 0;
    const std::size_t exitAt = control.find("exit ");
    if (exitAt != std::string::npos)
        exitCode = std::atoi(control.c_str() + exitAt + 5);
    if (control.find("hold") != std::string::npos) {
        const std::string release = folder + "\\hl-release";
        for (int i = 0; i < 12000 && GetFileAttributesA(release.c_str()) == INVALID_FILE_ATTRIBUTES; ++i)
            Sleep(10);
    }
    if (control.find("crash") != std::string::npos) {
        volatile int* nowhere = nullptr;
        *nowhere = 1;
    }
    return exitCode;
}

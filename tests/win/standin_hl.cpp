// A stand-in for the game's hl.exe, for the tests. It records what the
// launcher gave it (command line, working directory, and the hand-off files
// as they are while the game runs) into the folder hl-record beside itself,
// then behaves as hl-control.txt beside itself says:
//   hold      wait until a file hl-release appears beside it (at most 2 minutes)
//   exit N    end with exit status N (default 0)
//   crash     end through an access violation

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

void Record(const std::string& folder)
{
    const std::string record = folder + "\\hl-record";
    CreateDirectoryA(record.c_str(), nullptr);
    const std::string commandLine = GetCommandLineA();
    char cwd[MAX_PATH] = "";
    GetCurrentDirectoryA(MAX_PATH, cwd);
    WriteWhole(record + "\\cmdline.txt", commandLine);
    WriteWhole(record + "\\cwd.txt", cwd);

    const std::string gameDir = folder + "\\" + GameDirFrom(commandLine);
    for (const char* name : {"joinserver.cfg", "config.cfg"}) {
        std::string bytes;
        if (ReadWhole(gameDir + "\\" + name, bytes))
            WriteWhole(record + "\\" + name, bytes);
    }
    // Written last: once it exists, the record is complete.
    WriteWhole(record + "\\started", "1");
}

} // namespace

int main()
{
    const std::string folder = OwnFolder();
    Record(folder);

    std::string control;
    ReadWhole(folder + "\\hl-control.txt", control);
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

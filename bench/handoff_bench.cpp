// The hand-off alone, without starting a game: the launcher's own code that
// writes joinserver.cfg, makes sure config.cfg ends with the exec line, and
// removes the script again.
//   handoff_bench GAME_FOLDER GAME_DIR [PEAK_FILE]
// writes its own peak working set in bytes into PEAK_FILE at the end.
#include "morvel_handoff.hpp"

#include <psapi.h>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: handoff_bench GAME_FOLDER GAME_DIR\n");
        return 2;
    }
    CmLink link;
    link.gameDir = argv[2];
    link.host = "127.0.0.1";
    link.port = "27015";
    link.hasGameDir = link.hasHost = link.hasPort = true;
    const CmHandOffPaths paths = CmMakePaths(argv[1], link);
    CmPrepareHandOff(paths, link);
    CmWithdrawHandOff(paths);
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    if (argc > 3 && GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory)) {
        if (std::FILE* file = std::fopen(argv[3], "w")) {
            std::fprintf(file, "%llu\n", static_cast<unsigned long long>(memory.PeakWorkingSetSize));
            std::fclose(file);
        }
    }
    return 0;
}

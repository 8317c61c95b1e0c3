// Measures, under Wine, what the launcher costs on top of a bare launcher,
// and what the hand-off costs on a small and a large config.cfg.
//   launcher_bench [ROUNDS]
// Prints a Markdown table. Runs alternate between the programs compared, so
// that drifts of the machine hit them alike; ratios are taken per round.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string ProgramFolder()
{
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of('\\'));
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
}

struct Run {
    double seconds = 0;
    double peakMiB = 0;
    DWORD exitCode = 1;
};

Run Measure(const std::string& program, const std::string& arguments, const std::string& folder)
{
    std::string commandLine = "\"" + program + "\" " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    Run run;
    if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                        &startup, &process))
        return run;
    WaitForSingleObject(process.hProcess, INFINITE);
    QueryPerformanceCounter(&end);
    run.seconds = double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(process.hProcess, &memory, sizeof memory))
        run.peakMiB = double(memory.PeakWorkingSetSize) / (1024.0 * 1024.0);
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return run;
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double Max(const std::vector<double>& values)
{
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 21;
    const std::string bin = ProgramFolder();
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string game = std::string(temp) + "morvel-bench-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(game.c_str(), nullptr);
    CreateDirectoryA((game + "\\cstrike").c_str(), nullptr);
    for (const char* name : {"morvel.exe", "bare_launcher.exe", "bare_launcher_nouser.exe", "handoff_bench.exe"})
        CopyFileA((bin + "\\" + name).c_str(), (game + "\\" + name).c_str(), FALSE);
    CopyFileA((bin + "\\quick_hl.exe").c_str(), (game + "\\hl.exe").c_str(), FALSE);
    WriteFile(game + "\\cstrike\\config.cfg", "name player\r\nexec joinserver.cfg");

    // a. The launcher against bare launchers, each starting the same quick game.
    struct Contender {
        const char* name;
        std::string program;
        std::string arguments;
        std::vector<double> seconds, peaks;
    };
    Contender contenders[] = {
        {"morvel.exe (link launcher)", game + "\\morvel.exe", "\"cs992003://cstrike:127.0.0.1:27015/\"", {}, {}},
        {"bare launcher, GUI, USER32 linked", game + "\\bare_launcher.exe", "", {}, {}},
        {"bare launcher, GUI, no USER32", game + "\\bare_launcher_nouser.exe", "", {}, {}},
    };
    std::vector<double> ratioBare, ratioFloor;
    for (Contender& c : contenders)  // warm-up, not counted
        Measure(c.program, c.arguments, game);
    for (int round = 0; round < rounds; ++round) {
        Run runs[3];
        for (int k = 0; k < 3; ++k) {
            const int index = (round + k) % 3;
            runs[index] = Measure(contenders[index].program, contenders[index].arguments, game);
            if (runs[index].exitCode != 0) {
                std::fprintf(stderr, "%s failed (exit %lu)\n", contenders[index].name, runs[index].exitCode);
                return 1;
            }
            contenders[index].seconds.push_back(runs[index].seconds);
            contenders[index].peaks.push_back(runs[index].peakMiB);
        }
        ratioBare.push_back(runs[0].seconds / runs[1].seconds);
        ratioFloor.push_back(runs[0].seconds / runs[2].seconds);
    }

    std::printf("### Launcher start-to-end, %d alternating rounds (stand-in game that exits at once)\n\n", rounds);
    std::printf("| program | median time (ms) | peak working set (MiB) |\n|---|---:|---:|\n");
    for (const Contender& c : contenders)
        std::printf("| %s | %.1f | %.2f |\n", c.name, Median(c.seconds) * 1000, Max(c.peaks));
    std::printf("\n| paired ratio (median) | value | goal |\n|---|---:|---|\n");
    const double bare = Median(ratioBare);
    std::printf("| morvel.exe / bare launcher with USER32 | %.3f | at most 1.05: %s |\n", bare,
                bare <= 1.05 ? "met" : "NOT met");
    std::printf("| morvel.exe / bare launcher without USER32 (floor) | %.3f | for information |\n\n",
                Median(ratioFloor));

    // b. The hand-off alone on a small and a large config.cfg.
    std::printf("### Hand-off alone (no game started), config.cfg ending with the exec line\n\n");
    std::printf("| config.cfg | median time (ms) | peak working set (MiB) |\n|---|---:|---:|\n");
    for (const std::size_t size : {std::size_t(10) * 1024, std::size_t(10) * 1024 * 1024}) {
        std::string config;
        const std::string line = "bind \"KP_5\" \"+duck; +attack\" // a typical line\r\n";
        while (config.size() + line.size() < size - 19)
            config += line;
        config.append(size - 19 - config.size(), ' ');
        config += "exec joinserver.cfg";
        WriteFile(game + "\\cstrike\\config.cfg", config);
        std::vector<double> seconds, peaks;
        for (int round = 0; round < std::max(5, rounds / 2); ++round) {
            const std::string peakFile = game + "\\handoff-peak.txt";
            const Run run = Measure(game + "\\handoff_bench.exe", "\"" + game + "\" cstrike \"" + peakFile + "\"", game);
            if (run.exitCode != 0) {
                std::fprintf(stderr, "the hand-off failed (exit %lu)\n", run.exitCode);
                return 1;
            }
            seconds.push_back(run.seconds);
            // Reported by the process itself: read from outside, the figure
            // is not always there once it has ended.
            unsigned long long peak = 0;
            if (std::FILE* file = std::fopen(peakFile.c_str(), "r")) {
                if (std::fscanf(file, "%llu", &peak) != 1)
                    peak = 0;
                std::fclose(file);
            }
            DeleteFileA(peakFile.c_str());
            peaks.push_back(double(peak) / (1024.0 * 1024.0));
        }
        std::printf("| %s | %.1f | %.2f |\n", size < 1024 * 1024 ? "10 KB" : "10 MB", Median(seconds) * 1000,
                    Max(peaks));
    }

    for (const char* name : {"morvel.exe", "bare_launcher.exe", "bare_launcher_nouser.exe", "handoff_bench.exe",
                             "hl.exe", "cstrike\\config.cfg", "cstrike\\joinserver.cfg"})
        DeleteFileA((game + "\\" + name).c_str());
    RemoveDirectoryA((game + "\\cstrike").c_str());
    RemoveDirectoryA(game.c_str());
    return 0;
}

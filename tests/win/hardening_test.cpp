// The launcher on a player's machine, under Wine: config.cfg keeps every byte
// whatever it holds, and each fault is told to the player with nothing lost.

#include "game_folder.hpp"
#include "morvel_handoff.hpp"
#include "wintest.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

// --- config.cfg keeps every byte ------------------------------------------

std::string RandomLine(std::mt19937& random)
{
    static const std::size_t lengths[] = {0, 1, 5, 18, 19, 20, 510, 511, 512, 1022, 1023};
    static const std::string specials[] = {
        "exec joinserver.cfg", "EXEC joinserver.cfg", " exec joinserver.cfg", "exec joinserver.cfg ",
        "exec  joinserver.cfg", "bind \"w\" \"+forward; +jump\"", "// exec joinserver.cfg",
    };
    switch (random() % 4) {
    case 0:
        return specials[random() % (sizeof specials / sizeof specials[0])];
    case 1: {
        // Long lines that end in the command, so the 511-byte pieces matter.
        const std::size_t length = lengths[random() % (sizeof lengths / sizeof lengths[0])];
        return std::string(length, 'x') + "exec joinserver.cfg";
    }
    default: {
        const std::size_t length = random() % 3 == 0 ? lengths[random() % (sizeof lengths / sizeof lengths[0])]
                                                     : random() % 60;
        std::string line;
        for (std::size_t i = 0; i < length; ++i) {
            switch (random() % 12) {
            case 0: line += '\x1A'; break;               // Ctrl-Z: text mode's end of file
            case 1: line += '\0'; break;                 // NUL: the end of a C string
            case 2: line += static_cast<char>(0x80 + random() % 0x80); break;
            case 3: line += '\r'; break;                 // a lone CR
            default: line += static_cast<char>(' ' + random() % 95); break;
            }
        }
        return line;
    }
    }
}

std::string RandomConfig(std::mt19937& random)
{
    static const char* const ends[] = {"\n", "\r\n", "\r", ""};
    std::string config;
    const int lines = static_cast<int>(random() % 6);
    for (int i = 0; i < lines; ++i)
        config += RandomLine(random) + ends[random() % (i + 1 == lines ? 4 : 3)];
    return config;
}

TEST(ConfigProperty, KeepsEveryByteAndEndsWithTheCommandOnce)
{
    wt::ScratchFolder root("property");
    const std::string dir = root.Path() + "\\cstrike";
    wt::MakeFolder(dir);
    CmLink link;
    link.gameDir = "cstrike";
    link.host = "127.0.0.1";
    link.port = "27015";
    link.hasGameDir = link.hasHost = link.hasPort = true;
    const CmHandOffPaths paths = CmMakePaths(root.Path(), link);

    std::mt19937 random(20031999);
    std::vector<std::string> configs = {"", "\x1A", std::string(1, '\0'), "exec joinserver.cfg\x1A",
                                        std::string("a\0exec joinserver.cfg", 21), "x\r", "\r\n"};
    for (int i = 0; i < 400; ++i)
        configs.push_back(RandomConfig(random));

    for (const std::string& before : configs) {
        SCOPED_TRACE(::testing::PrintToString(before.substr(0, 80)) + " (" + std::to_string(before.size()) + " bytes)");
        wt::WriteFile(paths.config, before);
        CmPrepareHandOff(paths, link);
        EXPECT_EQ(wt::ReadFile(paths.script), "connect 127.0.0.1:27015");
        CmWithdrawHandOff(paths);
        const std::string after = wt::ReadFile(paths.config);
        ASSERT_GE(after.size(), before.size());
        EXPECT_EQ(after.compare(0, before.size(), before), 0) << "the old content is not kept byte for byte";
        const std::string added = after.substr(before.size());
        EXPECT_TRUE(added.empty() || added == kExec || added == "\r\n" + kExec) << ::testing::PrintToString(added);
        EXPECT_TRUE(after.size() >= kExec.size() && after.compare(after.size() - kExec.size(), kExec.size(), kExec) == 0)
            << "config.cfg does not end with the command";

        CmPrepareHandOff(paths, link);
        CmWithdrawHandOff(paths);
        EXPECT_EQ(wt::ReadFile(paths.config), after) << "a second hand-off changed config.cfg";
        EXPECT_FALSE(wt::Exists(paths.script));
    }
}

// --- faults, as the player meets them --------------------------------------

// Undoes what the test made immutable, whatever happens.
struct Immutable {
    std::vector<std::string> paths;
    bool Make(const std::string& path)
    {
        if (!wt::SetImmutable(path, true))
            return false;
        paths.push_back(path);
        return true;
    }
    ~Immutable()
    {
        for (const std::string& path : paths)
            wt::SetImmutable(path, false);
    }
};

const std::string kStaleScript = "connect 6.6.6.6:666";

struct Fault {
    const char* what;
    // Returns false when this machine cannot bring the fault about.
    std::function<bool(Game&, Immutable&)> arrange;
    const char* boxSays;   // nullptr: no box, the run succeeds
    DWORD exitCode;
    bool configKept;       // config.cfg byte for byte as before
    bool gameStarts;
};

TEST(LauncherFaults, EachIsToldAndNothingIsLost)
{
    const std::string config = "name p\r\nbind w +forward\r\n";
    wt::Handle held;
    const Fault faults[] = {
        // Root ignores the read-only attribute; the file is made immutable too.
        {"config.cfg read-only",
         [](Game& g, Immutable& lock) {
             SetFileAttributesA((g.cstrike + "\\config.cfg").c_str(), FILE_ATTRIBUTE_READONLY);
             return lock.Make(g.cstrike + "\\config.cfg");
         },
         "could not be opened for writing", 1, true, false},
        {"stale joinserver.cfg read-only",
         [](Game& g, Immutable& lock) {
             wt::WriteFile(g.cstrike + "\\joinserver.cfg", kStaleScript);
             SetFileAttributesA((g.cstrike + "\\joinserver.cfg").c_str(), FILE_ATTRIBUTE_READONLY);
             return lock.Make(g.cstrike + "\\joinserver.cfg");
         },
         "old connect script", 1, true, false},
        {"stale joinserver.cfg held open by another program",
         [&held](Game& g, Immutable&) {
             wt::WriteFile(g.cstrike + "\\joinserver.cfg", kStaleScript);
             held.reset(CreateFileA((g.cstrike + "\\joinserver.cfg").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    0, nullptr));
             return held.get() != INVALID_HANDLE_VALUE;
         },
         "old connect script", 1, true, false},
        {"game directory missing", [](Game& g, Immutable&) { wt::RemoveTree(g.cstrike); return true; },
         "does not exist", 1, false, false},
        {"hl.exe missing", [](Game& g, Immutable&) { return DeleteFileA((g.folder + "\\hl.exe").c_str()) != 0; },
         "could not be started", 1, false, false},
        {"hl.exe is no program",
         [](Game& g, Immutable&) { wt::WriteFile(g.folder + "\\hl.exe", "not a program"); return true; },
         "could not be started", 1, false, false},
        {"hl.exe crashes", [](Game& g, Immutable&) { g.Control("crash"); return true; }, nullptr, 0, false, true},
        {"hl.exe exits at once with status 3", [](Game& g, Immutable&) { g.Control("exit 3"); return true; },
         nullptr, 0, false, true},
    };
    for (const Fault& fault : faults) {
        SCOPED_TRACE(fault.what);
        Game game;
        wt::WriteFile(game.cstrike + "\\config.cfg", config);
        Immutable lock;
        if (!fault.arrange(game, lock)) {
            std::printf("[ SKIPPED  ] %s: this machine cannot bring it about (chattr)\n", fault.what);
            continue;
        }
        const bool hadScript = wt::Exists(game.cstrike + "\\joinserver.cfg");

        const wt::Process launcher = game.Launch(wt::Quoted("cs992003://cstrike:127.0.0.1:27015/"));
        if (fault.boxSays) {
            const wt::Dialog box = wt::WaitForMessageBox(launcher.id);
            ASSERT_NE(box.window, nullptr) << "no message box";
            EXPECT_EQ(box.title, "Error");
            EXPECT_NE(box.text.find(fault.boxSays), std::string::npos) << box.text;
            wt::PressOk(box);
        }
        ASSERT_TRUE(launcher.WaitForExit(20000));
        EXPECT_EQ(launcher.ExitCode(), fault.exitCode);
        held.reset();

        EXPECT_EQ(game.GameStarted(), fault.gameStarts);
        if (wt::Exists(game.cstrike)) {
            if (fault.configKept)
                EXPECT_EQ(wt::ReadFile(game.cstrike + "\\config.cfg"), config);
            else
                EXPECT_EQ(wt::ReadFile(game.cstrike + "\\config.cfg"), config + kExec);
            if (hadScript && fault.exitCode != 0)
                EXPECT_EQ(wt::ReadFile(game.cstrike + "\\joinserver.cfg"), kStaleScript) << "the old script was lost";
            else
                EXPECT_FALSE(wt::Exists(game.cstrike + "\\joinserver.cfg")) << "a connect script was left behind";
        }
    }
}

// --- paths at and beyond the limit ----------------------------------------

std::string AnsiNonAscii()
{
    // "\u00e9" in the ANSI code page, if it has one.
    char text[8] = "";
    BOOL lossy = FALSE;
    const int length = WideCharToMultiByte(CP_ACP, 0, L"\u00e9", 1, text, sizeof text, nullptr, &lossy);
    return length > 0 && !lossy ? std::string(text, length) : std::string();
}

// Makes a game folder of exactly `length` characters under root, in levels
// named after `flavour` (spaces and all), with the launcher, the stand-in
// game and a cstrike game directory in it.
std::string MakeGameFolderOfLength(const std::string& root, std::size_t length, const std::string& flavour)
{
    std::string folder = root;
    while (folder.size() < length) {
        std::size_t room = length - folder.size() - 1;
        std::size_t take = room < 50 ? room : 50;
        if (room - take == 1)
            --take;  // leave room for a name after the next separator
        std::string name;
        while (name.size() < take)
            name += flavour;
        name.resize(take);
        name.back() = 'x';  // Windows drops trailing spaces and dots
        folder += "\\" + name;
        wt::MakeFolder(folder);
    }
    wt::MakeFolder(folder + "\\cstrike");
    wt::CopyFileOrThrow(wt::ProgramFolder() + "\\morvel.exe", folder + "\\morvel.exe");
    wt::CopyFileOrThrow(wt::ProgramFolder() + "\\standin_hl.exe", folder + "\\hl.exe");
    wt::WriteFile(folder + "\\hl-control.txt", "answer-wait 0\n");
    wt::WriteFile(folder + "\\cstrike\\config.cfg", "name p\r\n");
    return folder;
}

TEST(LauncherPaths, LongestPathThatFitsWorksOneBeyondIsRefused)
{
    // The longest path the launcher needs is GAME\cstrike\joinserver.cfg: 23
    // characters more than the game folder, of the 259 that MAX_PATH leaves.
    const std::size_t fits = MAX_PATH - 1 - std::string("\\cstrike\\joinserver.cfg").size();
    for (const std::string& flavour : {std::string("Half Life "), "Jeux " + AnsiNonAscii() + " "}) {
        // (A launcher whose own path passes 259 characters cannot be started
        // at all, so the check of its own path cannot be reached from here.)
        for (const std::size_t length : {fits, fits + 1}) {
            SCOPED_TRACE("\"" + flavour + "\" " + std::to_string(length));
            wt::ScratchFolder root("paths");
            const std::string folder = MakeGameFolderOfLength(root.Path(), length, flavour);
            ASSERT_EQ(folder.size(), length);
            ASSERT_TRUE(wt::Exists(folder + "\\morvel.exe")) << folder;
            const auto before = wt::Snapshot(root.Path());
            const wt::Process launcher =
                wt::Start(folder + "\\morvel.exe", wt::Quoted("cs992003://cstrike:127.0.0.1:27015/"), root.Path());
            if (length == fits) {
                ASSERT_TRUE(launcher.WaitForExit(20000));
                EXPECT_EQ(launcher.ExitCode(), 0u);
                EXPECT_EQ(wt::ReadFile(folder + "\\hl-record\\cwd.txt"), folder);
                EXPECT_EQ(wt::ReadFile(folder + "\\hl-record\\joinserver.cfg"), "connect 127.0.0.1:27015");
                EXPECT_EQ(wt::ReadFile(folder + "\\cstrike\\config.cfg"), "name p\r\n" + kExec);
                EXPECT_FALSE(wt::Exists(folder + "\\cstrike\\joinserver.cfg"));
            } else {
                const wt::Dialog box = wt::WaitForMessageBox(launcher.id);
                ASSERT_NE(box.window, nullptr);
                EXPECT_NE(box.text.find("longer than Windows allows"), std::string::npos) << box.text;
                wt::PressOk(box);
                ASSERT_TRUE(launcher.WaitForExit(10000));
                EXPECT_EQ(launcher.ExitCode(), 1u);
                EXPECT_EQ(wt::Snapshot(root.Path()), before) << "a refused run changed files";
            }
        }
    }
}

// --- two launchers, and a killed one ---------------------------------------

TEST(LauncherConcurrency, TwoLaunchersForOneGameDirectory)
{
    Game game;
    game.Control("hold");
    wt::WriteFile(game.cstrike + "\\config.cfg", "name p\r\n");
    const std::string first = "cs992003://cstrike:127.0.0.1:1111/";
    const std::string second = "cs992003://cstrike:127.0.0.2:2222/";
    // Started back to back: one of them gets the game directory.
    const wt::Process a = game.Launch(wt::Quoted(first));
    const wt::Process b = game.Launch(wt::Quoted(second));

    ASSERT_TRUE(wt::WaitForPath(game.record + "\\started", 20000));
    wt::Dialog refusal;
    const wt::Process* loser = nullptr;
    for (int i = 0; i < 200 && !refusal.window; ++i) {
        for (const wt::Process* p : {&a, &b}) {
            const wt::Dialog found = wt::WaitForMessageBox(p->id, 0);
            if (found.window) {
                refusal = found;
                loser = p;
            }
        }
        Sleep(50);
    }
    ASSERT_NE(refusal.window, nullptr) << "the second launcher did not refuse";
    EXPECT_NE(refusal.text.find("still running"), std::string::npos) << refusal.text;
    wt::PressOk(refusal);
    ASSERT_TRUE(loser->WaitForExit(10000));
    EXPECT_EQ(loser->ExitCode(), 1u);

    const wt::Process& winner = loser == &a ? b : a;
    const std::string expected = loser == &a ? "connect 127.0.0.2:2222" : "connect 127.0.0.1:1111";
    EXPECT_EQ(game.Recorded("joinserver.cfg"), expected) << "a mixed or foreign connect line reached the game";
    EXPECT_EQ(wt::ReadFile(game.cstrike + "\\joinserver.cfg"), expected);
    EXPECT_FALSE(winner.WaitForExit(0));

    wt::WriteFile(game.folder + "\\hl-release", "");
    ASSERT_TRUE(winner.WaitForExit(20000));
    EXPECT_EQ(winner.ExitCode(), 0u);
    EXPECT_FALSE(wt::Exists(game.cstrike + "\\joinserver.cfg"));
    EXPECT_EQ(wt::ReadFile(game.cstrike + "\\config.cfg"), "name p\r\n" + kExec);

    // Once the game has ended, the next link goes through.
    DeleteFileA((game.folder + "\\hl-release").c_str());
    game.Control("");
    EXPECT_EQ(game.Open(second), 0u);
    EXPECT_EQ(game.Recorded("joinserver.cfg"), "connect 127.0.0.2:2222");
}

TEST(LauncherConcurrency, KilledLauncherLeavesAScriptTheNextRunReplaces)
{
    Game game;
    game.Control("hold");
    const wt::Process killed = game.Launch(wt::Quoted("cs992003://cstrike:127.0.0.1:1111/"));
    ASSERT_TRUE(wt::WaitForPath(game.record + "\\started", 20000));
    killed.Kill();
    wt::WriteFile(game.folder + "\\hl-release", "");
    Sleep(500);
    EXPECT_EQ(wt::ReadFile(game.cstrike + "\\joinserver.cfg"), "connect 127.0.0.1:1111") << "stale script expected";

    DeleteFileA((game.folder + "\\hl-release").c_str());
    wt::RemoveTree(game.record);
    game.Control("");
    EXPECT_EQ(game.Open("cs992003://cstrike:127.0.0.3:3333/"), 0u);
    EXPECT_EQ(game.Recorded("joinserver.cfg"), "connect 127.0.0.3:3333");
    EXPECT_FALSE(wt::Exists(game.cstrike + "\\joinserver.cfg"));
    EXPECT_EQ(wt::ReadFile(game.cstrike + "\\config.cfg"), kExec);
}

} // namespace

// The launcher as the shell starts it, on the Windows runtime under Wine: a
// game folder with morvel.exe, a stand-in hl.exe that records what it got,
// and a game directory with its config.cfg.

#include "game_folder.hpp"
#include "wintest.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(LauncherRun, StartsTheGameWithTheHandOffInPlace)
{
    Game game;
    wt::WriteFile(game.cstrike + "\\config.cfg", "name player\r\nbind w +forward\r\n");

    EXPECT_EQ(game.Open("cs992003://cstrike:192.168.1.20:27015/"), 0u);

    ASSERT_TRUE(game.GameStarted());
    EXPECT_EQ(game.Recorded("cmdline.txt"), "-game cstrike");
    EXPECT_EQ(game.Recorded("cwd.txt"), game.folder);
    EXPECT_EQ(game.Recorded("joinserver.cfg"), "connect 192.168.1.20:27015");
    EXPECT_EQ(game.Recorded("config.cfg"), "name player\r\nbind w +forward\r\n" + kExec);
    EXPECT_FALSE(wt::Exists(game.cstrike + "\\joinserver.cfg"));
    EXPECT_EQ(wt::ReadFile(game.cstrike + "\\config.cfg"), "name player\r\nbind w +forward\r\n" + kExec);
}

TEST(LauncherRun, WaitsForTheGameAndThenRemovesTheScript)
{
    Game game;
    game.Control("hold");
    const wt::Process launcher = game.Launch(wt::Quoted("cs1142003://cstrike:10.0.0.5:27016"));

    ASSERT_TRUE(wt::WaitForPath(game.record + "\\started", 20000));
    EXPECT_FALSE(launcher.WaitForExit(1500)) << "the launcher returned while the game still runs";
    EXPECT_EQ(wt::ReadFile(game.cstrike + "\\joinserver.cfg"), "connect 10.0.0.5:27016");

    wt::WriteFile(game.folder + "\\hl-release", "");
    ASSERT_TRUE(launcher.WaitForExit(20000));
    EXPECT_EQ(launcher.ExitCode(), 0u);
    EXPECT_FALSE(wt::Exists(game.cstrike + "\\joinserver.cfg"));
    EXPECT_EQ(wt::ReadFile(game.cstrike + "\\config.cfg"), kExec);
}

TEST(LauncherRun, ReplacesAStaleScriptAndUsesOnlyTheFirstArgument)
{
    Game game;
    wt::WriteFile(game.cstrike + "\\joinserver.cfg", "connect 6.6.6.6:666\r\nquit");

    const wt::Process launcher =
        game.Launch(wt::Quoted("cs992003://cstrike:1.2.3.4:27015/") + " " + wt::Quoted("cs992003://other:5.5.5.5:1/"));
    ASSERT_TRUE(launcher.WaitForExit(30000));
    EXPECT_EQ(launcher.ExitCode(), 0u);
    EXPECT_EQ(game.Recorded("joinserver.cfg"), "connect 1.2.3.4:27015");
    EXPECT_EQ(game.Recorded("cmdline.txt"), "-game cstrike");
    EXPECT_FALSE(wt::Exists(game.cstrike + "\\joinserver.cfg"));
}

TEST(LauncherRun, FourFieldsTakeTheLastAsGameDirectory)
{
    Game game;
    wt::MakeFolder(game.folder + "\\czero");
    EXPECT_EQ(game.Open("cs992003://cstrike:1.2.3.4:27015:czero/"), 0u);
    EXPECT_EQ(game.Recorded("cmdline.txt"), "-game czero");
    EXPECT_EQ(wt::ReadFile(game.folder + "\\czero\\config.cfg"), kExec);
    EXPECT_FALSE(wt::Exists(game.cstrike + "\\config.cfg"));
}

// config.cfg as found, and as it must be after one run; a second run must
// then change nothing.
struct ConfigCase {
    const char* what;
    std::string before;
    std::string after;
};

TEST(LauncherConfig, EndsWithTheExecLineWithoutLosingAByte)
{
    const std::string longLine = std::string(511, 'x') + kExec;
    const ConfigCase cases[] = {
        {"empty file", "", kExec},
        {"CR LF lines", "name p\r\nbind w +forward\r\n", "name p\r\nbind w +forward\r\n" + kExec},
        {"LF lines", "name p\nbind w +forward\n", "name p\nbind w +forward\n" + kExec},
        {"exec line is last", "name p\r\n" + kExec, "name p\r\n" + kExec},
        {"exec line then line end", "name p\r\n" + kExec + "\r\n", "name p\r\n" + kExec + "\r\n" + kExec},
        {"other letter case", "EXEC JoinServer.cfg", "EXEC JoinServer.cfg\r\n" + kExec},
        {"spaces around", " exec joinserver.cfg ", " exec joinserver.cfg \r\n" + kExec},
        {"last line without end", "name p\r\nbind w +forward", "name p\r\nbind w +forward\r\n" + kExec},
        {"long line ending in the command", longLine, longLine},
        {"long last line", std::string(600, 'y'), std::string(600, 'y') + "\r\n" + kExec},
    };
    for (const ConfigCase& c : cases) {
        SCOPED_TRACE(c.what);
        Game game;
        const std::string config = game.cstrike + "\\config.cfg";
        wt::WriteFile(config, c.before);
        EXPECT_EQ(game.Open("cs992003://cstrike:127.0.0.1:27015/"), 0u);
        EXPECT_EQ(wt::ReadFile(config), c.after);
        EXPECT_EQ(game.Recorded("config.cfg"), c.after) << "the game must see the finished file";
        EXPECT_EQ(game.Open("cs992003://cstrike:127.0.0.1:27015/"), 0u);
        EXPECT_EQ(wt::ReadFile(config), c.after) << "a second run changed config.cfg";
    }
}

TEST(LauncherConfig, MissingConfigIsCreatedWithTheCommand)
{
    Game game;
    EXPECT_EQ(game.Open("cs992003://cstrike:127.0.0.1:27015/"), 0u);
    EXPECT_EQ(wt::ReadFile(game.cstrike + "\\config.cfg"), kExec);
}

TEST(LauncherErrors, NoArgumentShowsTheBoxAndTouchesNothing)
{
    Game game;
    wt::WriteFile(game.cstrike + "\\config.cfg", "name p\r\n");
    const auto before = wt::Snapshot(game.root.Path());

    const wt::Process launcher = game.Launch("");
    const wt::Dialog box = wt::WaitForMessageBox(launcher.id);
    ASSERT_NE(box.window, nullptr) << "no message box appeared";
    EXPECT_EQ(box.title, "Error");
    EXPECT_EQ(box.text, "Did you seriously try to launch this normally?");
    EXPECT_FALSE(launcher.WaitForExit(300)) << "the launcher must wait for the box to be dismissed";
    wt::PressOk(box);
    ASSERT_TRUE(launcher.WaitForExit(10000));
    EXPECT_EQ(launcher.ExitCode(), 1u);
    EXPECT_EQ(wt::Snapshot(game.root.Path()), before);
}

struct RefusedLink {
    std::string arguments;  // as they reach the launcher's command line
    const char* expectInText;
};

TEST(LauncherErrors, RefusesHostileLinksWithNothingTouched)
{
    const RefusedLink cases[] = {
        {wt::Quoted("cs992003://cstrike:1.2.3.4;quit:27015/"), "server"},
        {wt::Quoted("cs992003://cstrike:1.2.3.4:27015;quit/"), "port"},
        {wt::Quoted("cs992003://cstrike:1.2.3.4\r\nquit:27015/"), "server"},
        {wt::Quoted("cs992003://cstrike:1.2.3.4:27015\nexec evil/"), "port"},
        {"\"cs992003://cstrike:1.2.3.4\\\"x:27015/\"", "server"},
        {wt::Quoted("cs992003://cstrike -dev:1.2.3.4:27015/"), "game directory"},
        {wt::Quoted("cs992003://-dev:1.2.3.4:27015/"), "game directory"},
        {wt::Quoted("cs992003://..\\..\\x:1.2.3.4:27015/"), "game directory"},
        {wt::Quoted("cs992003://..:1.2.3.4:27015/"), "game directory"},
        {wt::Quoted("cs992003://con:1.2.3.4:27015/"), "game directory"},
        {wt::Quoted("cs992003://NUL.cfg:1.2.3.4:27015/"), "game directory"},
        {wt::Quoted("cs992003://valve:1.2.3.4:27015/"), "does not exist"},
        {wt::Quoted("cs992003://cstrike:1.2.3.4:0/"), "port"},
        {wt::Quoted("cs992003://cstrike:1.2.3.4:65536/"), "port"},
        {wt::Quoted("cs992003://cstrike:1.2.3.4/"), "a server and a port"},
        {wt::Quoted("cs992003://cstrike/"), "a server and a port"},
        {wt::Quoted("cs992003://"), "a server and a port"},
        {wt::Quoted("cstrike:1.2.3.4:27015"), "://"},
    };
    for (const RefusedLink& c : cases) {
        SCOPED_TRACE(c.arguments);
        Game game;
        wt::WriteFile(game.cstrike + "\\config.cfg", "name p\r\n");
        wt::MakeFolder(game.root.Path() + "\\x");
        const auto before = wt::Snapshot(game.root.Path());

        const wt::Process launcher = game.Launch(c.arguments);
        const wt::Dialog box = wt::WaitForMessageBox(launcher.id);
        ASSERT_NE(box.window, nullptr) << "no message box appeared";
        EXPECT_EQ(box.title, "Error");
        EXPECT_NE(box.text.find(c.expectInText), std::string::npos) << box.text;
        wt::PressOk(box);
        ASSERT_TRUE(launcher.WaitForExit(10000));
        EXPECT_EQ(launcher.ExitCode(), 1u);
        EXPECT_EQ(wt::Snapshot(game.root.Path()), before) << "a refused link changed files";
        EXPECT_FALSE(game.GameStarted());
    }
}

TEST(LauncherErrors, MissingGameIsReportedAndTheScriptWithdrawn)
{
    Game game;
    DeleteFileA((game.folder + "\\hl.exe").c_str());
    const wt::Process launcher = game.Launch(wt::Quoted("cs992003://cstrike:1.2.3.4:27015/"));
    const wt::Dialog box = wt::WaitForMessageBox(launcher.id);
    ASSERT_NE(box.window, nullptr) << "no message box appeared";
    EXPECT_EQ(box.title, "Error");
    EXPECT_NE(box.text.find("could not be started"), std::string::npos) << box.text;
    EXPECT_NE(box.text.find(game.folder + "\\hl.exe"), std::string::npos) << box.text;
    EXPECT_NE(box.text.find("Reason: "), std::string::npos) << box.text;
    EXPECT_FALSE(wt::Exists(game.cstrike + "\\joinserver.cfg")) << "withdrawn before the box is shown";
    wt::PressOk(box);
    ASSERT_TRUE(launcher.WaitForExit(10000));
    EXPECT_EQ(launcher.ExitCode(), 1u);
    EXPECT_FALSE(wt::Exists(game.cstrike + "\\joinserver.cfg"));
}

} // namespace

// The whole road under Wine: both builds installed by driving the real
// installer, then links opened through the Windows shell, as a browser hands
// them over, reaching the stand-in game, which joins a stand-in server.

#include "join_protocol.hpp"
#include "wintest.hpp"

#include <gtest/gtest.h>
#include <shellapi.h>

#include <string>

namespace {

const std::string kExec = "exec joinserver.cfg";

struct GameFolder {
    std::string path;
    void Make(const std::string& at)
    {
        path = at;
        wt::MakeFolder(path);
        wt::MakeFolder(path + "\\cstrike");
        wt::MakeFolder(path + "\\czero");
        wt::MakeFolder(path + "\\tfc");  // no config.cfg yet
        wt::WriteFile(path + "\\cstrike\\config.cfg", "name \"player\"\r\nbind w +forward // walk\r\n");
        wt::WriteFile(path + "\\czero\\config.cfg", "sensitivity 3\r\n");
        wt::CopyFileOrThrow(wt::ProgramFolder() + "\\standin_hl.exe", path + "\\hl.exe");
        wt::WriteFile(path + "\\hl-control.txt", "hold\n");
    }
    void Reset() const
    {
        wt::RemoveTree(path + "\\hl-record");
        DeleteFileA((path + "\\hl-release").c_str());
    }
    std::string Recorded(const std::string& name) const { return wt::ReadFile(path + "\\hl-record\\" + name); }
};

class Road : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        root = new wt::ScratchFolder("road");
        old.Make(root->Path() + "\\Half-Life 9-9");
        older.Make(root->Path() + "\\Half-Life 1-14");
        ASSERT_TRUE(join::Listen(server));
        Install(0, old.path);
        Install(1, older.path);
    }
    static void TearDownTestSuite()
    {
        join::Close(server);
        delete root;
        for (const char* scheme : {"cs992003", "cs1142003"})
            wt::DeleteRegistryTree(HKEY_CLASSES_ROOT, scheme);
    }

    static void Install(int button, const std::string& folder)
    {
        const wt::Process driver = wt::Start(wt::ProgramFolder() + "\\drive_installer.exe",
                                             wt::Quoted(wt::ProgramFolder() + "\\morvelinstall.exe") + " " +
                                                 std::to_string(button) + " " + wt::Quoted(folder));
        ASSERT_TRUE(driver.WaitForExit(60000));
        ASSERT_EQ(driver.ExitCode(), 0u) << "installing into " << folder;
    }

    // Opens the link through the shell; returns the launcher's process.
    static wt::Process OpenThroughShell(const std::string& link)
    {
        SHELLEXECUTEINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = SEE_MASK_NOCLOSEPROCESS;
        info.lpVerb = "open";
        info.lpFile = link.c_str();
        info.nShow = SW_SHOWNORMAL;
        wt::Process launcher;
        if (ShellExecuteExA(&info) && info.hProcess) {
            launcher.process.reset(info.hProcess);
            launcher.id = GetProcessId(info.hProcess);
        }
        return launcher;
    }

    static std::string Link(const char* scheme, const std::string& fields)
    {
        return std::string(scheme) + "://" + fields;
    }
    static std::string Server() { return "127.0.0.1:" + std::to_string(server.port); }

    static wt::ScratchFolder* root;
    static GameFolder old;
    static GameFolder older;
    static join::Server server;
};

wt::ScratchFolder* Road::root = nullptr;
GameFolder Road::old;
GameFolder Road::older;
join::Server Road::server;

TEST_F(Road, LinksJoinTheServerThroughEachBuildsOwnFolder)
{
    struct Case {
        const char* what;
        std::string link;
        const GameFolder* reached;
        const GameFolder* untouched;
        const char* gameDir;
        std::string configBefore;
    };
    const Case cases[] = {
        {"first build", Link("cs992003", "cstrike:" + Server() + "/"), &old, &older, "cstrike",
         "name \"player\"\r\nbind w +forward // walk\r\n"},
        {"second build", Link("cs1142003", "cstrike:" + Server() + "/"), &older, &old, "cstrike",
         "name \"player\"\r\nbind w +forward // walk\r\n"},
        {"four fields", Link("cs992003", "cstrike:" + Server() + ":czero/"), &old, &older, "czero", "sensitivity 3\r\n"},
        {"no config.cfg yet", Link("cs1142003", "tfc:" + Server()), &older, &old, "tfc", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        old.Reset();
        older.Reset();
        const std::string dir = c.reached->path + "\\" + c.gameDir;

        const wt::Process launcher = OpenThroughShell(c.link);
        ASSERT_NE(launcher.process.get(), nullptr) << "the shell did not start the launcher for " << c.link;

        join::Join joined;
        ASSERT_TRUE(join::ReceiveJoin(server, 20000, joined)) << "no join reached the server";
        EXPECT_EQ(joined.gameDir, c.gameDir);
        EXPECT_EQ(wt::ReadFile(dir + "\\joinserver.cfg"), "connect " + Server()) << "the script is there while the game runs";
        EXPECT_FALSE(launcher.WaitForExit(0)) << "the launcher must wait for the game";

        wt::WriteFile(c.reached->path + "\\hl-release", "");
        ASSERT_TRUE(launcher.WaitForExit(20000));
        EXPECT_EQ(launcher.ExitCode(), 0u);
        EXPECT_EQ(c.reached->Recorded("cmdline.txt"), std::string("-game ") + c.gameDir);
        EXPECT_EQ(c.reached->Recorded("connect.txt"), Server() + " welcome " + c.gameDir + "\n");
        EXPECT_FALSE(wt::Exists(dir + "\\joinserver.cfg"));
        EXPECT_EQ(wt::ReadFile(dir + "\\config.cfg"), c.configBefore + kExec);
        EXPECT_FALSE(wt::Exists(c.untouched->path + "\\hl-record")) << "the other build's folder was used";
    }
}

TEST_F(Road, HostileLinkThroughTheShellIsRefused)
{
    old.Reset();
    const auto before = wt::Snapshot(root->Path());
    const wt::Process launcher = OpenThroughShell(Link("cs992003", "cstrike:127.0.0.1;quit:" + std::to_string(server.port) + "/"));
    ASSERT_NE(launcher.process.get(), nullptr);
    const wt::Dialog box = wt::WaitForMessageBox(launcher.id);
    ASSERT_NE(box.window, nullptr);
    EXPECT_EQ(box.title, "Error");
    EXPECT_NE(box.text.find("server"), std::string::npos) << box.text;
    wt::PressOk(box);
    ASSERT_TRUE(launcher.WaitForExit(10000));
    EXPECT_EQ(launcher.ExitCode(), 1u);
    EXPECT_EQ(wt::Snapshot(root->Path()), before) << "a refused link changed files";
    join::Join joined;
    EXPECT_FALSE(join::ReceiveJoin(server, 1500, joined)) << "the server heard from " << joined.gameDir;
}

} // namespace

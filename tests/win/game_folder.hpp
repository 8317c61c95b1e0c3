// A game folder for the launcher's tests: morvel.exe, the stand-in hl.exe
// (which records what it got into hl-record), and a cstrike game directory.
#pragma once

#include "wintest.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string kExec = "exec joinserver.cfg";

struct Game {
    wt::ScratchFolder root{"launcher"};
    std::string folder;
    std::string cstrike = folder + "\\cstrike";
    std::string record = folder + "\\hl-record";

    // The game folder is root\name; name may hold several levels.
    explicit Game(const std::string& name = "Half-Life") : folder(root.Path() + "\\" + name)
    {
        for (std::size_t at = name.find('\\'); at != std::string::npos; at = name.find('\\', at + 1))
            wt::MakeFolder(root.Path() + "\\" + name.substr(0, at));
        wt::MakeFolder(folder);
        wt::MakeFolder(cstrike);
        wt::CopyFileOrThrow(wt::ProgramFolder() + "\\morvel.exe", folder + "\\morvel.exe");
        wt::CopyFileOrThrow(wt::ProgramFolder() + "\\standin_hl.exe", folder + "\\hl.exe");
        Control("");
    }

    // No server listens in these tests: the stand-in game need not wait for one.
    void Control(const std::string& extra) const
    {
        wt::WriteFile(folder + "\\hl-control.txt", "answer-wait 0\n" + extra);
    }

    wt::Process Launch(const std::string& arguments) const
    {
        // The shell starts the launcher from wherever it is; not from the game folder.
        return wt::Start(folder + "\\morvel.exe", arguments, root.Path());
    }

    // Opens the link as the registered open command does ("%1") and waits for the end.
    DWORD Open(const std::string& link) const
    {
        const wt::Process launcher = Launch(wt::Quoted(link));
        if (!launcher.WaitForExit(30000)) {
            launcher.Kill();
            ADD_FAILURE() << "launcher did not end: " << link;
        }
        return launcher.ExitCode();
    }

    std::string Recorded(const std::string& name) const { return wt::ReadFile(record + "\\" + name); }
    bool GameStarted() const { return wt::Exists(record + "\\started"); }
};

} // namespace

// The launcher's hand-off to the game, on Windows: the connect script
// joinserver.cfg and the exec line at the end of config.cfg. Every failure is
// shown to the player in a message box and ends the process with status 1,
// leaving nothing of the hand-off behind.
#pragma once

#include "morvel_core.hpp"

#include <windows.h>

#include <string>

struct CmHandOffPaths {
    std::string gameFolder;
    std::string gameDir;
    std::string script;
    std::string config;
    std::string game;
};

// Shows the error box and exits with status 1.
[[noreturn]] void CmFail(const std::string& text);
std::string CmSystemReason(DWORD error);

// The paths of one link's hand-off; refuses paths that do not fit MAX_PATH
// and a game directory that does not exist.
CmHandOffPaths CmMakePaths(const std::string& gameFolder, const CmLink& link);

// Before the game starts: a fresh connect script, and config.cfg ending with
// the exec line.
void CmPrepareHandOff(const CmHandOffPaths& paths, const CmLink& link);

// After the game has ended: the connect script goes.
void CmWithdrawHandOff(const CmHandOffPaths& paths);

// Withdraws the connect script after a later step failed, then reports that step.
[[noreturn]] void CmFailAfterScript(const CmHandOffPaths& paths, const std::string& text);

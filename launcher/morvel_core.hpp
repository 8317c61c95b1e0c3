// The launcher's logic that needs no Windows call: taking a launch link apart,
// deciding whether a link is safe to act on, and deciding what config.cfg needs.
// The host-native tests and the fuzzer compile this unit on its own.
#pragma once

#include <cstddef>
#include <string>

// The command that config.cfg must end with, as its very last bytes.
inline constexpr char CmExecCommand[] = "exec joinserver.cfg";
inline constexpr std::size_t CmExecCommandLength = sizeof(CmExecCommand) - 1;

// Longest game directory name the launcher accepts.
inline constexpr std::size_t CmMaxGameDirLength = 64;
// Longest host name (a DNS name is at most 253 characters).
inline constexpr std::size_t CmMaxHostLength = 253;

// 1 if str ends with suffix (byte for byte, case-sensitive), else 0.
// A null pointer on either side gives 0; an empty suffix gives 1.
int CmStrEndsWidth(const char* str, const char* suffix);

// A launch link taken apart. A slot that no field reached stays empty and
// its has* flag false.
struct CmLink {
    std::string gameDir;
    std::string host;
    std::string port;
    bool hasGameDir = false;
    bool hasHost = false;
    bool hasPort = false;
};

// Takes "scheme://game:host:port/" apart. The argument is modified in place:
// a trailing "/" is cut and the ":" separators become terminators.
// Returns false when the argument holds no "://" (there is no link body).
bool CmParseLink(char* arg, CmLink& link);

// Checks the fields of a parsed link against what the launcher may safely put
// into a console script, a command line and a file path. Returns an empty
// string for an acceptable link, else a sentence for the player.
std::string CmCheckLink(const CmLink& link);

// Single field checks, each returning true when the field is acceptable.
bool CmIsSafeGameDir(const std::string& gameDir);
bool CmIsSafeHost(const std::string& host);
bool CmIsSafePort(const std::string& port);

// The connect script's whole content: "connect HOST:PORT", no line end.
std::string CmConnectCommand(const CmLink& link);

// "folder\part". A drive root such as "C:\" keeps its own separator, so the
// joined path then holds two in a row; Windows reads that as one.
std::string CmJoinPath(const std::string& folder, const std::string& part);

// The name of the lock that one launcher holds for a game directory while its
// game runs: the same for every spelling of the path that Windows treats as
// the same folder (letter case), short enough for any path.
std::string CmGameDirLockName(const std::string& gameDirPath);

// Follows config.cfg as it is read, byte by byte, in the pieces that a
// 512-byte line buffer takes: a line end closes a piece, and so does the
// 511th byte of a longer line. Only the last non-empty piece is kept, with
// its true length, so a NUL byte inside it cannot hide the bytes behind it.
struct CmLastPiece {
    char current[512];
    std::size_t currentLength = 0;
    char last[512];
    std::size_t lastLength = 0;
};

void CmFeedByte(CmLastPiece& piece, char byte);

// The last piece of the file once every byte has been fed.
std::string CmFinalPiece(const CmLastPiece& piece);

// What must be appended to config.cfg so that it ends with the exec command:
// nothing when its last piece already is the command, the command alone when
// the file is empty or ends with a line end, else a line end and the command,
// so that the last line stays as it was.
std::string CmExecLineToAppend(const std::string& finalPiece);

// Makes a field printable in a message box: control bytes become '?', and a
// long field is cut with "...".
std::string CmPrintable(const std::string& text, std::size_t maxLength = 80);

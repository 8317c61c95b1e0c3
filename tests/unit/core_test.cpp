// The launcher's pure logic: link parsing, link checks, and what config.cfg
// needs appended, given its last piece.

#include "morvel_core.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct ParseCase {
    const char* link;
    const char* gameDir;
    const char* host;
    const char* port;
};

CmLink Parse(const std::string& text, bool* found = nullptr)
{
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    CmLink link;
    const bool ok = CmParseLink(buffer.data(), link);
    if (found)
        *found = ok;
    return link;
}

TEST(ParseLink, FieldsByPosition)
{
    const ParseCase cases[] = {
        {"cs992003://G:H:P/", "G", "H", "P"},
        {"cs992003://G:H:P", "G", "H", "P"},
        {"cs992003://G::H:P", "G", "H", "P"},
        {"cs992003://:G:H:P:", "G", "H", "P"},
        {"cs992003://G:H:P//", "G", "H", "P/"},
        {"cs992003://G:H:P:X", "X", "H", "P"},
        {"cs992003://G:H:P://x", "//x", "H", "P"},
        // The scheme is never read: any scheme, or none, gives the same fields.
        {"cs1142003://cstrike:192.168.1.20:27015/", "cstrike", "192.168.1.20", "27015"},
        {"nothing-registered://G:H:P/", "G", "H", "P"},
        {"://G:H:P/", "G", "H", "P"},
        // Percent escapes and letter case stay as they are.
        {"cs992003://Cs%20x:HoSt:1/", "Cs%20x", "HoSt", "1"},
        {"cs992003://G:H:P:X:Y", "Y", "H", "P"},
    };
    for (const ParseCase& c : cases) {
        bool found = false;
        const CmLink link = Parse(c.link, &found);
        SCOPED_TRACE(c.link);
        EXPECT_TRUE(found);
        ASSERT_TRUE(link.hasGameDir && link.hasHost && link.hasPort);
        EXPECT_EQ(link.gameDir, c.gameDir);
        EXPECT_EQ(link.host, c.host);
        EXPECT_EQ(link.port, c.port);
    }
}

TEST(ParseLink, NoSeparatorMeansNoBody)
{
    for (const char* text : {"", "cstrike:1.2.3.4:27015", "cs992003:/G:H:P", "cs992003//G:H:P"}) {
        bool found = true;
        const CmLink link = Parse(text, &found);
        EXPECT_FALSE(found) << text;
        EXPECT_FALSE(link.hasGameDir || link.hasHost || link.hasPort) << text;
    }
}

TEST(ParseLink, MissingFieldsStayEmpty)
{
    struct Case {
        const char* link;
        bool gameDir, host, port;
    };
    const Case cases[] = {
        {"cs992003://", false, false, false},
        {"cs992003:///", false, false, false},
        {"cs992003://:::/", false, false, false},
        {"cs992003://G/", true, false, false},
        {"cs992003://G:H/", true, true, false},
        {"cs992003://G::H/", true, true, false},
    };
    for (const Case& c : cases) {
        const CmLink link = Parse(c.link);
        EXPECT_EQ(link.hasGameDir, c.gameDir) << c.link;
        EXPECT_EQ(link.hasHost, c.host) << c.link;
        EXPECT_EQ(link.hasPort, c.port) << c.link;
        EXPECT_FALSE(CmCheckLink(link).empty()) << c.link;
    }
}

TEST(StrEndsWidth, Table)
{
    struct Case {
        const char* str;
        const char* suffix;
        int expected;
    };
    const Case cases[] = {
        {"abc/", "/", 1},     {"abc", "/", 0},    {"", "/", 0},         {"abc", "", 1},
        {"", "", 1},          {"a", "abc", 0},    {"abc", "abc", 1},    {"xABC", "abc", 0},
        {nullptr, "/", 0},    {"abc", nullptr, 0}, {nullptr, nullptr, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CmStrEndsWidth(c.str, c.suffix), c.expected)
            << (c.str ? c.str : "(null)") << " / " << (c.suffix ? c.suffix : "(null)");
}

TEST(CheckLink, AcceptsOrdinaryLinks)
{
    for (const char* text : {
             "cs992003://cstrike:192.168.1.20:27015/",
             "cs1142003://czero:play.example-server.net:1/",
             "cs992003://my_mod-2.1:host_name:65535",
             "cs992003://a:b:00080/",
             "cs992003://GameDir64charsGameDir64charsGameDir64charsGameDir64chars:h:1",
         }) {
        EXPECT_EQ(CmCheckLink(Parse(text)), "") << text;
    }
}

TEST(CheckLink, RefusesHostileOrBrokenFields)
{
    const std::string longHost(254, 'a');
    const std::string longDir(65, 'd');
    const std::string cases[] = {
        // Game directory: paths, options, traversal, devices, odd characters.
        "cs992003://..:h:1/", "cs992003://.:h:1/", "cs992003://-dev:h:1/",
        "cs992003://a\\..\\..\\x:h:1/", "cs992003://a/b:h:1/", "cs992003://c d:h:1/",
        "cs992003://cstrike.:h:1/", "cs992003://_x:h:1/", "cs992003://con:h:1/",
        "cs992003://CON.cfg:h:1/", "cs992003://lpt9:h:1/", "cs992003://Com1.txt:h:1/",
        "cs992003://aux:h:1/", "cs992003://nul.:h:1/", "cs992003://cstrike\"x:h:1/",
        "cs992003://" + longDir + ":h:1/", "cs992003://cs%20x:h:1/",
        "cs992003://cstrike\xE9:h:1/",
        // Host: console separators, line ends, quotes, spaces.
        "cs992003://cstrike:h;quit:1/", "cs992003://cstrike:h\nquit:1/", "cs992003://cstrike:h\r:1/",
        "cs992003://cstrike:\"h\":1/", "cs992003://cstrike:h h:1/", "cs992003://cstrike:" + longHost + ":1/",
        "cs992003://cstrike:h/x:1/", "cs992003://cstrike:h\t:1/",
        // Port: not a number, out of range, too long, separators.
        "cs992003://cstrike:h:0/", "cs992003://cstrike:h:65536/", "cs992003://cstrike:h:123456/",
        "cs992003://cstrike:h:-1/", "cs992003://cstrike:h:1;quit/", "cs992003://cstrike:h:27015 /",
        "cs992003://cstrike:h:+80/", "cs992003://cstrike:h:0x50/", "cs992003://cstrike:h:99999/",
        "cs992003://cstrike:h:1\n/",
    };
    for (const std::string& text : cases)
        EXPECT_NE(CmCheckLink(Parse(text)), "") << text;
}

TEST(CheckLink, DeviceNamesOnlyWhenWholeBase)
{
    for (const char* name : {"console", "com10", "com0", "lpt", "auxiliary", "nulx", "prn1"})
        EXPECT_TRUE(CmIsSafeGameDir(name)) << name;
}

TEST(CheckLink, MessageNamesTheFieldPrintably)
{
    const std::string message = CmCheckLink(Parse("cs992003://cstrike:evil\r\nquit:27015/"));
    EXPECT_NE(message.find("evil??quit"), std::string::npos) << message;
}

TEST(ConnectCommand, HostColonPort)
{
    EXPECT_EQ(CmConnectCommand(Parse("cs992003://cstrike:10.0.0.1:27016/")), "connect 10.0.0.1:27016");
}

TEST(JoinPath, SingleSeparatorEvenAtDriveRoot)
{
    EXPECT_EQ(CmJoinPath("C:\\Games\\Half-Life", "cstrike"), "C:\\Games\\Half-Life\\cstrike");
    EXPECT_EQ(CmJoinPath("D:\\", "cstrike"), "D:\\\\cstrike");
}

TEST(GameDirLock, SameFolderSameNameOtherFolderOtherName)
{
    const std::string name = CmGameDirLockName("C:\\Games\\Half-Life\\cstrike");
    EXPECT_EQ(name.rfind("Local\\morvel-gamedir-", 0), 0u) << name;
    EXPECT_EQ(name.find('\\', 6), std::string::npos) << "no backslash after the namespace";
    EXPECT_EQ(CmGameDirLockName("c:\\GAMES\\half-life\\CStrike"), name);
    EXPECT_EQ(CmGameDirLockName("C:/Games/Half-Life/cstrike"), name);
    EXPECT_NE(CmGameDirLockName("C:\\Games\\Half-Life\\czero"), name);
    EXPECT_EQ(CmGameDirLockName(std::string(300, 'x')).size(), name.size());
}

std::string FinalPieceOf(const std::string& content)
{
    CmLastPiece piece;
    for (char c : content)
        CmFeedByte(piece, c);
    return CmFinalPiece(piece);
}

TEST(ConfigEnd, FinalPieceFollowsTheLineReader)
{
    const std::string exec = CmExecCommand;
    EXPECT_EQ(FinalPieceOf(""), "");
    EXPECT_EQ(FinalPieceOf("a\nb\n"), "b\n");
    EXPECT_EQ(FinalPieceOf("a\nbc"), "bc");
    EXPECT_EQ(FinalPieceOf("a\n\n"), "\n");
    // A long line is read in 511-byte pieces; only its final piece counts.
    EXPECT_EQ(FinalPieceOf(std::string(511, 'x') + exec), exec);
    EXPECT_EQ(FinalPieceOf(std::string(1022, 'x') + exec), exec);
    EXPECT_EQ(FinalPieceOf(std::string(510, 'x') + "\n"), std::string(510, 'x') + "\n");
    EXPECT_EQ(FinalPieceOf(std::string(511, 'x') + "\n"), "\n");
    EXPECT_EQ(FinalPieceOf(std::string(511, 'x')), std::string(511, 'x'));
    EXPECT_EQ(FinalPieceOf(std::string(1000, 'x') + exec).size(), 1000 + exec.size() - 511);
    // A NUL byte is kept, so it cannot hide what follows it.
    EXPECT_EQ(FinalPieceOf(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(ConfigEnd, WhatToAppend)
{
    const std::string exec = CmExecCommand;
    struct Case {
        std::string finalPiece;
        std::string expected;
    };
    const Case cases[] = {
        {"", exec},                              // empty or new file
        {exec, ""},                              // already the last bytes
        {exec + "\n", exec},                     // command followed by a line end
        {"bind w +forward\n", exec},             // ordinary last line with its end
        {"bind w +forward", "\n" + exec},        // last line without an end stays intact
        {"EXEC joinserver.cfg", "\n" + exec},    // other letter case
        {" exec joinserver.cfg", "\n" + exec},   // spaces around
        {"exec joinserver.cfg ", "\n" + exec},
        {std::string("a\0exec joinserver.cfg", 21), "\n" + exec},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CmExecLineToAppend(c.finalPiece), c.expected) << c.finalPiece;
}

TEST(Printable, ControlBytesAndLength)
{
    EXPECT_EQ(CmPrintable("a\tb\x7f"), "a?b?");
    EXPECT_EQ(CmPrintable(std::string(100, 'x'), 10), std::string(10, 'x') + "...");
    EXPECT_EQ(CmPrintable(std::string(10, 'x'), 10), std::string(10, 'x'));
}

} // namespace

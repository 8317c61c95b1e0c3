#include "morvel_core.hpp"

#include <cstring>

int CmStrEndsWidth(const char* str, const char* suffix)
{
    if (str == nullptr || suffix == nullptr)
        return 0;
    const std::size_t strLength = std::strlen(str);
    const std::size_t suffixLength = std::strlen(suffix);
    if (suffixLength > strLength)
        return 0;
    return std::strncmp(str + strLength - suffixLength, suffix, suffixLength) == 0 ? 1 : 0;
}

bool CmParseLink(char* arg, CmLink& link)
{
    link = CmLink{};
    char* const found = std::strstr(arg, "://");
    if (found == nullptr)
        return false;
    char* const body = found + 3;

    // Exactly one trailing slash goes: "G:H:P//" keeps the port "P/".
    if (CmStrEndsWidth(body, "/"))
        body[std::strlen(body) - 1] = '\0';

    // Runs of ':' count as one separator and never yield an empty field.
    // Position 1 is the host, 2 the port, and every other position names the
    // game directory, so with four or more fields the last one wins.
    int position = 0;
    for (char* field = std::strtok(body, ":"); field != nullptr;
         field = std::strtok(nullptr, ":"), ++position) {
        if (position == 1) {
            link.host = field;
            link.hasHost = true;
        } else if (position == 2) {
            link.port = field;
            link.hasPort = true;
        } else {
            link.gameDir = field;
            link.hasGameDir = true;
        }
    }
    return true;
}

namespace {

bool CmIsAsciiAlnum(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

char CmUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// CON, PRN, AUX, NUL, COM1-9 and LPT1-9 name devices, whatever extension
// follows them, so such a "folder" would open a device instead.
bool CmIsDeviceName(const std::string& name)
{
    std::string base = name.substr(0, name.find('.'));
    for (char& c : base)
        c = CmUpper(c);
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL")
        return true;
    if (base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0))
        return base[3] >= '1' && base[3] <= '9';
    return false;
}

} // namespace

bool CmIsSafeGameDir(const std::string& gameDir)
{
    if (gameDir.empty() || gameDir.size() > CmMaxGameDirLength)
        return false;
    if (!CmIsAsciiAlnum(gameDir.front()) || gameDir.back() == '.')
        return false;
    for (char c : gameDir) {
        if (!CmIsAsciiAlnum(c) && c != '_' && c != '-' && c != '.')
            return false;
    }
    return !CmIsDeviceName(gameDir);
}

bool CmIsSafeHost(const std::string& host)
{
    if (host.empty() || host.size() > CmMaxHostLength)
        return false;
    for (char c : host) {
        if (!CmIsAsciiAlnum(c) && c != '-' && c != '_' && c != '.')
            return false;
    }
    return true;
}

bool CmIsSafePort(const std::string& port)
{
    if (port.empty() || port.size() > 5)
        return false;
    long value = 0;
    for (char c : port) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    return value >= 1 && value <= 65535;
}

std::string CmCheckLink(const CmLink& link)
{
    if (!link.hasGameDir || !link.hasHost || !link.hasPort)
        return "The link does not name a game, a server and a port. "
               "A game link looks like cs992003://cstrike:192.168.1.20:27015/";
    if (!CmIsSafeGameDir(link.gameDir))
        return "The game directory \"" + CmPrintable(link.gameDir) +
               "\" in the link is not a plain folder name. "
               "Only letters, digits, '_', '-' and '.' are allowed (at most 64 characters).";
    if (!CmIsSafeHost(link.host))
        return "The server \"" + CmPrintable(link.host) +
               "\" in the link is not a host name or address. "
               "Only letters, digits, '-', '_' and '.' are allowed.";
    if (!CmIsSafePort(link.port))
        return "The port \"" + CmPrintable(link.port) +
               "\" in the link is not a number from 1 to 65535.";
    return std::string();
}

std::string CmConnectCommand(const CmLink& link)
{
    return "connect " + link.host + ":" + link.port;
}

std::string CmJoinPath(const std::string& folder, const std::string& part)
{
    return folder + "\\" + part;
}

std::string CmGameDirLockName(const std::string& gameDirPath)
{
    // FNV-1a over the upper-cased path: kernel object names may not hold '\\'
    // and are limited in length, so the path itself cannot be the name.
    unsigned long long hash = 1469598103934665603ull;
    for (char c : gameDirPath) {
        hash ^= static_cast<unsigned char>(CmUpper(c == '/' ? '\\' : c));
        hash *= 1099511628211ull;
    }
    static const char digits[] = "0123456789abcdef";
    std::string name = "Local\\morvel-gamedir-";
    for (int shift = 60; shift >= 0; shift -= 4)
        name += digits[(hash >> shift) & 0xF];
    return name;
}

void CmFeedByte(CmLastPiece& piece, char byte)
{
    piece.current[piece.currentLength++] = byte;
    if (byte == '\n' || piece.currentLength == sizeof(piece.current) - 1) {
        std::memcpy(piece.last, piece.current, piece.currentLength);
        piece.lastLength = piece.currentLength;
        piece.currentLength = 0;
    }
}

std::string CmFinalPiece(const CmLastPiece& piece)
{
    if (piece.currentLength > 0)
        return std::string(piece.current, piece.currentLength);
    return std::string(piece.last, piece.lastLength);
}

std::string CmExecLineToAppend(const std::string& finalPiece)
{
    if (finalPiece == CmExecCommand)
        return std::string();
    if (finalPiece.empty() || finalPiece.back() == '\n')
        return CmExecCommand;
    return "\n" + std::string(CmExecCommand);
}

std::string CmPrintable(const std::string& text, std::size_t maxLength)
{
    std::string shown;
    for (char c : text) {
        if (shown.size() == maxLength) {
            shown += "...";
            break;
        }
        const unsigned char u = static_cast<unsigned char>(c);
        shown += (u < 0x20 || u == 0x7F) ? '?' : c;
    }
    return shown;
}

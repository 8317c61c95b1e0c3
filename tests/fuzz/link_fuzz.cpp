// libFuzzer target over taking a launch link apart and checking it. Besides
// crashes and sanitizer reports, it asserts what the launcher relies on: an
// accepted link's fields obey the rules (checked here independently of the
// launcher's own checks) and each field is a piece of the link as given.
#include "morvel_core.hpp"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

void Require(bool condition)
{
    if (!condition)
        std::abort();
}

bool OnlyOf(const std::string& text, const char* allowed)
{
    return text.find_first_not_of(allowed) == std::string::npos;
}

const char kAlnum[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

bool IsDevice(std::string base)
{
    base = base.substr(0, base.find('.'));
    for (char& c : base)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    static const char* const devices[] = {"CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4",
                                          "COM5", "COM6", "COM7", "COM8", "COM9", "LPT1", "LPT2", "LPT3",
                                          "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"};
    for (const char* device : devices)
        if (base == device)
            return true;
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The argument as the runtime hands it over: a C string, in a buffer of
    // exactly its size, so that any read past its end is caught.
    const std::string original(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), size));
    std::unique_ptr<char[]> argument(new char[original.size() + 1]);
    std::memcpy(argument.get(), original.c_str(), original.size() + 1);

    CmLink link;
    const bool hasBody = CmParseLink(argument.get(), link);
    Require(hasBody == (original.find("://") != std::string::npos));
    if (!hasBody || !CmCheckLink(link).empty())
        return 0;

    for (const std::string* field : {&link.gameDir, &link.host, &link.port})
        Require(!field->empty() && original.find(*field) != std::string::npos);

    const std::string& dir = link.gameDir;
    Require(dir.size() <= 64 && OnlyOf(dir, "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-."));
    Require(std::strchr(kAlnum, dir.front()) != nullptr && dir.back() != '.' && !IsDevice(dir));
    Require(dir != "." && dir != ".." && dir.find("..") != 0);

    Require(link.host.size() <= 253 &&
            OnlyOf(link.host, "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-_."));

    Require(link.port.size() <= 5 && OnlyOf(link.port, "0123456789"));
    const long port = std::strtol(link.port.c_str(), nullptr, 10);
    Require(port >= 1 && port <= 65535);

    // What reaches the console script and the command line holds no separator.
    const std::string script = CmConnectCommand(link);
    Require(script.find_first_of(";\r\n\"") == std::string::npos);
    return 0;
}

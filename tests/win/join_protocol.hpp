// The stand-in game and the stand-in server speak one datagram each way:
//   game -> server   "join <game directory>"
//   server -> game   "welcome <game directory>"
// Both only ever use loopback addresses.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>

#include <string>

namespace join {

// Starts Winsock once for the process.
bool Start();

// True for 127.0.0.0/8: the only addresses the stand-ins may talk to.
bool IsLoopback(const sockaddr_in& address);

// Resolves "host" (a name or an IPv4 address) and "port" into an address.
bool Resolve(const std::string& host, const std::string& port, sockaddr_in& address);

struct Server {
    SOCKET socket = INVALID_SOCKET;
    int port = 0;
};
struct Join {
    std::string gameDir;
    std::string from;  // "127.0.0.1:54321"
};

// A UDP listener on 127.0.0.1 (port 0: any free port).
bool Listen(Server& server, int port = 0);
// Waits up to timeoutMs for one join, answers it and returns true.
bool ReceiveJoin(const Server& server, int timeoutMs, Join& join);
void Close(Server& server);

// The game's side: sends the join and waits up to timeoutMs for the answer.
// Returns the answer, or a text that starts with "failed: ".
std::string SendJoin(const std::string& host, const std::string& port, const std::string& gameDir, int timeoutMs);

} // namespace join

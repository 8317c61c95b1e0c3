#include "join_protocol.hpp"

namespace join {

bool Start()
{
    static bool started = false;
    if (!started) {
        WSADATA data;
        started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    return started;
}

bool IsLoopback(const sockaddr_in& address)
{
    return (ntohl(address.sin_addr.s_addr) >> 24) == 127;
}

bool Resolve(const std::string& host, const std::string& port, sockaddr_in& address)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (!Start() || getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0 || !found)
        return false;
    address = *reinterpret_cast<sockaddr_in*>(found->ai_addr);
    freeaddrinfo(found);
    return true;
}

bool Listen(Server& server, int port)
{
    if (!Start())
        return false;
    server.socket = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (server.socket == INVALID_SOCKET)
        return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<u_short>(port));
    int length = sizeof address;
    if (bind(server.socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(server.socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        Close(server);
        return false;
    }
    server.port = ntohs(address.sin_port);
    return true;
}

namespace {

bool WaitReadable(SOCKET socket, int timeoutMs)
{
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket, &readable);
    timeval timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    return select(0, &readable, nullptr, nullptr, &timeout) == 1;
}

} // namespace

bool ReceiveJoin(const Server& server, int timeoutMs, Join& join)
{
    const DWORD start = GetTickCount();
    for (;;) {
        const int left = timeoutMs - static_cast<int>(GetTickCount() - start);
        if (left <= 0 || !WaitReadable(server.socket, left))
            return false;
        char buffer[512];
        sockaddr_in from{};
        int fromLength = sizeof from;
        const int got = recvfrom(server.socket, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (got <= 0)
            continue;
        const std::string message(buffer, got);
        if (message.compare(0, 5, "join ") != 0)
            continue;
        join.gameDir = message.substr(5);
        char text[INET_ADDRSTRLEN] = "";
        inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
        join.from = std::string(text) + ":" + std::to_string(ntohs(from.sin_port));
        const std::string answer = "welcome " + join.gameDir;
        sendto(server.socket, answer.data(), static_cast<int>(answer.size()), 0, reinterpret_cast<sockaddr*>(&from),
               fromLength);
        return true;
    }
}

void Close(Server& server)
{
    if (server.socket != INVALID_SOCKET)
        closesocket(server.socket);
    server.socket = INVALID_SOCKET;
}

std::string SendJoin(const std::string& host, const std::string& port, const std::string& gameDir, int timeoutMs)
{
    sockaddr_in address{};
    if (!Resolve(host, port, address))
        return "failed: cannot resolve " + host + ":" + port;
    if (!IsLoopback(address))
        return "failed: " + host + " is not a loopback address; the stand-in game only joins local servers";
    SOCKET client = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (client == INVALID_SOCKET)
        return "failed: no socket";
    const std::string message = "join " + gameDir;
    std::string answer = "failed: no answer";
    if (sendto(client, message.data(), static_cast<int>(message.size()), 0, reinterpret_cast<sockaddr*>(&address),
               sizeof address) == static_cast<int>(message.size()) &&
        WaitReadable(client, timeoutMs)) {
        char buffer[512];
        const int got = recv(client, buffer, sizeof buffer, 0);
        if (got > 0)
            answer = std::string(buffer, got);
    }
    closesocket(client);
    return answer;
}

} // namespace join

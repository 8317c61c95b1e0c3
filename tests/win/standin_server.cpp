// A stand-in game server for the demo: listens on 127.0.0.1, answers each
// join and records it (game directory, port, time).
//   standin_server PORT_FILE JOIN_LOG [JOINS [SECONDS]]
// writes the port it listens on into PORT_FILE, appends one line per join to
// JOIN_LOG, and ends after JOINS joins (default 1) or SECONDS seconds (60).
#include "join_protocol.hpp"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: standin_server PORT_FILE JOIN_LOG [JOINS [SECONDS]]\n");
        return 2;
    }
    const int joins = argc > 3 ? std::atoi(argv[3]) : 1;
    const int seconds = argc > 4 ? std::atoi(argv[4]) : 60;
    join::Server server;
    if (!join::Listen(server)) {
        std::fprintf(stderr, "server: cannot listen on 127.0.0.1\n");
        return 1;
    }
    if (std::FILE* portFile = std::fopen(argv[1], "w")) {
        std::fprintf(portFile, "%d\n", server.port);
        std::fclose(portFile);
    }
    std::printf("server: listening on 127.0.0.1:%d\n", server.port);
    std::fflush(stdout);

    const DWORD start = GetTickCount();
    int received = 0;
    while (received < joins) {
        const int left = seconds * 1000 - static_cast<int>(GetTickCount() - start);
        join::Join join;
        if (left <= 0 || !join::ReceiveJoin(server, left, join))
            break;
        ++received;
        char when[32];
        const std::time_t now = std::time(nullptr);
        std::strftime(when, sizeof when, "%H:%M:%S", std::localtime(&now));
        std::printf("server: %s joined from %s on port %d at %s; answered \"welcome %s\"\n", join.gameDir.c_str(),
                    join.from.c_str(), server.port, when, join.gameDir.c_str());
        std::fflush(stdout);
        if (std::FILE* log = std::fopen(argv[2], "a")) {
            std::fprintf(log, "%s %d %s\n", join.gameDir.c_str(), server.port, when);
            std::fclose(log);
        }
    }
    join::Close(server);
    return received == joins ? 0 : 1;
}

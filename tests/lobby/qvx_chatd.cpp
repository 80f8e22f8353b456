// The test chat server as a program, for tests in two processes and for
// trying the lobby by hand on this machine:
//   qvx-chatd [--port N] [--max-seconds S] [--until-input-ends] [--script FILE]
//             [--reply normal|nodata|corrupt|hold] [--old-version]
// Hosts on 127.0.0.1 (port 0 or none: one of the system's choosing), says
// "port <n>", runs the script, and stops after S seconds (default 60), or
// with --until-input-ends once its standard input has ended. At the end it
// prints what it received, one line each.
//
// Script lines: "sleep <ms>", "wait <name>" (until that player logged in,
// at most 10 s), "rank <name> <n>", "drop <name>", "say <name> <from> <text>"
// (a public line to that player), "inject <name> <hex bytes>".
#include <atomic>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "tests/lobby/ChatServer.h"

using namespace qv;

namespace {

lobby::TBytes FromHex(const std::string& hex) {
    lobby::TBytes out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return out;
}

void RunScript(test::TChatServer& server, const std::string& path) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string command, name;
        words >> command >> name;
        if (command == "sleep") {
            std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(name)));
        } else if (command == "wait") {
            server.Events().WaitFor("login " + name);
        } else if (command == "rank") {
            std::uint32_t rank = 0;
            words >> rank;
            server.SetRank(name, rank);
        } else if (command == "drop") {
            server.Drop(name);
        } else if (command == "say") {
            std::string from, text;
            words >> from;
            std::getline(words >> std::ws, text);
            server.Inject(name, test::TChatServer::ChatBytes(false, from, text));
        } else if (command == "inject") {
            std::string hex;
            words >> hex;
            server.Inject(name, FromHex(hex));
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    test::TChatServerOptions options;
    int maxSeconds = 60;
    bool untilInputEnds = false;
    std::string script;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--port" && hasValue) {
            options.Port = static_cast<std::uint32_t>(std::stoul(argv[++i]));
        } else if (arg == "--max-seconds" && hasValue) {
            maxSeconds = std::stoi(argv[++i]);
        } else if (arg == "--until-input-ends") {
            untilInputEnds = true;
        } else if (arg == "--script" && hasValue) {
            script = argv[++i];
        } else if (arg == "--reply" && hasValue) {
            const std::string mode = argv[++i];
            options.Reply = mode == "nodata"    ? test::TChatReplyMode::NoData
                            : mode == "corrupt" ? test::TChatReplyMode::Corrupt
                            : mode == "hold"    ? test::TChatReplyMode::Hold
                                                : test::TChatReplyMode::Normal;
        } else if (arg == "--old-version") {
            options.OldVersion = true;
        } else {
            std::fprintf(stderr, "qvx-chatd: unknown argument %s\n", arg.c_str());
            return 2;
        }
    }
    test::TChatServer server(options);
    std::printf("port %u\n", server.Port());
    std::fflush(stdout);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(maxSeconds);
    std::atomic<bool> inputEnded{false};
    if (untilInputEnds) {
        std::thread([&inputEnded] {
            std::string ignored;
            while (std::getline(std::cin, ignored)) {
            }
            inputEnded = true;
        }).detach();
    }
    if (!script.empty()) RunScript(server, script);
    while (!inputEnded && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    for (const auto& line : server.Events().Lines()) std::printf("%s\n", line.c_str());
    return 0;
}

#include "tests/online/FailingReplies.h"

#include "tests/online/HoldingServer.h"

namespace qv::test {

std::vector<FailingReply> FailingReplies() {
    const std::string page = "<html><body>Internal error</body></html>";
    // 10 MB in lines of 1023 letters, no '=' and no blank anywhere.
    std::string big;
    big.reserve(10u << 20);
    while (big.size() < (10u << 20)) big += std::string(1023, 'A') + "\r\n";
    return {
        {"500",
         "HTTP/1.1 500 Internal Server Error\r\nContent-Type: text/html\r\nConnection: close\r\nContent-Length: " +
             std::to_string(page.size()) + "\r\n\r\n" + page,
         true},
        {"garbage", HoldingServer::Reply(std::string("\x01\xFE<html>\r\n\x7F\xFFnot an answer\r\n%%%\r\n", 32)), false},
        {"oversize", HoldingServer::Reply(big), false},
        {"cut", "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\nContent-Length: 4000\r\n\r\n"
                "HighScoreHost=cut.example\r\nUID=cut\r\n3.9",
         true},
        {"closed", "", true},
    };
}

}  // namespace qv::test

// The ways a server answers wrongly, as whole replies a HoldingServer sends:
// an error status, bytes that are no answer, a reply of 10 MB, a reply cut
// before its announced length, and a connection closed without a reply.
#pragma once

#include <string>
#include <vector>

namespace qv::test {

struct FailingReply {
    std::string Name;
    std::string Bytes;  // the whole reply, status line and headers included
    // Whether the transfer itself fails (status, cut, closed); the others
    // arrive whole and are refused by what reads them.
    bool TransferFails;
};

// "500", "garbage", "oversize", "cut", "closed".
std::vector<FailingReply> FailingReplies();

}  // namespace qv::test

// Everything the lobby server may send: the room, chat, invitations,
// answers, and the log-in reply.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "multiplayer/lobby/qv3LobbyMessages.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto message = qv::lobby::ParseServerMessage(data, size);
    if (const auto* room = std::get_if<qv::lobby::TRoomMessage>(&message)) {
        std::vector<qv::TRoomPlayer> players{{"A", 0, 0}};
        qv::ApplyRoomMessage(players, *room);
    }
    qv::lobby::EvaluateLoginReply(true, data, size);
    qv::lobby::EvaluateLoginReply(false, data, size);
    return 0;
}

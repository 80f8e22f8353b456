// The DirectPlay-shaped session layer: the calls, constants, messages and
// result codes the client and peer wrappers use, over ENet (reliable UDP).
//
// One TSession is a client (talks to one server), a server (many clients)
// or a peer (hosts or joins a session; a joiner is connected to the host).
// Only other TSessions speak its protocol.
//
// What the layer does:
// - Events come on the session's own worker thread, through the handler
//   given to Initialize. No call other than Close waits for that thread,
//   and Close only until it has run the close itself (the players' ends),
//   never for the far end; calls from inside the handler run directly on
//   it (so a receive may be answered from the handler). Close must not be
//   called from the handler.
// - After Close returns no handler call runs; a local Close raises no
//   TERMINATE_SESSION. What is still to send (queued guaranteed messages,
//   then the session's end) goes on being sent on a thread of its own until
//   the far end acknowledged it or was silent for linkTimeoutMs, measured in
//   real time (the injected clock is not read after Close). At the end of
//   the program such flushes get closeFlushMs more, then are dropped (their
//   far ends told at once). Hosting on the port of a flush ends it.
// - Host enumeration sends a query datagram to the session port of the given
//   host, answered by the hosting session on the same socket. Without a host
//   name the query is broadcast, but only when the flags allow it and
//   BroadcastAllowed() (never while a test runs).
// - Player events come in DirectPlay's order: the host's own player when it
//   hosts; a remote player after its INDICATE_CONNECT was accepted; on a
//   joining peer its own player and the host's player before
//   CONNECT_COMPLETE. DESTROY_PLAYER for each player when a session ends;
//   on a client or joining peer then TERMINATE_SESSION when the far end
//   ended it or was lost.
// - Guaranteed messages arrive once and in order; others may be lost, and
//   with DPNSEND_NONSEQUENTIAL may overtake each other. The priority flags
//   are taken and change nothing. SEND_COMPLETE follows a send with a handle
//   once ENet is done with the message.
// - Timing (enumeration retries, connect deadlines, the link time-out)
//   reads the injected sys::IClock. A connect not completed within
//   connectTimeoutMs fails; a connected far end from which nothing at all
//   has been received for linkTimeoutMs is lost, and only then: a
//   guaranteed message that takes many resends is no lost link. ENet's own
//   time-outs are set beyond an hour, so they never decide; the time-outs
//   given here must stay below that.
// - A host name is looked up off the worker, so closing never waits for a
//   slow name service. Enumeration with a host name takes replies only from
//   the addresses that name stands for, on the port asked; without one
//   (broadcast) from anyone.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/session/Guid.h"

namespace qv::sys {
class IClock;
}

namespace qv::dpn {

using HRESULT = std::int32_t;
using DWORD = std::uint32_t;
using DPNID = std::uint32_t;
using DPNHANDLE = std::uint32_t;

constexpr HRESULT MakeResult(std::uint32_t value) { return static_cast<HRESULT>(value); }
constexpr bool Failed(HRESULT result) { return result < 0; }

inline constexpr HRESULT DPN_OK = 0;
inline constexpr HRESULT DPNSUCCESS_PENDING = MakeResult(0x0015800Eu);
inline constexpr HRESULT DPNERR_GENERIC = MakeResult(0x80004005u);
inline constexpr HRESULT DPNERR_INVALIDPARAM = MakeResult(0x80070057u);
inline constexpr HRESULT DPNERR_OUTOFMEMORY = MakeResult(0x8007000Eu);
inline constexpr HRESULT DPNERR_INVALIDPOINTER = MakeResult(0x80004003u);
inline constexpr HRESULT DPNERR_ALREADYCONNECTED = MakeResult(0x80158060u);
inline constexpr HRESULT DPNERR_ALREADYINITIALIZED = MakeResult(0x80158080u);
inline constexpr HRESULT DPNERR_BUFFERTOOSMALL = MakeResult(0x80158100u);
inline constexpr HRESULT DPNERR_CONNECTING = MakeResult(0x80158150u);
inline constexpr HRESULT DPNERR_CONNECTIONLOST = MakeResult(0x80158160u);
inline constexpr HRESULT DPNERR_HOSTING = MakeResult(0x80158250u);
inline constexpr HRESULT DPNERR_HOSTREJECTEDCONNECTION = MakeResult(0x80158260u);
inline constexpr HRESULT DPNERR_HOSTTERMINATEDSESSION = MakeResult(0x80158270u);
inline constexpr HRESULT DPNERR_INVALIDAPPLICATION = MakeResult(0x80158300u);
inline constexpr HRESULT DPNERR_INVALIDFLAGS = MakeResult(0x80158340u);
inline constexpr HRESULT DPNERR_INVALIDHANDLE = MakeResult(0x80158360u);
inline constexpr HRESULT DPNERR_INVALIDHOSTADDRESS = MakeResult(0x80158370u);
inline constexpr HRESULT DPNERR_INVALIDPLAYER = MakeResult(0x80158410u);
inline constexpr HRESULT DPNERR_NOCONNECTION = MakeResult(0x80158470u);
inline constexpr HRESULT DPNERR_NORESPONSE = MakeResult(0x80158510u);
inline constexpr HRESULT DPNERR_NOTALLOWED = MakeResult(0x80158520u);
inline constexpr HRESULT DPNERR_NOTHOST = MakeResult(0x80158530u);
inline constexpr HRESULT DPNERR_SENDTOOLARGE = MakeResult(0x80158600u);
inline constexpr HRESULT DPNERR_SESSIONFULL = MakeResult(0x80158610u);
inline constexpr HRESULT DPNERR_TIMEDOUT = MakeResult(0x80158630u);
inline constexpr HRESULT DPNERR_UNINITIALIZED = MakeResult(0x80158640u);
inline constexpr HRESULT DPNERR_USERCANCEL = MakeResult(0x80158650u);

// Message types passed to the handler.
inline constexpr DWORD DPN_MSGID_ASYNC_OP_COMPLETE = 0xFFFF0003u;
inline constexpr DWORD DPN_MSGID_CLIENT_INFO = 0xFFFF0004u;
inline constexpr DWORD DPN_MSGID_CONNECT_COMPLETE = 0xFFFF0005u;
inline constexpr DWORD DPN_MSGID_CREATE_PLAYER = 0xFFFF0007u;
inline constexpr DWORD DPN_MSGID_DESTROY_PLAYER = 0xFFFF0009u;
inline constexpr DWORD DPN_MSGID_ENUM_HOSTS_RESPONSE = 0xFFFF000Bu;
inline constexpr DWORD DPN_MSGID_INDICATE_CONNECT = 0xFFFF000Eu;
inline constexpr DWORD DPN_MSGID_INDICATED_CONNECT_ABORTED = 0xFFFF000Fu;
inline constexpr DWORD DPN_MSGID_PEER_INFO = 0xFFFF0010u;
inline constexpr DWORD DPN_MSGID_RECEIVE = 0xFFFF0011u;
inline constexpr DWORD DPN_MSGID_RETURN_BUFFER = 0xFFFF0013u;
inline constexpr DWORD DPN_MSGID_SEND_COMPLETE = 0xFFFF0014u;
inline constexpr DWORD DPN_MSGID_TERMINATE_SESSION = 0xFFFF0016u;

// Flags.
inline constexpr DWORD INFINITE = 0xFFFFFFFFu;
inline constexpr DPNID DPNID_ALL_PLAYERS_GROUP = 0;
inline constexpr DWORD DPNSEND_SYNC = 0x80000000u;
inline constexpr DWORD DPNSEND_NOCOPY = 0x01;
inline constexpr DWORD DPNSEND_NOCOMPLETE = 0x02;
inline constexpr DWORD DPNSEND_COMPLETEONPROCESS = 0x04;
inline constexpr DWORD DPNSEND_GUARANTEED = 0x08;
inline constexpr DWORD DPNSEND_NONSEQUENTIAL = 0x10;
inline constexpr DWORD DPNSEND_NOLOOPBACK = 0x20;
inline constexpr DWORD DPNSEND_PRIORITY_LOW = 0x40;
inline constexpr DWORD DPNSEND_PRIORITY_HIGH = 0x80;
inline constexpr DWORD DPNENUMHOSTS_SYNC = 0x80000000u;
inline constexpr DWORD DPNENUMHOSTS_OKTOQUERYFORADDRESSING = 0x01;
inline constexpr DWORD DPNENUMHOSTS_NOBROADCASTFALLBACK = 0x02;
inline constexpr DWORD DPNCONNECT_SYNC = 0x80000000u;
inline constexpr DWORD DPNCONNECT_OKTOQUERYFORADDRESSING = 0x01;
inline constexpr DWORD DPNHOST_OKTOQUERYFORADDRESSING = 0x01;
inline constexpr DWORD DPNSESSION_CLIENT_SERVER = 0x01;
inline constexpr DWORD DPNSESSION_NODPNSVR = 0x40;
inline constexpr DWORD DPNPLAYER_LOCAL = 0x02;
inline constexpr DWORD DPNPLAYER_HOST = 0x04;
inline constexpr DWORD DPNINFO_NAME = 0x01;
inline constexpr DWORD DPNDESTROYPLAYERREASON_NORMAL = 1;
inline constexpr DWORD DPNDESTROYPLAYERREASON_CONNECTIONLOST = 2;
inline constexpr DWORD DPNDESTROYPLAYERREASON_SESSIONTERMINATED = 3;
inline constexpr DWORD DPNDESTROYPLAYERREASON_HOSTDESTROYEDPLAYER = 4;

// Largest message the layer carries.
inline constexpr std::size_t kMaxMessageSize = 1u << 20;
// Largest connect, reply, terminate or enumeration data.
inline constexpr std::size_t kMaxSideDataSize = 32768;

// An address: the components the wrappers set. Port 0 means "none" (a host
// then takes an ephemeral port).
struct TAddress {
    std::string Hostname;  // dotted IPv4 or a name
    std::uint32_t Port = 0;
    TGuid Device;
    TGuid ApplicationInstance;
    TGuid Program;
};

// Component names of an address.
inline constexpr const char* DPNA_KEY_HOSTNAME = "hostname";
inline constexpr const char* DPNA_KEY_PORT = "port";
inline constexpr const char* DPNA_KEY_DEVICE = "device";
inline constexpr const char* DPNA_KEY_APPLICATION_INSTANCE = "applicationinstance";
inline constexpr const char* DPNA_KEY_PROGRAM = "program";

struct DPN_APPLICATION_DESC {
    DWORD dwFlags = 0;
    TGuid guidInstance;
    TGuid guidApplication;
    DWORD dwMaxPlayers = 0;  // 0: no limit
    DWORD dwCurrentPlayers = 0;
    std::string SessionName;  // 8-bit text
    std::string Password;
    std::vector<std::uint8_t> ApplicationReservedData;
};

// Capabilities of the service provider; the enumeration defaults are ours.
struct DPN_SP_CAPS {
    DWORD dwSize = 36;
    DWORD dwFlags = 0;
    DWORD dwNumThreads = 1;
    DWORD dwDefaultEnumCount = 0;
    DWORD dwDefaultEnumRetryInterval = 0;
    DWORD dwDefaultEnumTimeout = 0;
    DWORD dwMaxEnumPayloadSize = 0;
    DWORD dwBuffersPerThread = 0;
    DWORD dwSystemBufferSize = 0;
};

struct DPN_PLAYER_INFO {
    std::string Name;
    DWORD dwPlayerFlags = 0;  // DPNPLAYER_LOCAL, DPNPLAYER_HOST
};

// Messages. Pointers and spans are valid only during the handler call.
struct DPNMSG_ASYNC_OP_COMPLETE {
    DPNHANDLE hAsyncOp;
    void* pvUserContext;
    HRESULT hResultCode;
};
struct DPNMSG_CONNECT_COMPLETE {
    DPNHANDLE hAsyncOp;
    void* pvUserContext;
    HRESULT hResultCode;
    const std::uint8_t* pvApplicationReplyData;
    DWORD dwApplicationReplyDataSize;
};
struct DPNMSG_CREATE_PLAYER {
    DPNID dpnidPlayer;
    void* pvPlayerContext;  // the handler may set it
};
struct DPNMSG_DESTROY_PLAYER {
    DPNID dpnidPlayer;
    void* pvPlayerContext;
    DWORD dwReason;
};
struct DPNMSG_ENUM_HOSTS_RESPONSE {
    const TAddress* pAddressSender;
    const TAddress* pAddressDevice;
    const DPN_APPLICATION_DESC* pApplicationDescription;
    const std::uint8_t* pvResponseData;
    DWORD dwResponseDataSize;
    void* pvUserContext;
    DWORD dwRoundTripLatencyMS;
};
struct DPNMSG_INDICATE_CONNECT {
    const std::uint8_t* pvUserConnectData;
    DWORD dwUserConnectDataSize;
    std::vector<std::uint8_t> ReplyData;  // the handler may fill it
    void* pvPlayerContext;
    const TAddress* pAddressPlayer;
};
struct DPNMSG_INDICATED_CONNECT_ABORTED {
    void* pvPlayerContext;
};
struct DPNMSG_RECEIVE {
    DPNID dpnidSender;
    void* pvPlayerContext;
    const std::uint8_t* pReceiveData;
    DWORD dwReceiveDataSize;
};
// Not raised by this layer, which lends no buffers to the handler.
struct DPNMSG_RETURN_BUFFER {
    HRESULT hResultCode;
    void* pvBuffer;
    void* pvUserContext;
};
struct DPNMSG_SEND_COMPLETE {
    DPNHANDLE hAsyncOp;
    void* pvUserContext;
    HRESULT hResultCode;
    DWORD dwSendTime;
};
struct DPNMSG_TERMINATE_SESSION {
    HRESULT hResultCode;
    const std::uint8_t* pvTerminateData;
    DWORD dwTerminateDataSize;
};

// The answer of INDICATE_CONNECT: 0 accepts, anything else refuses.
using TMessageHandler = std::function<HRESULT(DWORD messageType, void* message)>;

struct TSessionOptions {
    sys::IClock* clock = nullptr;  // nullptr: sys::SystemClock()
    DWORD enumCount = 5;
    DWORD enumRetryMs = 1500;
    DWORD enumTimeoutMs = 1500;
    // Set by each user longer than the window it waits for a connect with.
    DWORD connectTimeoutMs = 10000;
    // How long the end of the program still lets a closed session's flush
    // run (see Close).
    DWORD closeFlushMs = 500;
    // Silence after which a connected far end counts as lost.
    DWORD linkTimeoutMs = 10000;
    // Turns a host name into IPv4 addresses (network byte order); runs on a
    // thread of its own. Empty: the system's lookup.
    std::function<std::vector<std::uint32_t>(const std::string& hostName)> resolveHost;
};

enum class ERole { Client, Server, Peer };

// Whether enumeration may broadcast when no host is given: false while a
// test runs (QUORVEX_TEST_BIN is set) or after SetBroadcastAllowed(false).
bool BroadcastAllowed();
void SetBroadcastAllowed(bool allowed);

class TSession {
public:
    TSession(ERole role, const TSessionOptions& options);
    ~TSession();  // Close
    TSession(const TSession&) = delete;
    TSession& operator=(const TSession&) = delete;

    ERole Role() const { return role_; }

    HRESULT Initialize(TMessageHandler handler);
    HRESULT GetSPCaps(DPN_SP_CAPS* caps) const;
    // SetClientInfo / SetPeerInfo / SetServerInfo.
    HRESULT SetInfo(const std::string& name);
    // Name and flags of a player (a client of a server, or any peer).
    HRESULT GetPeerInfo(DPNID player, DPN_PLAYER_INFO* info) const;
    // Messages queued to `player` and not yet acknowledged by it.
    HRESULT GetSendQueueInfo(DPNID player, DWORD* messages, DWORD* bytes) const;
    // Address a client or peer connected from (server and host side).
    HRESULT GetRemoteAddress(DPNID player, TAddress* address) const;
    // Port the session's socket is bound to; 0 before Host/EnumHosts/Connect.
    std::uint32_t LocalPort() const;

    // Server or peer: opens the session on the first address's port.
    HRESULT Host(const DPN_APPLICATION_DESC& desc, const std::vector<TAddress>& addresses, DWORD flags);
    HRESULT EnumHosts(const DPN_APPLICATION_DESC& desc, const TAddress& host, const TAddress& device,
                      const void* userData, DWORD userDataSize, DWORD count, DWORD retryMs, DWORD timeoutMs,
                      void* userContext, DPNHANDLE* handle, DWORD flags);
    // Cancels an enumeration or connect; never waits for the worker.
    HRESULT CancelAsyncOperation(DPNHANDLE handle, DWORD flags);
    HRESULT Connect(const DPN_APPLICATION_DESC& desc, const TAddress& host, const TAddress& device,
                    const void* connectData, DWORD connectDataSize, void* playerContext, void* asyncContext,
                    DPNHANDLE* handle, DWORD flags);
    // Client: to the server (target ignored). Peer and server: to a player,
    // or DPNID_ALL_PLAYERS_GROUP for every remote player.
    HRESULT SendTo(DPNID target, const void* data, DWORD size, DWORD timeoutMs, void* userContext,
                   DPNHANDLE* handle, DWORD flags);
    // Server or host: ends a player's connection; its side gets `data` with
    // TERMINATE_SESSION.
    HRESULT DestroyPeer(DPNID player, const void* data, DWORD size);
    HRESULT Close(DWORD flags);

    struct TImpl;

private:
    ERole role_;
    std::unique_ptr<TImpl> impl_;
};

// The transport sessions run on, as a service provider is named: "ENet
// <version> (reliable UDP over IPv4)", the version the program is linked with.
std::string TransportName();

// Makes a session object; fails with DPNERR_GENERIC when ENet cannot start.
HRESULT DirectPlay8Create(ERole role, const TSessionOptions& options, std::unique_ptr<TSession>* out);

}  // namespace qv::dpn

#include <enet/enet.h>
#include <enet/time.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <future>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <system_error>
#include <thread>
#include <unordered_map>

#include "platform/session/DPlay8.h"
#include "platform/session/SessionWire.h"
#include "platform/system/Clock.h"

namespace qv::dpn {

namespace {

// The first 32 bits every link of ours carries in ENet's own connect.
constexpr enet_uint32 kLinkMagic = 0x51564450u;  // "QVDP"
// Why a link was ended, in ENet's disconnect data.
enum : enet_uint32 { kEndLost = 0, kEndLeave = 1, kEndHostClosed = 2, kEndDestroyed = 3, kEndRefused = 4 };
constexpr std::size_t kChannels = 2;  // 0 reliable, 1 unreliable
constexpr int kServicePollMs = 5;     // ENet's own housekeeping (resends, pings)
constexpr DPNID kServerId = 1;        // the server as its clients see it
// ENet's own time-outs on the links we keep: so far beyond every time-out
// of ours that they never fire first. Silence and deadlines are measured
// here.
constexpr enet_uint32 kEnetNeverMs = 3600000;
// ENet doubles the interval between the resends of a guaranteed message at
// each try, without bound. Past this (or the link's own resend interval, when
// longer) it resends no less often, so a link back from an outage carries
// what waited within about this time, and the far end keeps hearing us.
constexpr enet_uint32 kResendCapMs = 1000;
// A closed session's flush gives up after this many link time-outs even
// while the far end keeps talking without taking what is sent.
constexpr int kFlushLimitLinkTimeouts = 2;
// How long a new connect waits for a closed session's end to the same far
// end to be taken (on the session's worker, never the caller's thread).
constexpr std::chrono::milliseconds kReconnectFlushWait{2000};

std::atomic<int> gBroadcast{-1};  // -1: decided by the environment

bool Due(std::uint32_t now, std::uint32_t at) { return static_cast<std::int32_t>(now - at) >= 0; }

std::string IpText(const ENetAddress& a) {
    char text[64] = "";
    enet_address_get_host_ip(&a, text, sizeof text);
    return text;
}

std::vector<std::uint32_t> SystemLookup(const std::string& name) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    std::vector<std::uint32_t> hosts;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0) return hosts;
    for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
        if (a->ai_family != AF_INET || a->ai_addr == nullptr) continue;
        const std::uint32_t host = reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr.s_addr;
        if (std::find(hosts.begin(), hosts.end(), host) == hosts.end()) hosts.push_back(host);
    }
    freeaddrinfo(found);
    return hosts;
}

// A host name's addresses, looked up on a thread of its own that the
// worker never waits for: the thread holds only this box.
struct TLookup {
    std::mutex m;
    bool done = false;
    std::vector<std::uint32_t> hosts;

    bool Done(std::vector<std::uint32_t>* out) {
        std::lock_guard lock(m);
        if (done && out != nullptr) *out = hosts;
        return done;
    }
};

std::shared_ptr<TLookup> StartLookup(const std::string& name,
                                     const std::function<std::vector<std::uint32_t>(const std::string&)>& resolve) {
    auto box = std::make_shared<TLookup>();
    ENetAddress numeric{};
    if (enet_address_set_host_ip(&numeric, name.c_str()) == 0) {
        box->hosts.push_back(numeric.host);
        box->done = true;
        return box;
    }
    try {
        std::thread([box, name, resolve] {
            std::vector<std::uint32_t> hosts;
            try {
                hosts = resolve ? resolve(name) : SystemLookup(name);
            } catch (...) {
                hosts.clear();  // an unknown name
            }
            std::lock_guard lock(box->m);
            box->hosts = std::move(hosts);
            box->done = true;
        }).detach();
    } catch (const std::system_error&) {
        box->done = true;  // no thread: the name stays unknown
    }
    return box;
}

// ENet's own time-outs set out of the way: the session decides.
void LeaveTimeoutsToUs(ENetPeer* peer) { enet_peer_timeout(peer, 1u << 16, kEnetNeverMs, kEnetNeverMs); }

// Caps the resend interval of the guaranteed messages waiting for the far
// end (see kResendCapMs), and brings ENet's next look at them forward.
void LimitResends(ENetPeer* peer) {
    const enet_uint32 cap = std::max<enet_uint32>(kResendCapMs, peer->roundTripTime + 4 * peer->roundTripTimeVariance);
    bool any = false;
    enet_uint32 next = 0;
    for (ENetListIterator i = enet_list_begin(&peer->sentReliableCommands); i != enet_list_end(&peer->sentReliableCommands);
         i = enet_list_next(i)) {
        auto* cmd = reinterpret_cast<ENetOutgoingCommand*>(i);
        if (cmd->roundTripTimeout > cap) cmd->roundTripTimeout = cap;
        const enet_uint32 due = cmd->sentTime + cmd->roundTripTimeout;
        if (!any || ENET_TIME_LESS(due, next)) next = due;
        any = true;
    }
    if (any && ENET_TIME_LESS(next, peer->nextTimeout)) peer->nextTimeout = next;
    // Resends queued again keep the interval they will be sent with.
    for (ENetListIterator i = enet_list_begin(&peer->outgoingCommands); i != enet_list_end(&peer->outgoingCommands);
         i = enet_list_next(i)) {
        auto* cmd = reinterpret_cast<ENetOutgoingCommand*>(i);
        if (cmd->roundTripTimeout > cap) cmd->roundTripTimeout = cap;
    }
}

bool SameAddress(const ENetAddress& a, const ENetAddress& b) { return a.host == b.host && a.port == b.port; }

// What a closed session still has to send, on a thread of its own: the
// guaranteed messages and the session's end go on until the far end took
// them, or fell silent for the link time-out (real time: the session's
// clock may be gone with it), or the program ends.
class TFlush {
public:
    struct TPeer {
        ENetPeer* peer;
        enet_uint32 endCode;  // the end the far end is told when dropped
        std::chrono::steady_clock::time_point heard;
    };

    TFlush(ENetHost* host, std::vector<TPeer> peers, std::uint32_t port, DWORD linkTimeoutMs, DWORD exitGraceMs)
        : host_(host), peers_(std::move(peers)), port_(port), linkTimeout_(std::chrono::milliseconds(linkTimeoutMs)),
          exitGrace_(std::chrono::milliseconds(exitGraceMs)), started_(std::chrono::steady_clock::now()) {
        for (const TPeer& p : peers_) farEnds_.push_back(p.peer->address);
    }

    std::uint32_t Port() const { return port_; }
    // Whether this flush was handed a link to `address` (fixed when made).
    bool SendsTo(const ENetAddress& address) const {
        return std::any_of(farEnds_.begin(), farEnds_.end(), [&](const ENetAddress& a) { return SameAddress(a, address); });
    }
    std::chrono::milliseconds ExitGrace() const { return exitGrace_; }
    void Abandon() { abandon_ = true; }

    void Run() {
        tFlush = this;
        host_->intercept = &Intercept;
        while (!peers_.empty()) {
            ENetEvent ev;
            while (!peers_.empty() && enet_host_service(host_, &ev, 0) > 0) Handle(ev);
            const auto now = std::chrono::steady_clock::now();
            for (const ENetAddress& from : heard_)
                for (TPeer& p : peers_)
                    if (SameAddress(p.peer->address, from)) p.heard = now;
            heard_.clear();
            const bool over = abandon_ || now - started_ >= kFlushLimitLinkTimeouts * linkTimeout_;
            for (auto it = peers_.begin(); it != peers_.end();) {
                if (over) {
                    enet_peer_disconnect_now(it->peer, it->endCode);
                } else if (now - it->heard >= linkTimeout_) {
                    enet_peer_reset(it->peer);  // the far end is gone
                } else {
                    LimitResends(it->peer);
                    ++it;
                    continue;
                }
                it = peers_.erase(it);
            }
            if (peers_.empty()) break;
            enet_host_flush(host_);
            pollfd fd{host_->socket, POLLIN, 0};
            poll(&fd, 1, kServicePollMs);
        }
        enet_host_destroy(host_);
        host_ = nullptr;
        tFlush = nullptr;
    }

    // Without a thread: the far ends are told at once.
    void DropNow() {
        for (const TPeer& p : peers_) enet_peer_disconnect_now(p.peer, p.endCode);
        peers_.clear();
        enet_host_destroy(host_);
        host_ = nullptr;
    }

private:
    static int Intercept(ENetHost* h, ENetEvent*) {
        TFlush* self = tFlush;
        const std::span<const std::uint8_t> d(h->receivedData, h->receivedDataLength);
        if (wire::IsEnumDatagram(d)) return 1;  // a closed session answers no searches
        if (self != nullptr && (self->heard_.empty() || !SameAddress(self->heard_.back(), h->receivedAddress)))
            self->heard_.push_back(h->receivedAddress);
        return 0;
    }

    void Handle(ENetEvent& ev) {
        const auto known = std::find_if(peers_.begin(), peers_.end(), [&](const TPeer& p) { return p.peer == ev.peer; });
        switch (ev.type) {
        case ENET_EVENT_TYPE_CONNECT:
            if (known == peers_.end()) enet_peer_disconnect_now(ev.peer, kEndRefused);
            break;
        case ENET_EVENT_TYPE_RECEIVE: enet_packet_destroy(ev.packet); break;
        case ENET_EVENT_TYPE_DISCONNECT:
            if (known != peers_.end()) peers_.erase(known);
            break;
        case ENET_EVENT_TYPE_NONE: break;
        }
    }

    static thread_local TFlush* tFlush;

    ENetHost* host_;
    std::vector<TPeer> peers_;
    std::vector<ENetAddress> farEnds_;
    std::vector<ENetAddress> heard_;
    std::uint32_t port_;
    std::chrono::milliseconds linkTimeout_, exitGrace_;
    std::chrono::steady_clock::time_point started_;
    std::atomic<bool> abandon_{false};
};

thread_local TFlush* TFlush::tFlush = nullptr;

// The flushes still running. It lives to the end of the process (sessions
// in static objects close after any static of this file is gone); once the
// program ends, a flush handed in is dropped at once.
class TFlushes {
public:
    static TFlushes& Get() {
        static TFlushes* flushes = new TFlushes;
        return *flushes;
    }

    void Start(std::unique_ptr<TFlush> flush) {
        std::shared_ptr<TFlush> shared(std::move(flush));
        std::lock_guard lock(m_);
        if (!ending_) {
            try {
                std::thread([this, shared] {
                    shared->Run();
                    Finished(shared.get());
                }).detach();
                running_.push_back(shared);
                return;
            } catch (const std::system_error&) {
                // No thread: dropped below.
            }
        }
        shared->DropNow();
    }

    // A new session takes the port of flushes still holding it: they end
    // (within one turn of their loop), their far ends told.
    void Release(std::uint32_t port) {
        std::unique_lock lock(m_);
        auto holds = [&] {
            return std::any_of(running_.begin(), running_.end(), [&](const auto& f) { return f->Port() == port; });
        };
        if (!holds()) return;
        for (const auto& f : running_)
            if (f->Port() == port) f->Abandon();
        cv_.wait_for(lock, std::chrono::seconds(2), [&] { return !holds(); });
    }

    // A new link to a far end that a closed session is still telling its end
    // waits (at most `within`) for that end to go first, so the far end
    // never sees the new link before the old one has left.
    void WaitForFlushesTo(const ENetAddress& address, std::chrono::milliseconds within) {
        std::unique_lock lock(m_);
        cv_.wait_for(lock, within, [&] {
            return std::none_of(running_.begin(), running_.end(), [&](const auto& f) { return f->SendsTo(address); });
        });
    }

    // The end of the program: each flush still running gets its grace to
    // finish, then is dropped.
    void End() {
        std::unique_lock lock(m_);
        ending_ = true;
        std::chrono::milliseconds grace{0};
        for (const auto& f : running_) grace = std::max(grace, f->ExitGrace());
        cv_.wait_for(lock, grace, [&] { return running_.empty(); });
        for (const auto& f : running_) f->Abandon();
        cv_.wait_for(lock, std::chrono::seconds(2), [&] { return running_.empty(); });
    }

private:
    void Finished(TFlush* flush) {
        {
            std::lock_guard lock(m_);
            running_.erase(std::remove_if(running_.begin(), running_.end(),
                                          [&](const auto& f) { return f.get() == flush; }),
                           running_.end());
        }
        cv_.notify_all();
    }

    std::mutex m_;
    std::condition_variable cv_;
    std::vector<std::shared_ptr<TFlush>> running_;
    bool ending_ = false;
};

// Ends the flushes with the program.
struct TEndFlushesAtExit {
    ~TEndFlushesAtExit() { TFlushes::Get().End(); }
} gEndFlushesAtExit;

}  // namespace

bool BroadcastAllowed() {
    const int set = gBroadcast.load();
    if (set >= 0) return set != 0;
    return std::getenv("QUORVEX_TEST_BIN") == nullptr;
}

void SetBroadcastAllowed(bool allowed) { gBroadcast.store(allowed ? 1 : 0); }

struct TSession::TImpl {
    struct TPlayer {
        std::string name;
        DWORD flags = 0;
        void* context = nullptr;
        TAddress address;
        DWORD pending = 0;  // sends not yet handed to ENet
        DWORD queued = 0;   // ENet's outgoing and unacknowledged commands
        std::size_t queuedBytes = 0;
    };

    struct TCommand {
        enum EKind { kAnnounce, kStartEnum, kConnect, kSend, kDestroy, kClose } kind = kSend;
        DPNID target = 0;
        ENetPacket* packet = nullptr;
        std::uint8_t channel = 0;
        std::vector<DPNID> counted;  // players whose pending count it holds
        DPNHANDLE handle = 0;
        void* context = nullptr;
        void* playerContext = nullptr;
        std::vector<std::uint8_t> data;
        TAddress address;
        TGuid application;
        TGuid instance;
        DWORD count = 0, retryMs = 0, timeoutMs = 0;
        std::shared_ptr<std::promise<HRESULT>> done;
    };

    struct TEnumOp {
        DPNHANDLE handle;
        void* context;
        TGuid application;
        std::vector<std::uint8_t> userData;
        TAddress target;
        ENetAddress address{};
        bool resolved = false;
        DWORD sendsLeft, retryMs, timeoutMs;
        std::uint32_t nextSend = 0, end = 0;
        std::shared_ptr<std::promise<HRESULT>> done;
        std::shared_ptr<TLookup> lookup;
        std::vector<std::uint32_t> hosts;  // the named host's addresses
    };

    struct TConnectOp {
        DPNHANDLE handle;
        void* context;
        void* playerContext;
        ENetPeer* peer = nullptr;
        bool linkUp = false;
        std::uint32_t deadline = 0;
        wire::TConnectRequest request;
        std::shared_ptr<std::promise<HRESULT>> done;
        std::shared_ptr<TLookup> lookup;  // until the peer is made
        std::uint32_t port = 0;
    };

    struct TLink {
        DPNID id = 0;  // 0 while the far end has not been accepted
        bool closing = false;
        std::uint32_t deadline = 0;  // for links waiting for a connect request
        std::optional<std::vector<std::uint8_t>> terminateData;
        // When the far end was last heard, on the session's clock and in
        // real time (the flush after Close reads only the latter).
        std::uint32_t heardAt = 0;
        std::chrono::steady_clock::time_point heardReal;
        enet_uint32 endCode = kEndLeave;  // told to the far end when closing
    };

    struct TSendRecord {
        TImpl* impl;
        DPNHANDLE handle;
        void* context;
        DPNID target;  // 0 for the group
        std::uint32_t sentAt;
        bool failed = false;  // never handed to ENet
    };

    struct TCompletion {
        DPNHANDLE handle;
        void* context;
        DPNID target;
        std::uint32_t sentAt;
        bool failed;
    };

    ERole role;
    TSessionOptions options;
    sys::IClock* clock;

    // Shared with the calling threads; guarded by m.
    mutable std::mutex m;
    bool initialized = false;
    TMessageHandler handler;
    std::string name;
    bool hosting = false, connecting = false, connected = false;
    bool stopping = false;  // Close has begun: no new work is taken
    DPN_APPLICATION_DESC hostDesc;
    std::map<DPNID, TPlayer> players;
    DPNID localId = 0;
    DPNID nextId = 0x00200001u;
    DPNHANDLE nextHandle = 1;
    std::deque<TCommand> commands;
    std::set<DPNHANDLE> cancelled;
    std::uint32_t localPort = 0;
    std::thread worker;
    std::thread::id workerId;

    // The worker's own (before it starts: the starting thread's).
    ENetHost* host = nullptr;
    int wakeFd = -1;
    std::vector<TEnumOp> enums;
    std::optional<TConnectOp> connectOp;
    std::unordered_map<ENetPeer*, TLink> links;
    std::map<DPNID, ENetPeer*> peerOf;
    std::vector<wire::TEnumResponse> responses;
    std::vector<ENetAddress> responseSenders;
    std::vector<TCompletion> completions;
    std::vector<ENetAddress> heard;  // senders of link datagrams since the last look
    bool closing = false;
    bool finished = false;

    TImpl(ERole r, const TSessionOptions& o) : role(r), options(o), clock(o.clock ? o.clock : &sys::SystemClock()) {}

    std::uint32_t Now() const { return clock->GetTickCount(); }
    bool OnWorker() const { return worker.joinable() && std::this_thread::get_id() == workerId; }

    void Wake() const {
        const std::uint64_t one = 1;
        if (wakeFd >= 0) (void)!write(wakeFd, &one, sizeof one);
    }

    DPNID NewIdLocked() { return nextId++; }

    // ------------------------------------------------------------------ calls

    HRESULT Call(DWORD type, void* message) {
        if (closing) return DPN_OK;
        try {
            return handler ? handler(type, message) : DPN_OK;
        } catch (...) {
            // The wrappers catch and log; nothing may end the worker.
            return type == DPN_MSGID_INDICATE_CONNECT ? 1 : DPN_OK;
        }
    }

    HRESULT OpenSocket(const std::string& hostName, std::uint32_t port, std::size_t peers) {
        ENetAddress address{};
        address.host = ENET_HOST_ANY;
        if (!hostName.empty() && enet_address_set_host_ip(&address, hostName.c_str()) != 0)
            return DPNERR_INVALIDHOSTADDRESS;
        address.port = static_cast<enet_uint16>(port);
        host = enet_host_create(&address, peers, kChannels, 0, 0);
        if (host == nullptr) return DPNERR_INVALIDHOSTADDRESS;
        host->intercept = &Intercept;
        host->maximumPacketSize = kMaxMessageSize + 64;
        ENetAddress bound{};
        if (enet_socket_get_address(host->socket, &bound) == 0) localPort = bound.port;
        wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (wakeFd < 0) {
            enet_host_destroy(host);
            host = nullptr;
            return DPNERR_OUTOFMEMORY;
        }
        worker = std::thread([this] { Run(); });
        workerId = worker.get_id();
        return DPN_OK;
    }

    void Enqueue(TCommand&& c) {
        commands.push_back(std::move(c));
        Wake();
    }

    // ----------------------------------------------------------------- worker

    static thread_local TImpl* tCurrent;

    void Run() {
        tCurrent = this;
        while (!finished) {
            RunCommands();
            if (finished) break;
            ENetEvent ev;
            while (enet_host_service(host, &ev, 0) > 0) Handle(ev);
            MarkHeard();
            DispatchResponses();
            DispatchCompletions();
            Timers();
            for (auto& [peer, link] : links) LimitResends(peer);
            if (connectOp && connectOp->peer != nullptr) LimitResends(connectOp->peer);
            enet_host_flush(host);
            PublishQueues();
            pollfd fds[2] = {{host->socket, POLLIN, 0}, {wakeFd, POLLIN, 0}};
            if (poll(fds, 2, kServicePollMs) > 0 && (fds[1].revents & POLLIN)) {
                std::uint64_t count;
                (void)!read(wakeFd, &count, sizeof count);
            }
        }
        Shutdown();
        tCurrent = nullptr;
    }

    void RunCommands() {
        std::deque<TCommand> batch;
        {
            std::lock_guard lock(m);
            batch.swap(commands);
        }
        for (auto& c : batch) Execute(c);
    }

    void Execute(TCommand& c) {
        switch (c.kind) {
        case TCommand::kAnnounce: {
            DPNMSG_CREATE_PLAYER msg{c.target, nullptr};
            {
                std::lock_guard lock(m);
                if (auto it = players.find(c.target); it != players.end()) msg.pvPlayerContext = it->second.context;
            }
            Call(DPN_MSGID_CREATE_PLAYER, &msg);
            std::lock_guard lock(m);
            if (auto it = players.find(c.target); it != players.end()) it->second.context = msg.pvPlayerContext;
            break;
        }
        case TCommand::kStartEnum: {
            TEnumOp op{c.handle, c.context, c.application, std::move(c.data), c.address, {}, false,
                       c.count, c.retryMs, c.timeoutMs, Now(), 0, c.done, nullptr, {}};
            enums.push_back(std::move(op));
            break;
        }
        case TCommand::kConnect: StartConnect(c); break;
        case TCommand::kSend: ExecuteSend(c); break;
        case TCommand::kDestroy: {
            auto it = peerOf.find(c.target);
            if (it == peerOf.end()) break;
            ENetPeer* peer = it->second;
            SendControl(peer, wire::EncodeTerminate(c.data));
            enet_peer_disconnect_later(peer, kEndDestroyed);
            links[peer].closing = true;
            links[peer].endCode = kEndDestroyed;
            RemovePlayer(c.target, DPNDESTROYPLAYERREASON_HOSTDESTROYEDPLAYER);
            break;
        }
        case TCommand::kClose: BeginClose(); break;
        }
        if (c.done && c.kind != TCommand::kStartEnum && c.kind != TCommand::kConnect) c.done->set_value(DPN_OK);
    }

    void ExecuteSend(TCommand& c) {
        {
            std::lock_guard lock(m);
            for (DPNID id : c.counted)
                if (auto it = players.find(id); it != players.end() && it->second.pending > 0) --it->second.pending;
        }
        std::vector<ENetPeer*> targets;
        for (DPNID id : c.counted)
            if (auto it = peerOf.find(id); it != peerOf.end()) targets.push_back(it->second);
        if (targets.empty()) {
            if (auto* rec = static_cast<TSendRecord*>(c.packet->userData)) rec->failed = true;
            enet_packet_destroy(c.packet);  // its completion comes from the free callback
            return;
        }
        bool queued = false;
        for (ENetPeer* peer : targets)
            if (enet_peer_send(peer, c.channel, c.packet) == 0) queued = true;
        if (!queued) {
            if (auto* rec = static_cast<TSendRecord*>(c.packet->userData)) rec->failed = true;
            enet_packet_destroy(c.packet);
        }
    }

    static void PacketFreed(ENetPacket* packet) {
        auto* rec = static_cast<TSendRecord*>(packet->userData);
        if (rec == nullptr) return;
        rec->impl->completions.push_back({rec->handle, rec->context, rec->target, rec->sentAt, rec->failed});
        delete rec;
        packet->userData = nullptr;
    }

    void DispatchCompletions() {
        std::vector<TCompletion> batch;
        batch.swap(completions);
        for (const auto& c : batch) {
            bool alive;
            {
                std::lock_guard lock(m);
                alive = !c.failed && connectedLocked() &&
                        (c.target == 0 || role == ERole::Client || players.count(c.target) != 0);
            }
            DPNMSG_SEND_COMPLETE msg{c.handle, c.context, alive ? DPN_OK : DPNERR_CONNECTIONLOST, Now() - c.sentAt};
            Call(DPN_MSGID_SEND_COMPLETE, &msg);
        }
    }

    bool connectedLocked() const { return hosting || connected; }

    void SendControl(ENetPeer* peer, const std::vector<std::uint8_t>& bytes) {
        ENetPacket* p = enet_packet_create(bytes.data(), bytes.size(), ENET_PACKET_FLAG_RELIABLE);
        if (p != nullptr && enet_peer_send(peer, 0, p) != 0) enet_packet_destroy(p);
    }

    // --------------------------------------------------------- enumeration

    static int Intercept(ENetHost* h, ENetEvent*) {
        TImpl* self = tCurrent;
        const std::span<const std::uint8_t> d(h->receivedData, h->receivedDataLength);
        if (self == nullptr) return 0;
        if (!wire::IsEnumDatagram(d)) {
            // Anything a far end sends counts as hearing it: acknowledgements,
            // resends and ENet's own pings too.
            if (self->heard.empty() || !SameAddress(self->heard.back(), h->receivedAddress))
                self->heard.push_back(h->receivedAddress);
            return 0;
        }
        if (auto q = wire::DecodeEnumQuery(d)) {
            self->AnswerQuery(*q, h->receivedAddress);
        } else if (auto r = wire::DecodeEnumResponse(d)) {
            self->responses.push_back(std::move(*r));
            self->responseSenders.push_back(h->receivedAddress);
        }
        return 1;  // ours, read or dropped; never ENet's
    }

    void AnswerQuery(const wire::TEnumQuery& q, const ENetAddress& from) {
        wire::TEnumResponse r;
        {
            std::lock_guard lock(m);
            if (!hosting || closing) return;
            if (!q.Application.IsNull() && q.Application != hostDesc.guidApplication) return;
            r.Desc = hostDesc;
            r.Desc.dwCurrentPlayers = static_cast<DWORD>(players.size());
        }
        r.Stamp = q.Stamp;
        const auto bytes = wire::EncodeEnumResponse(r);
        ENetBuffer buffer{const_cast<std::uint8_t*>(bytes.data()), bytes.size()};
        enet_socket_send(host->socket, &from, &buffer, 1);
    }

    void DispatchResponses() {
        std::vector<wire::TEnumResponse> batch;
        std::vector<ENetAddress> senders;
        batch.swap(responses);
        senders.swap(responseSenders);
        for (std::size_t i = 0; i < batch.size(); ++i) {
            TAddress sender;
            sender.Hostname = IpText(senders[i]);
            sender.Port = senders[i].port;
            for (std::size_t k = 0; k < enums.size(); ++k) {
                // Copies: the handler may start or cancel enumerations.
                const DPNHANDLE handle = enums[k].handle;
                void* context = enums[k].context;
                const TGuid application = enums[k].application;
                if (IsCancelled(handle)) continue;
                if (!application.IsNull() && application != batch[i].Desc.guidApplication) continue;
                if (!FromAsked(enums[k], senders[i])) continue;
                TAddress device;
                device.Port = localPort;
                DPNMSG_ENUM_HOSTS_RESPONSE msg{&sender,
                                               &device,
                                               &batch[i].Desc,
                                               batch[i].ResponseData.data(),
                                               static_cast<DWORD>(batch[i].ResponseData.size()),
                                               context,
                                               Now() - batch[i].Stamp};
                Call(DPN_MSGID_ENUM_HOSTS_RESPONSE, &msg);
            }
        }
    }

    // A reply to a query sent to a named host counts only from that host's
    // addresses and the port asked; a broadcast takes anyone's.
    static bool FromAsked(const TEnumOp& op, const ENetAddress& from) {
        if (op.target.Hostname.empty()) return true;
        return op.resolved && from.port == op.target.Port &&
               std::find(op.hosts.begin(), op.hosts.end(), from.host) != op.hosts.end();
    }

    void MarkHeard() {
        if (heard.empty()) return;
        const std::uint32_t now = Now();
        const auto real = std::chrono::steady_clock::now();
        for (auto& [peer, link] : links) {
            for (const ENetAddress& from : heard) {
                if (!SameAddress(peer->address, from)) continue;
                link.heardAt = now;
                link.heardReal = real;
                break;
            }
        }
        heard.clear();
    }

    TLink NewLink(DPNID id, std::uint32_t deadline = 0) {
        TLink link;
        link.id = id;
        link.deadline = deadline;
        link.heardAt = Now();
        link.heardReal = std::chrono::steady_clock::now();
        return link;
    }

    bool IsCancelled(DPNHANDLE h) const {
        std::lock_guard lock(m);
        return cancelled.count(h) != 0;
    }

    void FinishEnum(std::size_t k, HRESULT result) {
        TEnumOp op = std::move(enums[k]);
        enums.erase(enums.begin() + static_cast<std::ptrdiff_t>(k));
        DPNMSG_ASYNC_OP_COMPLETE msg{op.handle, op.context, result};
        Call(DPN_MSGID_ASYNC_OP_COMPLETE, &msg);
        if (op.done) op.done->set_value(result);
    }

    void Timers() {
        const std::uint32_t now = Now();
        for (std::size_t k = 0; k < enums.size();) {
            TEnumOp& op = enums[k];
            if (IsCancelled(op.handle) || closing) {
                FinishEnum(k, DPNERR_USERCANCEL);
                continue;
            }
            if (!op.resolved) {
                if (op.target.Hostname.empty()) {
                    op.address.host = ENET_HOST_BROADCAST;
                } else {
                    if (!op.lookup) op.lookup = StartLookup(op.target.Hostname, options.resolveHost);
                    if (!op.lookup->Done(&op.hosts)) {
                        ++k;
                        continue;
                    }
                    op.lookup.reset();
                    if (op.hosts.empty()) {
                        FinishEnum(k, DPNERR_INVALIDHOSTADDRESS);
                        continue;
                    }
                    op.address.host = op.hosts.front();
                }
                op.address.port = static_cast<enet_uint16>(op.target.Port);
                op.resolved = true;
                if (!Due(now, op.nextSend)) op.nextSend = now;
            }
            if (op.sendsLeft > 0 && Due(now, op.nextSend)) {
                const auto bytes = wire::EncodeEnumQuery({now, op.application, op.userData});
                ENetBuffer buffer{const_cast<std::uint8_t*>(bytes.data()), bytes.size()};
                enet_socket_send(host->socket, &op.address, &buffer, 1);
                if (op.sendsLeft != INFINITE) --op.sendsLeft;
                op.nextSend = now + op.timeoutMs + op.retryMs;
                op.end = now + op.timeoutMs;
            }
            if (op.sendsLeft == 0 && Due(now, op.end)) {
                FinishEnum(k, DPN_OK);
                continue;
            }
            ++k;
        }
        if (connectOp && connectOp->lookup) MakeConnectPeer();
        if (connectOp && (Due(now, connectOp->deadline) || closing || IsCancelled(connectOp->handle))) {
            const HRESULT result = closing || IsCancelled(connectOp->handle) ? DPNERR_USERCANCEL
                                   : connectOp->linkUp                      ? DPNERR_TIMEDOUT
                                                                            : DPNERR_NORESPONSE;
            DropConnectPeer();
            FailConnect(result, {});
        }
        // A far end silent for the link time-out is lost: the link ends
        // here (told to the far end, should it still hear us), and only then.
        std::vector<ENetPeer*> lost;
        for (auto it = links.begin(); it != links.end();) {
            const TLink& link = it->second;
            if (link.id == 0 && !link.closing && Due(now, link.deadline)) {
                enet_peer_reset(it->first);
                it = links.erase(it);
                continue;
            }
            if (Due(now, link.heardAt + options.linkTimeoutMs)) {
                if (link.closing) {
                    enet_peer_reset(it->first);
                    it = links.erase(it);
                    continue;
                }
                if (link.id != 0) lost.push_back(it->first);
            }
            ++it;
        }
        for (ENetPeer* peer : lost) {
            enet_peer_disconnect_now(peer, kEndLost);
            OnDisconnect(peer, kEndLost);
        }
    }

    // ------------------------------------------------------------- connect

    void StartConnect(TCommand& c) {
        TConnectOp op{c.handle, c.context, c.playerContext, nullptr, false, Now() + options.connectTimeoutMs, {}, c.done, nullptr, 0};
        op.request.Application = c.application;
        op.request.Instance = c.instance;
        {
            std::lock_guard lock(m);
            op.request.Name = name;
        }
        op.request.ConnectData = std::move(c.data);
        op.port = c.address.Port;
        if (c.address.Hostname.empty()) {
            connectOp = std::move(op);
            FailConnect(DPNERR_INVALIDHOSTADDRESS, {});
            return;
        }
        op.lookup = StartLookup(c.address.Hostname, options.resolveHost);
        connectOp = std::move(op);
        MakeConnectPeer();
    }

    // Once the host's name is known: ENet's connect, which only the
    // connect deadline gives up.
    void MakeConnectPeer() {
        std::vector<std::uint32_t> hosts;
        if (!connectOp->lookup->Done(&hosts)) return;
        connectOp->lookup.reset();
        if (hosts.empty()) {
            FailConnect(DPNERR_INVALIDHOSTADDRESS, {});
            return;
        }
        ENetAddress address{};
        address.host = hosts.front();
        address.port = static_cast<enet_uint16>(connectOp->port);
        // Leaving and joining again at once (Disconnect, Connect): the old
        // link's end reaches the far end first. A far end that answers takes
        // it within a round trip; one that does not is not waited for long.
        TFlushes::Get().WaitForFlushesTo(address, kReconnectFlushWait);
        connectOp->peer = enet_host_connect(host, &address, kChannels, kLinkMagic);
        if (connectOp->peer == nullptr) {
            FailConnect(DPNERR_NORESPONSE, {});
            return;
        }
        LeaveTimeoutsToUs(connectOp->peer);
    }

    // A connect given up: a host that has the link hears of it at once.
    void DropConnectPeer() {
        if (connectOp->peer == nullptr) return;
        if (connectOp->linkUp)
            enet_peer_disconnect_now(connectOp->peer, kEndLeave);
        else
            enet_peer_reset(connectOp->peer);
        connectOp->peer = nullptr;
    }

    void FailConnect(HRESULT result, const std::vector<std::uint8_t>& reply) {
        TConnectOp op = std::move(*connectOp);
        connectOp.reset();
        {
            std::lock_guard lock(m);
            connecting = false;
        }
        DPNMSG_CONNECT_COMPLETE msg{op.handle, op.context, result, reply.empty() ? nullptr : reply.data(),
                                    static_cast<DWORD>(reply.size())};
        Call(DPN_MSGID_CONNECT_COMPLETE, &msg);
        if (op.done) op.done->set_value(result);
    }

    void OnReply(const wire::TConnectReply& reply) {
        ENetPeer* peer = connectOp->peer;
        if (reply.Result != DPN_OK) {
            enet_peer_disconnect_now(peer, kEndLeave);
            FailConnect(Failed(reply.Result) ? reply.Result : DPNERR_HOSTREJECTEDCONNECTION, reply.ReplyData);
            return;
        }
        TConnectOp op = std::move(*connectOp);
        connectOp.reset();
        DPNID local = 0, remote = kServerId;
        {
            std::lock_guard lock(m);
            connecting = false;
            connected = true;
            TPlayer far;
            far.name = reply.HostName;
            far.flags = DPNPLAYER_HOST;
            far.address.Hostname = IpText(peer->address);
            far.address.Port = peer->address.port;
            if (role == ERole::Peer) {
                local = localId = NewIdLocked();
                players[local] = TPlayer{name, DPNPLAYER_LOCAL, op.playerContext, {}, 0, 0, 0};
                remote = NewIdLocked();
            }
            players[remote] = std::move(far);
        }
        links[peer] = NewLink(remote);
        peerOf[remote] = peer;
        if (role == ERole::Peer) {
            Announce(local);
            Announce(remote);
        }
        DPNMSG_CONNECT_COMPLETE msg{op.handle, op.context, DPN_OK,
                                    reply.ReplyData.empty() ? nullptr : reply.ReplyData.data(),
                                    static_cast<DWORD>(reply.ReplyData.size())};
        Call(DPN_MSGID_CONNECT_COMPLETE, &msg);
        if (op.done) op.done->set_value(DPN_OK);
    }

    void Announce(DPNID id) {
        TCommand c;
        c.kind = TCommand::kAnnounce;
        c.target = id;
        Execute(c);
    }

    void OnRequest(ENetPeer* peer, const wire::TConnectRequest& request) {
        wire::TConnectReply reply;
        DPN_APPLICATION_DESC desc;
        std::size_t count;
        {
            std::lock_guard lock(m);
            desc = hostDesc;
            count = players.size();
            reply.HostName = name;
        }
        auto refuse = [&](HRESULT result) {
            reply.Result = result;
            SendControl(peer, wire::EncodeConnectReply(reply));
            enet_peer_disconnect_later(peer, kEndRefused);
            links[peer].closing = true;
            links[peer].endCode = kEndRefused;
        };
        if (request.Version != wire::kProtocolVersion ||
            (!request.Application.IsNull() && request.Application != desc.guidApplication) ||
            (!request.Instance.IsNull() && request.Instance != desc.guidInstance))
            return refuse(DPNERR_INVALIDAPPLICATION);
        if (desc.dwMaxPlayers != 0 && count >= desc.dwMaxPlayers) return refuse(DPNERR_SESSIONFULL);
        TAddress from;
        from.Hostname = IpText(peer->address);
        from.Port = peer->address.port;
        DPNMSG_INDICATE_CONNECT msg{request.ConnectData.empty() ? nullptr : request.ConnectData.data(),
                                    static_cast<DWORD>(request.ConnectData.size()), {}, nullptr, &from};
        const HRESULT answer = Call(DPN_MSGID_INDICATE_CONNECT, &msg);
        reply.ReplyData = std::move(msg.ReplyData);
        if (answer != DPN_OK || closing) return refuse(DPNERR_HOSTREJECTEDCONNECTION);
        DPNID id;
        {
            std::lock_guard lock(m);
            id = NewIdLocked();
            players[id] = TPlayer{request.Name, 0, msg.pvPlayerContext, from, 0, 0, 0};
        }
        links[peer].id = id;
        peerOf[id] = peer;
        SendControl(peer, wire::EncodeConnectReply(reply));
        Announce(id);
    }

    // ------------------------------------------------------------- events

    void Handle(ENetEvent& ev) {
        switch (ev.type) {
        case ENET_EVENT_TYPE_CONNECT:
            if (connectOp && ev.peer == connectOp->peer) {
                connectOp->linkUp = true;
                SendControl(ev.peer, wire::EncodeConnectRequest(connectOp->request));
            } else if (!closing && ev.data == kLinkMagic && IsHosting()) {
                LeaveTimeoutsToUs(ev.peer);
                links[ev.peer] = NewLink(0, Now() + options.connectTimeoutMs);
            } else {
                enet_peer_disconnect_now(ev.peer, kEndRefused);
            }
            break;
        case ENET_EVENT_TYPE_RECEIVE:
            OnPacket(ev.peer, ev.channelID, std::span<const std::uint8_t>(ev.packet->data, ev.packet->dataLength));
            enet_packet_destroy(ev.packet);
            break;
        case ENET_EVENT_TYPE_DISCONNECT: OnDisconnect(ev.peer, ev.data); break;
        case ENET_EVENT_TYPE_NONE: break;
        }
    }

    bool IsHosting() const {
        std::lock_guard lock(m);
        return hosting;
    }

    void OnPacket(ENetPeer* peer, std::uint8_t channel, std::span<const std::uint8_t> d) {
        if (d.empty()) return;
        if (connectOp && peer == connectOp->peer) {
            if (channel == 0)
                if (auto reply = wire::DecodeConnectReply(d)) OnReply(*reply);
            return;
        }
        auto it = links.find(peer);
        if (it == links.end() || it->second.closing) return;
        if (it->second.id == 0) {
            if (channel == 0)
                if (auto request = wire::DecodeConnectRequest(d)) OnRequest(peer, *request);
            return;
        }
        if (d[0] == wire::kData) {
            const DPNID sender = it->second.id;
            void* context = nullptr;
            {
                std::lock_guard lock(m);
                if (auto p = players.find(sender); p != players.end()) context = p->second.context;
            }
            DPNMSG_RECEIVE msg{sender, context, d.size() > 1 ? d.data() + 1 : nullptr,
                               static_cast<DWORD>(d.size() - 1)};
            Call(DPN_MSGID_RECEIVE, &msg);
        } else if (d[0] == wire::kTerminate && channel == 0) {
            if (auto data = wire::DecodeTerminate(d)) it->second.terminateData = std::move(*data);
        }
    }

    void OnDisconnect(ENetPeer* peer, enet_uint32 why) {
        if (connectOp && peer == connectOp->peer) {
            FailConnect(connectOp->linkUp ? DPNERR_CONNECTIONLOST : DPNERR_NORESPONSE, {});
            return;
        }
        auto it = links.find(peer);
        if (it == links.end()) return;
        TLink link = std::move(it->second);
        links.erase(it);
        if (link.id == 0 || link.closing) return;
        peerOf.erase(link.id);
        bool isHostSide;
        {
            std::lock_guard lock(m);
            isHostSide = hosting;
        }
        if (isHostSide) {
            RemovePlayer(link.id, why == kEndLeave ? DPNDESTROYPLAYERREASON_NORMAL : DPNDESTROYPLAYERREASON_CONNECTIONLOST);
            return;
        }
        // The far end of a client or joining peer: the session is over.
        const bool ended = link.terminateData.has_value() || why == kEndHostClosed || why == kEndDestroyed ||
                           why == kEndLeave;
        const HRESULT result = ended ? DPNERR_HOSTTERMINATEDSESSION : DPNERR_CONNECTIONLOST;
        const DWORD reason = ended ? DPNDESTROYPLAYERREASON_SESSIONTERMINATED : DPNDESTROYPLAYERREASON_CONNECTIONLOST;
        if (role == ERole::Peer) {
            RemovePlayer(link.id, reason);
            DPNID local;
            {
                std::lock_guard lock(m);
                local = localId;
            }
            if (local != 0) RemovePlayer(local, reason);
        } else {
            std::lock_guard lock(m);
            players.erase(link.id);
        }
        {
            std::lock_guard lock(m);
            connected = false;
            localId = 0;
        }
        const auto& data = link.terminateData;
        DPNMSG_TERMINATE_SESSION msg{result, data && !data->empty() ? data->data() : nullptr,
                                     data ? static_cast<DWORD>(data->size()) : 0};
        Call(DPN_MSGID_TERMINATE_SESSION, &msg);
    }

    void RemovePlayer(DPNID id, DWORD reason) {
        void* context = nullptr;
        {
            std::lock_guard lock(m);
            auto it = players.find(id);
            if (it == players.end()) return;
            context = it->second.context;
            players.erase(it);
        }
        peerOf.erase(id);
        if (role == ERole::Client) return;
        DPNMSG_DESTROY_PLAYER msg{id, context, reason};
        Call(DPN_MSGID_DESTROY_PLAYER, &msg);
    }

    // --------------------------------------------------------------- close

    void BeginClose() {
        if (closing) return;
        bool wasHosting;
        {
            std::lock_guard lock(m);
            wasHosting = hosting;
        }
        for (auto& [peer, link] : links) {
            if (link.closing) continue;
            if (link.id == 0) {
                enet_peer_disconnect_now(peer, kEndRefused);
                link.closing = true;
                continue;
            }
            link.endCode = wasHosting ? kEndHostClosed : kEndLeave;
            enet_peer_disconnect_later(peer, link.endCode);
            link.closing = true;
        }
        for (auto it = links.begin(); it != links.end();) it = it->first->state == ENET_PEER_STATE_DISCONNECTED ? links.erase(it) : std::next(it);
        if (connectOp) {
            DropConnectPeer();
            FailConnect(DPNERR_USERCANCEL, {});
        }
        while (!enums.empty()) FinishEnum(0, DPNERR_USERCANCEL);
        // Remote players first, the local player last.
        std::vector<DPNID> ids;
        DPNID local;
        {
            std::lock_guard lock(m);
            local = localId;
            for (const auto& [id, p] : players)
                if (id != local) ids.push_back(id);
        }
        if (local != 0) ids.push_back(local);
        for (DPNID id : ids) RemovePlayer(id, DPNDESTROYPLAYERREASON_NORMAL);
        closing = true;
        HandOff();
    }

    // What is still to send goes on without this worker (see TFlush); the
    // worker ends, and with it Close's wait.
    void HandOff() {
        // No completion may reach this session any more.
        for (std::size_t i = 0; i < host->peerCount; ++i) {
            ENetPeer& peer = host->peers[i];
            for (ENetList* list : {&peer.outgoingCommands, &peer.sentReliableCommands, &peer.sentUnreliableCommands}) {
                for (ENetListIterator it = enet_list_begin(list); it != enet_list_end(list); it = enet_list_next(it)) {
                    ENetPacket* packet = reinterpret_cast<ENetOutgoingCommand*>(it)->packet;
                    if (packet == nullptr || packet->freeCallback != &PacketFreed) continue;
                    delete static_cast<TSendRecord*>(packet->userData);
                    packet->userData = nullptr;
                    packet->freeCallback = nullptr;
                }
            }
        }
        completions.clear();
        heard.clear();
        std::vector<TFlush::TPeer> left;
        for (const auto& [peer, link] : links) left.push_back({peer, link.endCode, link.heardReal});
        links.clear();
        peerOf.clear();
        if (left.empty()) {
            enet_host_destroy(host);
        } else {
            TFlushes::Get().Start(std::make_unique<TFlush>(host, std::move(left), localPort, options.linkTimeoutMs,
                                                           options.closeFlushMs));
        }
        host = nullptr;
        finished = true;
    }

    void Shutdown() {
        for (auto& [peer, link] : links) enet_peer_reset(peer);
        links.clear();
        peerOf.clear();
        std::deque<TCommand> left;
        {
            std::lock_guard lock(m);
            left.swap(commands);
        }
        for (auto& c : left) {
            if (c.packet != nullptr) {
                delete static_cast<TSendRecord*>(c.packet->userData);
                c.packet->userData = nullptr;
                c.packet->freeCallback = nullptr;
                enet_packet_destroy(c.packet);
            }
            if (c.done) c.done->set_value(DPNERR_USERCANCEL);
        }
        // Packets still inside ENet are freed with the host; their
        // completions are dropped, as no callback may run any more.
        if (host != nullptr) enet_host_destroy(host);
        host = nullptr;
        for (auto& op : enums)
            if (op.done) op.done->set_value(DPNERR_USERCANCEL);
        enums.clear();
        completions.clear();
    }

    void PublishQueues() {
        std::lock_guard lock(m);
        for (auto& [id, peer] : peerOf) {
            auto it = players.find(id);
            if (it == players.end()) continue;
            DWORD n = 0;
            std::size_t bytes = 0;
            for (ENetList* list : {&peer->outgoingCommands, &peer->sentReliableCommands}) {
                for (ENetListIterator i = enet_list_begin(list); i != enet_list_end(list); i = enet_list_next(i)) {
                    const auto* cmd = reinterpret_cast<const ENetOutgoingCommand*>(i);
                    if (cmd->packet == nullptr) continue;
                    ++n;
                    bytes += cmd->fragmentLength;
                }
            }
            it->second.queued = n;
            it->second.queuedBytes = bytes;
        }
    }
};

thread_local TSession::TImpl* TSession::TImpl::tCurrent = nullptr;

// ------------------------------------------------------------------------

TSession::TSession(ERole role, const TSessionOptions& options)
    : role_(role), impl_(std::make_unique<TImpl>(role, options)) {}

TSession::~TSession() { Close(0); }

HRESULT TSession::Initialize(TMessageHandler handler) {
    std::lock_guard lock(impl_->m);
    if (impl_->initialized) return DPNERR_ALREADYINITIALIZED;
    impl_->initialized = true;
    impl_->handler = std::move(handler);
    return DPN_OK;
}

HRESULT TSession::GetSPCaps(DPN_SP_CAPS* caps) const {
    if (caps == nullptr) return DPNERR_INVALIDPOINTER;
    if (caps->dwSize != 36) return DPNERR_INVALIDPARAM;
    *caps = DPN_SP_CAPS{};
    caps->dwDefaultEnumCount = impl_->options.enumCount;
    caps->dwDefaultEnumRetryInterval = impl_->options.enumRetryMs;
    caps->dwDefaultEnumTimeout = impl_->options.enumTimeoutMs;
    caps->dwMaxEnumPayloadSize = 1024;
    caps->dwSystemBufferSize = 65536;
    return DPN_OK;
}

HRESULT TSession::SetInfo(const std::string& name) {
    std::lock_guard lock(impl_->m);
    if (!impl_->initialized) return DPNERR_UNINITIALIZED;
    impl_->name = name.substr(0, 255);
    if (impl_->localId != 0) impl_->players[impl_->localId].name = impl_->name;
    return DPN_OK;
}

HRESULT TSession::GetPeerInfo(DPNID player, DPN_PLAYER_INFO* info) const {
    if (info == nullptr) return DPNERR_INVALIDPOINTER;
    std::lock_guard lock(impl_->m);
    if (!impl_->initialized) return DPNERR_UNINITIALIZED;
    auto it = impl_->players.find(player);
    if (it == impl_->players.end()) return DPNERR_INVALIDPLAYER;
    info->Name = it->second.name;
    info->dwPlayerFlags = it->second.flags;
    return DPN_OK;
}

HRESULT TSession::GetSendQueueInfo(DPNID player, DWORD* messages, DWORD* bytes) const {
    std::lock_guard lock(impl_->m);
    if (!impl_->initialized) return DPNERR_UNINITIALIZED;
    if (role_ == ERole::Client) player = kServerId;
    auto it = impl_->players.find(player);
    if (it == impl_->players.end() || (it->second.flags & DPNPLAYER_LOCAL)) return DPNERR_INVALIDPLAYER;
    if (messages != nullptr) *messages = it->second.pending + it->second.queued;
    if (bytes != nullptr) *bytes = static_cast<DWORD>(it->second.queuedBytes);
    return DPN_OK;
}

HRESULT TSession::GetRemoteAddress(DPNID player, TAddress* address) const {
    if (address == nullptr) return DPNERR_INVALIDPOINTER;
    std::lock_guard lock(impl_->m);
    auto it = impl_->players.find(player);
    if (it == impl_->players.end() || (it->second.flags & DPNPLAYER_LOCAL)) return DPNERR_INVALIDPLAYER;
    *address = it->second.address;
    return DPN_OK;
}

std::uint32_t TSession::LocalPort() const {
    std::lock_guard lock(impl_->m);
    return impl_->localPort;
}

HRESULT TSession::Host(const DPN_APPLICATION_DESC& desc, const std::vector<TAddress>& addresses, DWORD) {
    if (role_ == ERole::Client) return DPNERR_NOTALLOWED;
    if (addresses.empty()) return DPNERR_INVALIDPARAM;
    std::lock_guard lock(impl_->m);
    if (!impl_->initialized) return DPNERR_UNINITIALIZED;
    if (impl_->stopping) return DPNERR_UNINITIALIZED;
    if (impl_->hosting) return DPNERR_HOSTING;
    if (impl_->connected || impl_->connecting || impl_->worker.joinable()) return DPNERR_ALREADYCONNECTED;
    const std::size_t peers = desc.dwMaxPlayers == 0 ? 64 : std::min<std::size_t>(desc.dwMaxPlayers + 4, 4000);
    // A session of ours closed on this port and still flushing gives it up.
    if (addresses.front().Port != 0) TFlushes::Get().Release(addresses.front().Port);
    if (const HRESULT r = impl_->OpenSocket(addresses.front().Hostname, addresses.front().Port, peers); Failed(r)) return r;
    impl_->hosting = true;
    impl_->hostDesc = desc;
    if (impl_->hostDesc.guidInstance.IsNull()) impl_->hostDesc.guidInstance = NewGuid();
    impl_->localId = impl_->NewIdLocked();
    impl_->players[impl_->localId] = TImpl::TPlayer{impl_->name, DPNPLAYER_LOCAL | DPNPLAYER_HOST, nullptr, {}, 0, 0, 0};
    TImpl::TCommand c;
    c.kind = TImpl::TCommand::kAnnounce;
    c.target = impl_->localId;
    impl_->Enqueue(std::move(c));
    return DPN_OK;
}

HRESULT TSession::EnumHosts(const DPN_APPLICATION_DESC& desc, const TAddress& host, const TAddress&,
                            const void* userData, DWORD userDataSize, DWORD count, DWORD retryMs, DWORD timeoutMs,
                            void* userContext, DPNHANDLE* handle, DWORD flags) {
    if (userDataSize > 1024 || (userDataSize != 0 && userData == nullptr)) return DPNERR_INVALIDPARAM;
    const bool sync = (flags & DPNENUMHOSTS_SYNC) != 0;
    if (host.Hostname.empty() && ((flags & DPNENUMHOSTS_NOBROADCASTFALLBACK) || !BroadcastAllowed()))
        return DPNERR_INVALIDHOSTADDRESS;
    if (host.Port == 0 || host.Port > 0xFFFF) return DPNERR_INVALIDHOSTADDRESS;
    std::future<HRESULT> done;
    {
        std::lock_guard lock(impl_->m);
        if (!impl_->initialized) return DPNERR_UNINITIALIZED;
        if (impl_->stopping) return DPNERR_UNINITIALIZED;
        if (impl_->hosting) return DPNERR_HOSTING;
        if (sync && impl_->OnWorker()) return DPNERR_NOTALLOWED;
        if (!impl_->worker.joinable())
            if (const HRESULT r = impl_->OpenSocket({}, 0, 2); Failed(r)) return r;
        TImpl::TCommand c;
        c.kind = TImpl::TCommand::kStartEnum;
        c.handle = impl_->nextHandle++;
        c.context = userContext;
        c.application = desc.guidApplication;
        if (userDataSize != 0) c.data.assign(static_cast<const std::uint8_t*>(userData), static_cast<const std::uint8_t*>(userData) + userDataSize);
        c.address = host;
        c.count = count == 0 ? impl_->options.enumCount : count;
        c.retryMs = retryMs == 0 ? impl_->options.enumRetryMs : retryMs;
        c.timeoutMs = timeoutMs == 0 ? impl_->options.enumTimeoutMs : timeoutMs;
        if (sync) {
            c.done = std::make_shared<std::promise<HRESULT>>();
            done = c.done->get_future();
        } else if (handle != nullptr) {
            *handle = c.handle;
        }
        impl_->Enqueue(std::move(c));
    }
    if (sync) return done.get();
    return DPNSUCCESS_PENDING;
}

HRESULT TSession::CancelAsyncOperation(DPNHANDLE handle, DWORD) {
    std::lock_guard lock(impl_->m);
    if (!impl_->initialized) return DPNERR_UNINITIALIZED;
    if (handle == 0 || handle >= impl_->nextHandle) return DPNERR_INVALIDHANDLE;
    impl_->cancelled.insert(handle);
    impl_->Wake();
    return DPN_OK;
}

HRESULT TSession::Connect(const DPN_APPLICATION_DESC& desc, const TAddress& host, const TAddress&,
                          const void* connectData, DWORD connectDataSize, void* playerContext, void* asyncContext,
                          DPNHANDLE* handle, DWORD flags) {
    if (connectDataSize > kMaxSideDataSize || (connectDataSize != 0 && connectData == nullptr))
        return DPNERR_INVALIDPARAM;
    if (host.Hostname.empty() || host.Port == 0 || host.Port > 0xFFFF) return DPNERR_INVALIDHOSTADDRESS;
    const bool sync = (flags & DPNCONNECT_SYNC) != 0;
    std::future<HRESULT> done;
    {
        std::lock_guard lock(impl_->m);
        if (!impl_->initialized) return DPNERR_UNINITIALIZED;
        if (impl_->stopping) return DPNERR_UNINITIALIZED;
        if (role_ == ERole::Server) return DPNERR_NOTALLOWED;
        if (impl_->hosting) return DPNERR_HOSTING;
        if (impl_->connected) return DPNERR_ALREADYCONNECTED;
        if (impl_->connecting) return DPNERR_CONNECTING;
        if (sync && impl_->OnWorker()) return DPNERR_NOTALLOWED;
        if (!impl_->worker.joinable())
            if (const HRESULT r = impl_->OpenSocket({}, 0, 2); Failed(r)) return r;
        impl_->connecting = true;
        TImpl::TCommand c;
        c.kind = TImpl::TCommand::kConnect;
        c.handle = impl_->nextHandle++;
        c.context = asyncContext;
        c.playerContext = playerContext;
        c.application = desc.guidApplication;
        c.instance = desc.guidInstance;
        c.address = host;
        if (connectDataSize != 0) c.data.assign(static_cast<const std::uint8_t*>(connectData), static_cast<const std::uint8_t*>(connectData) + connectDataSize);
        if (sync) {
            c.done = std::make_shared<std::promise<HRESULT>>();
            done = c.done->get_future();
        } else if (handle != nullptr) {
            *handle = c.handle;
        }
        impl_->Enqueue(std::move(c));
    }
    if (sync) return done.get();
    return DPNSUCCESS_PENDING;
}

HRESULT TSession::SendTo(DPNID target, const void* data, DWORD size, DWORD, void* userContext, DPNHANDLE* handle,
                         DWORD flags) {
    if (data == nullptr || size == 0) return DPNERR_INVALIDPARAM;
    if (size > kMaxMessageSize) return DPNERR_SENDTOOLARGE;
    const bool sync = (flags & DPNSEND_SYNC) != 0;
    const bool guaranteed = (flags & DPNSEND_GUARANTEED) != 0;
    std::future<HRESULT> done;
    TImpl& s = *impl_;
    std::unique_lock lock(s.m);
    if (!s.initialized) return DPNERR_UNINITIALIZED;
    if (s.stopping) return DPNERR_UNINITIALIZED;
    if (!s.hosting && !s.connected) return DPNERR_NOCONNECTION;
    std::vector<DPNID> ids;
    if (role_ == ERole::Client) {
        ids.push_back(kServerId);
    } else if (target == DPNID_ALL_PLAYERS_GROUP) {
        for (const auto& [id, p] : s.players)
            if (!(p.flags & DPNPLAYER_LOCAL)) ids.push_back(id);
    } else {
        auto it = s.players.find(target);
        if (it == s.players.end() || (it->second.flags & DPNPLAYER_LOCAL)) return DPNERR_INVALIDPLAYER;
        ids.push_back(target);
    }
    enet_uint32 packetFlags = 0;
    if (guaranteed) packetFlags = ENET_PACKET_FLAG_RELIABLE;
    else if (flags & DPNSEND_NONSEQUENTIAL) packetFlags = ENET_PACKET_FLAG_UNSEQUENCED;
    ENetPacket* packet = enet_packet_create(nullptr, size + 1, packetFlags);
    if (packet == nullptr) return DPNERR_OUTOFMEMORY;
    packet->data[0] = wire::kData;
    std::memcpy(packet->data + 1, data, size);
    TImpl::TCommand c;
    c.kind = TImpl::TCommand::kSend;
    c.packet = packet;
    c.channel = guaranteed ? 0 : 1;
    const bool complete = !sync && !(flags & DPNSEND_NOCOMPLETE);
    if (complete) {
        c.handle = s.nextHandle++;
        packet->userData = new TImpl::TSendRecord{&s, c.handle, userContext, ids.size() == 1 ? ids.front() : 0, s.Now()};
        packet->freeCallback = &TImpl::PacketFreed;
        if (handle != nullptr) *handle = c.handle;
    } else if (handle != nullptr) {
        *handle = 0;
    }
    if (s.OnWorker()) {
        // From inside the handler: straight to ENet.
        for (DPNID id : ids) ++s.players[id].pending;
        c.counted = std::move(ids);
        lock.unlock();
        s.ExecuteSend(c);
        return complete ? DPNSUCCESS_PENDING : DPN_OK;
    }
    for (DPNID id : ids) ++s.players[id].pending;
    c.counted = std::move(ids);
    if (sync) {
        c.done = std::make_shared<std::promise<HRESULT>>();
        done = c.done->get_future();
    }
    s.Enqueue(std::move(c));
    lock.unlock();
    if (sync) return done.get();
    return complete ? DPNSUCCESS_PENDING : DPN_OK;
}

HRESULT TSession::DestroyPeer(DPNID player, const void* data, DWORD size) {
    if (size > kMaxSideDataSize || (size != 0 && data == nullptr)) return DPNERR_INVALIDPARAM;
    std::lock_guard lock(impl_->m);
    if (!impl_->initialized) return DPNERR_UNINITIALIZED;
    if (impl_->stopping) return DPNERR_UNINITIALIZED;
    if (!impl_->hosting) return DPNERR_NOTHOST;
    auto it = impl_->players.find(player);
    if (it == impl_->players.end() || (it->second.flags & DPNPLAYER_LOCAL)) return DPNERR_INVALIDPLAYER;
    TImpl::TCommand c;
    c.kind = TImpl::TCommand::kDestroy;
    c.target = player;
    if (size != 0) c.data.assign(static_cast<const std::uint8_t*>(data), static_cast<const std::uint8_t*>(data) + size);
    impl_->Enqueue(std::move(c));
    return DPN_OK;
}

HRESULT TSession::Close(DWORD) {
    TImpl& s = *impl_;
    {
        std::lock_guard lock(s.m);
        if (!s.initialized) return DPNERR_UNINITIALIZED;
        if (s.OnWorker()) return DPNERR_NOTALLOWED;
        s.stopping = true;
        if (s.worker.joinable()) {
            TImpl::TCommand c;
            c.kind = TImpl::TCommand::kClose;
            s.Enqueue(std::move(c));
        }
    }
    // The worker ends as soon as it has run the close (the players' ends
    // reach the handler); what is left to send goes on without it.
    if (s.worker.joinable()) s.worker.join();
    std::lock_guard lock(s.m);
    if (s.wakeFd >= 0) ::close(s.wakeFd);
    s.wakeFd = -1;
    s.worker = std::thread();
    s.initialized = false;
    s.handler = nullptr;
    s.hosting = s.connecting = s.connected = false;
    s.stopping = false;
    s.hostDesc = {};
    s.players.clear();
    s.localId = 0;
    s.commands.clear();
    s.cancelled.clear();
    s.localPort = 0;
    s.connectOp.reset();
    s.responses.clear();
    s.responseSenders.clear();
    s.closing = false;
    s.finished = false;
    return DPN_OK;
}

std::string TransportName() {
    const ENetVersion version = enet_linked_version();
    return "ENet " + std::to_string(ENET_VERSION_GET_MAJOR(version)) + "." +
           std::to_string(ENET_VERSION_GET_MINOR(version)) + "." + std::to_string(ENET_VERSION_GET_PATCH(version)) +
           " (reliable UDP over IPv4)";
}

HRESULT DirectPlay8Create(ERole role, const TSessionOptions& options, std::unique_ptr<TSession>* out) {
    if (out == nullptr) return DPNERR_INVALIDPOINTER;
    static const int started = enet_initialize();
    if (started != 0) return DPNERR_GENERIC;
    *out = std::make_unique<TSession>(role, options);
    return DPN_OK;
}

}  // namespace qv::dpn

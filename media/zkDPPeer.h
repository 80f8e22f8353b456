// TzkDPPeer: a thin object over one session-layer peer. It hosts a session
// on addresses made beforehand, or enumerates the sessions at a host
// address and joins one; it sends one buffer to a player and turns the
// layer's messages into events.
//
// Events run on the session's worker thread; the owner only posts from
// there. Every exception raised by an event is logged as "ProcessMessage
// mt:<type> error: <message>" and swallowed. Nothing runs after Disconnect
// or destruction returns.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "media/zkDirectPlay.h"

namespace qv {

class TzkDPPeer {
public:
    using TEnumHostsResponseEvent =
        std::function<void(TzkDPPeer* sender, const dpn::DPNMSG_ENUM_HOSTS_RESPONSE& message, int index)>;
    using TConnectCompleteEvent = std::function<void(TzkDPPeer* sender, dpn::DPNHANDLE asyncOp, void* userContext,
                                                     dpn::HRESULT result, const std::uint8_t* replyData,
                                                     std::uint32_t replySize)>;
    using TAsyncOpCompleteEvent =
        std::function<void(TzkDPPeer* sender, dpn::DPNHANDLE asyncOp, void* userContext, dpn::HRESULT result)>;
    using TReturnBufferEvent =
        std::function<void(TzkDPPeer* sender, dpn::HRESULT result, void* buffer, void* userContext)>;
    using TReceiveEvent = std::function<void(TzkDPPeer* sender, const std::uint8_t* data, std::uint32_t size)>;
    using TTerminateSessionEvent = std::function<void(TzkDPPeer* sender, dpn::HRESULT result,
                                                      const std::uint8_t* terminateData, std::uint32_t terminateSize)>;
    // The event may fill message.ReplyData; it must set accept to let the
    // player in.
    using TIndicateConnectEvent =
        std::function<void(TzkDPPeer* sender, dpn::DPNMSG_INDICATE_CONNECT& message, bool& accept)>;
    using TIndicatedConnectAbortedEvent = std::function<void(TzkDPPeer* sender, void* playerContext)>;
    using TCreatePlayerEvent = std::function<void(TzkDPPeer* sender, dpn::DPNID playerId, void*& playerContext)>;
    using TDestroyPlayerEvent =
        std::function<void(TzkDPPeer* sender, dpn::DPNID playerId, void* playerContext, dpn::DWORD reason)>;

    // `options` sets the session's time-outs and clock (tests).
    explicit TzkDPPeer(const std::string& name, const dpn::TSessionOptions& options = {});
    ~TzkDPPeer();
    TzkDPPeer(const TzkDPPeer&) = delete;
    TzkDPPeer& operator=(const TzkDPPeer&) = delete;

    void Initialize();
    // Port 0 adds no port (hosting then takes an ephemeral one); empty
    // hostName and null GUIDs add nothing.
    void AddHostAddress(std::uint32_t port, const TGuid& applicationInstance = {}, const TGuid& device = {},
                        const std::string& hostName = {}, const TGuid& program = {});
    void Host(const TGuid& applicationGuid, bool useNameServer, int maxPlayers, const std::string& sessionName,
              const void* reservedData, std::uint32_t reservedDataSize, bool okToQueryForAddressing);
    // Empties the host list, then enumerates until cancelled.
    void EnumHosts(const std::string& hostName, std::uint32_t port, const TGuid& applicationGuid, const void* userData,
                   std::uint32_t userDataSize, bool sync, bool okToQueryForAddressing, bool broadcastFallback);
    void CancelEnumHosts();
    dpn::DPNHANDLE Connect(int hostIndex, const void* userConnectData, std::uint32_t userConnectDataSize,
                           void* playerContext, bool okToQueryForAddressing, bool sync);
    // Only when connected: closes, then initializes again.
    void Disconnect();
    dpn::DPNHANDLE SendTo(dpn::DPNID playerId, const void* data, std::uint32_t size, std::uint32_t timeOut,
                          void* asyncContext, bool sync, bool noCopy, bool noComplete, bool completeOnProcess,
                          bool guaranteed, int priority, bool noLoopback, bool nonSequential);
    // Holds the host list while the caller finds an entry and connects to it.
    [[nodiscard]] std::unique_lock<std::recursive_mutex> LockHosts() const { return hosts_.Hold(); }
    int FindHost(std::string_view sessionName) const { return hosts_.Find(sessionName); }
    int HostCount() const { return hosts_.Count(); }
    void GetHost(int index, TzkDPHostDesc& desc) const { desc = hosts_.Get(index); }
    void ClearHosts() { hosts_.Clear(); }

    std::unique_ptr<dpn::TSession> DirectPlay;
    int MaxPlayers = 0;
    std::vector<dpn::TAddress> HostAddresses;
    TGuid ApplicationGuid;
    bool IsHost = false;
    std::string SessionName;
    std::atomic<bool> Connected{false};
    dpn::DPNHANDLE EnumHandle = 0;
    dpn::DPN_SP_CAPS SPCaps;
    TEnumHostsResponseEvent OnEnumHostsResponse;
    TConnectCompleteEvent OnConnectComplete;
    TAsyncOpCompleteEvent OnAsyncOpComplete;
    TReturnBufferEvent OnReturnBuffer;
    TReceiveEvent OnReceive;
    TTerminateSessionEvent OnTerminateSession;
    TIndicateConnectEvent OnIndicateConnect;
    TIndicatedConnectAbortedEvent OnIndicatedConnectAborted;
    TCreatePlayerEvent OnCreatePlayer;
    TDestroyPlayerEvent OnDestroyPlayer;
    std::string Name;

private:
    dpn::HRESULT ProcessMessage(dpn::DWORD type, void* message);

    TzkDPHostList hosts_;
};

}  // namespace qv

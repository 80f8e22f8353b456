// TzkDPClient: a thin client over one session-layer client, used by the
// lobby to find the chat server, connect to it with connect data and
// exchange messages.
//
// Events run on the session's worker thread (never while the host-list
// lock is held by it); after the object is destroyed none runs. An
// exception from an event is dropped; one from OnEnumHostsResponse is
// logged as well.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "media/zkDirectPlay.h"

namespace qv {

class TzkDPClient {
public:
    using TEnumHostsResponseEvent =
        std::function<void(TzkDPClient* sender, const dpn::DPNMSG_ENUM_HOSTS_RESPONSE& message, int index)>;
    using TConnectCompleteEvent = std::function<void(TzkDPClient* sender, dpn::DPNHANDLE asyncOp, void* userContext,
                                                     dpn::HRESULT result, const std::uint8_t* replyData,
                                                     std::uint32_t replySize)>;
    using TAsyncOpCompleteEvent =
        std::function<void(TzkDPClient* sender, dpn::DPNHANDLE asyncOp, void* userContext, dpn::HRESULT result)>;
    using TReturnBufferEvent =
        std::function<void(TzkDPClient* sender, dpn::HRESULT result, void* buffer, void* userContext)>;
    using TReceiveEvent = std::function<void(TzkDPClient* sender, const std::uint8_t* data, std::uint32_t size)>;
    using TTerminateSessionEvent = std::function<void(TzkDPClient* sender, dpn::HRESULT result,
                                                      const std::uint8_t* terminateData, std::uint32_t terminateSize)>;

    // `options` sets the session's time-outs and clock (tests).
    explicit TzkDPClient(const std::string& name, const dpn::TSessionOptions& options = {});
    ~TzkDPClient();
    TzkDPClient(const TzkDPClient&) = delete;
    TzkDPClient& operator=(const TzkDPClient&) = delete;

    void Initialize();
    // Enumerates with the provider's default count, retry and time-out.
    void EnumHosts(const std::string& hostName, std::uint32_t port, const TGuid& applicationGuid, const void* userData,
                   std::uint32_t userDataSize, bool sync, bool okToQueryForAddressing, bool broadcastFallback);
    void CancelEnumHosts();
    // Holds the host list while the caller finds an entry and connects to it.
    [[nodiscard]] std::unique_lock<std::recursive_mutex> LockHosts() const { return hosts_.Hold(); }
    int FindHost(std::string_view sessionName) const { return hosts_.Find(sessionName); }
    int HostCount() const { return hosts_.Count(); }
    void GetHost(int index, TzkDPHostDesc& desc) const { desc = hosts_.Get(index); }
    void ClearHosts() { hosts_.Clear(); }
    dpn::DPNHANDLE Connect(int hostIndex, const void* userConnectData, std::uint32_t userConnectDataSize,
                           void* asyncContext, bool okToQueryForAddressing, bool sync);
    // Only when connected or a connect is under way: closes (which ends the
    // connect), then initializes again.
    void Disconnect();
    dpn::DPNHANDLE Send(const void* data, std::uint32_t size, std::uint32_t timeOut, void* asyncContext, bool sync,
                        bool copy, bool complete, bool completeOnProcess, bool guaranteed, int priority,
                        bool loopback, bool sequential);

    std::unique_ptr<dpn::TSession> DirectPlay;
    std::atomic<bool> Connected{false};
    // From Connect until its completion.
    std::atomic<bool> Connecting{false};
    dpn::DPNHANDLE EnumHandle = 0;
    dpn::DPN_SP_CAPS SPCaps;
    TEnumHostsResponseEvent OnEnumHostsResponse;
    TConnectCompleteEvent OnConnectComplete;
    TAsyncOpCompleteEvent OnAsyncOpComplete;
    TReturnBufferEvent OnReturnBuffer;
    TReceiveEvent OnReceive;
    TTerminateSessionEvent OnTerminateSession;
    std::string Name;

private:
    dpn::HRESULT ProcessMessage(dpn::DWORD type, void* message);

    TzkDPHostList hosts_;
};

}  // namespace qv

#include "media/zkDPPeer.h"

#include "foundation/qv3Log.h"

namespace qv {

using namespace dpn;

TzkDPPeer::TzkDPPeer(const std::string& name, const TSessionOptions& options) : Name(name) {
    DPCheck(DirectPlay8Create(ERole::Peer, options, &DirectPlay), kDPCreatePeerFailed, "");
    Initialize();
}

TzkDPPeer::~TzkDPPeer() {
    if (DirectPlay) DirectPlay->Close(0);
    DirectPlay.reset();
    HostAddresses.clear();
    ClearHosts();
}

void TzkDPPeer::Initialize() {
    LogMessage("Initializing DPPeer", lkInfo);
    DPInitialize(*DirectPlay, [this](DWORD type, void* message) { return ProcessMessage(type, message); }, SPCaps,
                 Name, kDPSetPeerInfoFailed);
}

void TzkDPPeer::AddHostAddress(std::uint32_t port, const TGuid& applicationInstance, const TGuid& device,
                               const std::string& hostName, const TGuid& program) {
    TAddress address;
    if (port != 0) {
        if (port > 0xFFFF) DPCheck(DPNERR_INVALIDPARAM, kDPAddPortFailed, "");
        address.Port = port;
    }
    address.ApplicationInstance = applicationInstance;
    address.Device = device;
    if (!hostName.empty()) {
        if (hostName.size() > 255 || hostName.find('\0') != std::string::npos)
            DPCheck(DPNERR_INVALIDPARAM, kDPAddHostnameFailed, "");
        address.Hostname = hostName;
    }
    address.Program = program;
    HostAddresses.push_back(std::move(address));
}

void TzkDPPeer::Host(const TGuid& applicationGuid, bool useNameServer, int maxPlayers, const std::string& sessionName,
                     const void* reservedData, std::uint32_t reservedDataSize, bool okToQueryForAddressing) {
    DPN_APPLICATION_DESC desc;
    if (!useNameServer) desc.dwFlags |= DPNSESSION_NODPNSVR;
    desc.guidApplication = applicationGuid;
    desc.dwMaxPlayers = maxPlayers > 0 ? static_cast<DWORD>(maxPlayers) : 0;
    desc.SessionName = sessionName;
    if (reservedData != nullptr && reservedDataSize != 0) {
        const auto* b = static_cast<const std::uint8_t*>(reservedData);
        desc.ApplicationReservedData.assign(b, b + reservedDataSize);
    }
    DPCheck(DirectPlay->Host(desc, HostAddresses, okToQueryForAddressing ? DPNHOST_OKTOQUERYFORADDRESSING : 0), 0,
            "Peer Host");
    MaxPlayers = maxPlayers;
    ApplicationGuid = applicationGuid;
    SessionName = sessionName;
    IsHost = true;
    Connected = true;
}

void TzkDPPeer::EnumHosts(const std::string& hostName, std::uint32_t port, const TGuid& applicationGuid,
                          const void* userData, std::uint32_t userDataSize, bool sync, bool okToQueryForAddressing,
                          bool broadcastFallback) {
    CancelEnumHosts();
    ClearHosts();
    EnumHandle = DPEnumHosts(*DirectPlay, hostName, port, applicationGuid, userData, userDataSize, INFINITE,
                             SPCaps.dwDefaultEnumRetryInterval, SPCaps.dwDefaultEnumTimeout, this, sync,
                             okToQueryForAddressing, broadcastFallback);
}

void TzkDPPeer::CancelEnumHosts() {
    if (EnumHandle == 0) return;
    DirectPlay->CancelAsyncOperation(EnumHandle, 0);
    EnumHandle = 0;
}

DPNHANDLE TzkDPPeer::Connect(int hostIndex, const void* userConnectData, std::uint32_t userConnectDataSize,
                             void* playerContext, bool okToQueryForAddressing, bool sync) {
    return DPConnectToHost(*DirectPlay, hosts_, hostIndex, userConnectData, userConnectDataSize, playerContext, nullptr,
                           okToQueryForAddressing, sync);
}

void TzkDPPeer::Disconnect() {
    if (!Connected) return;
    DPCheck(DirectPlay->Close(0), 0, "Peer Disconnecting");
    Connected = false;
    IsHost = false;
    Initialize();
}

DPNHANDLE TzkDPPeer::SendTo(DPNID playerId, const void* data, std::uint32_t size, std::uint32_t timeOut,
                            void* asyncContext, bool sync, bool noCopy, bool noComplete, bool completeOnProcess,
                            bool guaranteed, int priority, bool noLoopback, bool nonSequential) {
    const DWORD flags =
        DPSendFlags(sync, noCopy, noComplete, completeOnProcess, guaranteed, priority, noLoopback, nonSequential);
    return DPSend(*DirectPlay, playerId, data, size, timeOut, asyncContext, flags);
}

HRESULT TzkDPPeer::ProcessMessage(DWORD type, void* message) {
    HRESULT answer = DPN_OK;
    try {
        switch (type) {
        case DPN_MSGID_ASYNC_OP_COMPLETE: {
            const auto& m = *static_cast<DPNMSG_ASYNC_OP_COMPLETE*>(message);
            if (OnAsyncOpComplete) OnAsyncOpComplete(this, m.hAsyncOp, m.pvUserContext, m.hResultCode);
            break;
        }
        case DPN_MSGID_CONNECT_COMPLETE: {
            const auto& m = *static_cast<DPNMSG_CONNECT_COMPLETE*>(message);
            Connected = m.hResultCode == DPN_OK;
            if (OnConnectComplete)
                OnConnectComplete(this, m.hAsyncOp, m.pvUserContext, m.hResultCode, m.pvApplicationReplyData,
                                  m.dwApplicationReplyDataSize);
            break;
        }
        case DPN_MSGID_CREATE_PLAYER: {
            auto& m = *static_cast<DPNMSG_CREATE_PLAYER*>(message);
            if (OnCreatePlayer) OnCreatePlayer(this, m.dpnidPlayer, m.pvPlayerContext);
            break;
        }
        case DPN_MSGID_DESTROY_PLAYER: {
            const auto& m = *static_cast<DPNMSG_DESTROY_PLAYER*>(message);
            if (OnDestroyPlayer) OnDestroyPlayer(this, m.dpnidPlayer, m.pvPlayerContext, m.dwReason);
            break;
        }
        case DPN_MSGID_ENUM_HOSTS_RESPONSE: {
            const auto& m = *static_cast<DPNMSG_ENUM_HOSTS_RESPONSE*>(message);
            const int index = hosts_.Update(m);
            if (OnEnumHostsResponse) OnEnumHostsResponse(this, m, index);
            break;
        }
        case DPN_MSGID_INDICATE_CONNECT: {
            auto& m = *static_cast<DPNMSG_INDICATE_CONNECT*>(message);
            if (OnIndicateConnect) {
                bool accept = false;
                answer = 1;  // refused unless the event accepts, also when it raises
                OnIndicateConnect(this, m, accept);
                answer = accept ? DPN_OK : 1;
            }
            break;
        }
        case DPN_MSGID_INDICATED_CONNECT_ABORTED: {
            const auto& m = *static_cast<DPNMSG_INDICATED_CONNECT_ABORTED*>(message);
            if (OnIndicatedConnectAborted) OnIndicatedConnectAborted(this, m.pvPlayerContext);
            break;
        }
        case DPN_MSGID_PEER_INFO: answer = 1; break;
        case DPN_MSGID_RECEIVE: {
            const auto& m = *static_cast<DPNMSG_RECEIVE*>(message);
            if (OnReceive) OnReceive(this, m.pReceiveData, m.dwReceiveDataSize);
            break;
        }
        case DPN_MSGID_RETURN_BUFFER: {
            const auto& m = *static_cast<DPNMSG_RETURN_BUFFER*>(message);
            if (OnReturnBuffer) OnReturnBuffer(this, m.hResultCode, m.pvBuffer, m.pvUserContext);
            break;
        }
        case DPN_MSGID_TERMINATE_SESSION: {
            const auto& m = *static_cast<DPNMSG_TERMINATE_SESSION*>(message);
            if (OnTerminateSession) OnTerminateSession(this, m.hResultCode, m.pvTerminateData, m.dwTerminateDataSize);
            break;
        }
        default: break;
        }
    } catch (const std::exception& e) {
        DPLogHandlerError(type, e.what());
    } catch (...) {
        DPLogHandlerError(type, "unknown exception");
    }
    return answer;
}

}  // namespace qv

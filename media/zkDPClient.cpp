#include "media/zkDPClient.h"

#include "foundation/qv3Log.h"

namespace qv {

using namespace dpn;

TzkDPClient::TzkDPClient(const std::string& name, const TSessionOptions& options) : Name(name) {
    DPCheck(DirectPlay8Create(ERole::Client, options, &DirectPlay), kDPCreateClientFailed, "");
    Initialize();
}

TzkDPClient::~TzkDPClient() {
    if (DirectPlay) DirectPlay->Close(0);
    DirectPlay.reset();
    ClearHosts();
}

void TzkDPClient::Initialize() {
    LogMessage("Initializing DPClient", lkInfo);
    DPInitialize(*DirectPlay, [this](DWORD type, void* message) { return ProcessMessage(type, message); }, SPCaps,
                 Name, kDPSetClientInfoFailed);
}

void TzkDPClient::EnumHosts(const std::string& hostName, std::uint32_t port, const TGuid& applicationGuid,
                            const void* userData, std::uint32_t userDataSize, bool sync, bool okToQueryForAddressing,
                            bool broadcastFallback) {
    EnumHandle = DPEnumHosts(*DirectPlay, hostName, port, applicationGuid, userData, userDataSize,
                             SPCaps.dwDefaultEnumCount, SPCaps.dwDefaultEnumRetryInterval, SPCaps.dwDefaultEnumTimeout,
                             this, sync, okToQueryForAddressing, broadcastFallback);
}

void TzkDPClient::CancelEnumHosts() {
    if (EnumHandle == 0) return;
    DirectPlay->CancelAsyncOperation(EnumHandle, 0);
    EnumHandle = 0;
}

DPNHANDLE TzkDPClient::Connect(int hostIndex, const void* userConnectData, std::uint32_t userConnectDataSize,
                               void* asyncContext, bool okToQueryForAddressing, bool sync) {
    Connecting = true;
    try {
        const DPNHANDLE handle = DPConnectToHost(*DirectPlay, hosts_, hostIndex, userConnectData, userConnectDataSize,
                                                 nullptr, asyncContext, okToQueryForAddressing, sync);
        if (sync) Connecting = false;
        return handle;
    } catch (...) {
        Connecting = false;
        throw;
    }
}

void TzkDPClient::Disconnect() {
    if (!Connected && !Connecting) return;
    DPCheck(DirectPlay->Close(0), 0, "Disconnecting from server");
    Connected = false;
    Connecting = false;
    Initialize();
}

DPNHANDLE TzkDPClient::Send(const void* data, std::uint32_t size, std::uint32_t timeOut, void* asyncContext, bool sync,
                            bool copy, bool complete, bool completeOnProcess, bool guaranteed, int priority,
                            bool loopback, bool sequential) {
    const DWORD flags =
        DPSendFlags(sync, !copy, !complete, completeOnProcess, guaranteed, priority, !loopback, !sequential);
    return DPSend(*DirectPlay, 0, data, size, timeOut, asyncContext, flags);
}

HRESULT TzkDPClient::ProcessMessage(DWORD type, void* message) {
    try {
        switch (type) {
        case DPN_MSGID_ASYNC_OP_COMPLETE: {
            const auto& m = *static_cast<DPNMSG_ASYNC_OP_COMPLETE*>(message);
            if (OnAsyncOpComplete) OnAsyncOpComplete(this, m.hAsyncOp, m.pvUserContext, m.hResultCode);
            return DPN_OK;
        }
        case DPN_MSGID_CLIENT_INFO: return 1;
        case DPN_MSGID_CONNECT_COMPLETE: {
            const auto& m = *static_cast<DPNMSG_CONNECT_COMPLETE*>(message);
            Connected = m.hResultCode == DPN_OK;
            Connecting = false;
            if (OnConnectComplete)
                OnConnectComplete(this, m.hAsyncOp, m.pvUserContext, m.hResultCode, m.pvApplicationReplyData,
                                  m.dwApplicationReplyDataSize);
            return DPN_OK;
        }
        case DPN_MSGID_ENUM_HOSTS_RESPONSE: {
            const auto& m = *static_cast<DPNMSG_ENUM_HOSTS_RESPONSE*>(message);
            const int index = hosts_.Update(m);
            try {
                if (OnEnumHostsResponse) OnEnumHostsResponse(this, m, index);
            } catch (const std::exception& e) {
                // The worker thread must survive a failing handler.
                DPLogHandlerError(type, e.what());
            }
            return DPN_OK;
        }
        case DPN_MSGID_RECEIVE: {
            const auto& m = *static_cast<DPNMSG_RECEIVE*>(message);
            if (OnReceive) OnReceive(this, m.pReceiveData, m.dwReceiveDataSize);
            return DPN_OK;
        }
        case DPN_MSGID_RETURN_BUFFER: {
            const auto& m = *static_cast<DPNMSG_RETURN_BUFFER*>(message);
            if (OnReturnBuffer) OnReturnBuffer(this, m.hResultCode, m.pvBuffer, m.pvUserContext);
            return DPN_OK;
        }
        case DPN_MSGID_TERMINATE_SESSION: {
            const auto& m = *static_cast<DPNMSG_TERMINATE_SESSION*>(message);
            if (OnTerminateSession) OnTerminateSession(this, m.hResultCode, m.pvTerminateData, m.dwTerminateDataSize);
            return DPN_OK;
        }
        default: return DPN_OK;
        }
    } catch (...) {
        return DPN_OK;
    }
}

}  // namespace qv

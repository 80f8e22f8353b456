#include "media/zkDirectPlay.h"

#include <cstdio>
#include <utility>

#include "foundation/TextUtil.h"
#include "foundation/qv3Log.h"

namespace qv {

namespace {

using namespace dpn;

constexpr const char* kOwnTexts[] = {
    "DirectPlay8 isn't present on the system",
    "Failed initialization",
    "Failed to get IP Info",
    "Failed to set Client Info",
    "Failed to create local address",
    "Failed to set Local IP service to local address",
    "Failed to create host address instance",
    "Failed to set Host IP service to host address",
    "Failed to add port to host address",
    "Failed to add hostname to host address",
    "Failed to enumerate hosts",
    "Falied to send message to server",
    "Failed to get Client Info",
    "Failed to create group",
    "Failed to destroy group",
    "Failed to get group info",
    "Failed to create DirectPlay8Server instance",
    "Failed to create DirectPlay8Client instance",
    "Failed to create DirectPlay8Peer instance",
    "Failed to set Peer Info",
    "Failed to get Peer Info",
    "Failed to get address component by name",
};

// Texts for the results our session layer gives.
const std::pair<HRESULT, const char*> kResultTexts[] = {
    {DPN_OK, "The operation completed successfully."},
    {DPNSUCCESS_PENDING, "The session layer has queued the operation; its end is reported later."},
    {DPNERR_GENERIC, "The session layer failed for an unknown reason."},
    {DPNERR_INVALIDPARAM, "An argument passed to the session layer is not valid."},
    {DPNERR_OUTOFMEMORY, "There is not enough memory for the session layer."},
    {DPNERR_INVALIDPOINTER, "A required argument of the session layer is missing."},
    {DPNERR_ALREADYCONNECTED, "The session object is already in a session."},
    {DPNERR_ALREADYINITIALIZED, "The session object is already initialized."},
    {DPNERR_BUFFERTOOSMALL, "The buffer given is too small for the answer."},
    {DPNERR_CONNECTING, "The session object is still connecting."},
    {DPNERR_CONNECTIONLOST, "The connection to the other side was lost."},
    {DPNERR_HOSTING, "The session object hosts a session and cannot do this."},
    {DPNERR_HOSTREJECTEDCONNECTION, "The host refused the connection."},
    {DPNERR_HOSTTERMINATEDSESSION, "The host ended the session."},
    {DPNERR_INVALIDAPPLICATION, "The session belongs to another application."},
    {DPNERR_INVALIDFLAGS, "The flags given are not valid for this call."},
    {DPNERR_INVALIDHANDLE, "The operation handle is not known."},
    {DPNERR_INVALIDHOSTADDRESS, "The host address is not valid or cannot be used."},
    {DPNERR_INVALIDPLAYER, "There is no such player in the session."},
    {DPNERR_NOCONNECTION, "The session object is not in a session."},
    {DPNERR_NORESPONSE, "The host did not answer."},
    {DPNERR_NOTALLOWED, "This call is not allowed now or on this kind of session object."},
    {DPNERR_NOTHOST, "Only the host of a session can do this."},
    {DPNERR_SENDTOOLARGE, "The message is too large to send."},
    {DPNERR_SESSIONFULL, "The session already has as many players as it allows."},
    {DPNERR_TIMEDOUT, "The operation did not finish in time."},
    {DPNERR_UNINITIALIZED, "The session object is not initialized."},
    {DPNERR_USERCANCEL, "The operation was cancelled."},
};

}  // namespace

std::string DPOwnErrorText(std::uint32_t ownCode) {
    if (ownCode >= kDPNotPresent && ownCode <= kDPGetAddressComponentFailed) return kOwnTexts[ownCode - kDPNotPresent];
    return "Unrecognized Error";
}

std::string DPResultText(std::uint32_t result) {
    for (const auto& [code, text] : kResultTexts)
        if (static_cast<std::uint32_t>(code) == result) return text;
    return "Unrecognized Error";
}

void DPCheck(dpn::HRESULT result, std::uint32_t ownCode, const std::string& context) {
    if (!Failed(result)) return;
    const std::uint32_t code = static_cast<std::uint32_t>(result);
    const std::string apiText = DPResultText(code);
    if (ownCode == 0) {
        LogMessageCode(apiText + " " + context, code);
        throw EDirectPlayError(apiText, code);
    }
    const std::string ownText = DPOwnErrorText(ownCode);
    LogMessageCode("D3D $" + Hex8(code) + ": " + apiText + " - " + ownText + " " + context, ownCode);
    throw EDirectPlayError(ownText, code);
}

void DPRaiseError(std::uint32_t ownCode, const std::string& detail) {
    RaiseLoggedError(DPOwnErrorText(ownCode), ownCode, detail);
}

dpn::DWORD DPSendFlags(bool sync, bool noCopy, bool noComplete, bool completeOnProcess, bool guaranteed, int priority,
                       bool noLoopback, bool nonSequential) {
    DWORD flags = 0;
    if (sync) flags |= DPNSEND_SYNC;
    if (noCopy) flags |= DPNSEND_NOCOPY;
    if (noComplete) flags |= DPNSEND_NOCOMPLETE;
    if (completeOnProcess) flags |= DPNSEND_COMPLETEONPROCESS;
    if (guaranteed) flags |= DPNSEND_GUARANTEED;
    if (priority == 0) flags |= DPNSEND_PRIORITY_LOW;
    else if (priority != 1) flags |= DPNSEND_PRIORITY_HIGH;
    if (noLoopback) flags |= DPNSEND_NOLOOPBACK;
    if (nonSequential) flags |= DPNSEND_NONSEQUENTIAL;
    return flags;
}

// ---------------------------------------------------------------------------

int TzkDPHostList::Find(std::string_view sessionName) const {
    std::lock_guard lock(lock_);
    for (std::size_t i = 0; i < hosts_.size(); ++i) {
        if (SameTextNoCase(hosts_[i].ApplicationDesc.SessionName, sessionName)) return static_cast<int>(i);
    }
    return -1;
}

int TzkDPHostList::Count() const {
    std::lock_guard lock(lock_);
    return static_cast<int>(hosts_.size());
}

TzkDPHostDesc TzkDPHostList::Get(int index) const {
    std::lock_guard lock(lock_);
    if (index < 0 || static_cast<std::size_t>(index) >= hosts_.size())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return hosts_[static_cast<std::size_t>(index)];
}

int TzkDPHostList::Update(const dpn::DPNMSG_ENUM_HOSTS_RESPONSE& response) {
    TzkDPHostDesc entry;
    if (response.pAddressSender != nullptr) entry.HostAddress = *response.pAddressSender;
    if (response.pAddressDevice != nullptr) entry.DeviceAddress = *response.pAddressDevice;
    if (response.pApplicationDescription != nullptr) entry.ApplicationDesc = *response.pApplicationDescription;
    std::lock_guard lock(lock_);
    for (std::size_t i = 0; i < hosts_.size(); ++i) {
        if (hosts_[i].ApplicationDesc.guidInstance == entry.ApplicationDesc.guidInstance) {
            hosts_[i] = std::move(entry);
            return static_cast<int>(i);
        }
    }
    hosts_.push_back(std::move(entry));
    return static_cast<int>(hosts_.size() - 1);
}

void TzkDPHostList::Clear() {
    std::lock_guard lock(lock_);
    hosts_.clear();
}

void DPLogHandlerError(dpn::DWORD messageType, const std::string& message) {
    LogMessage("ProcessMessage mt:" + std::to_string(messageType) + " error: " + message, lkInfo);
}

}  // namespace qv

namespace qv {

dpn::DPNHANDLE DPEnumHosts(dpn::TSession& session, const std::string& hostName, std::uint32_t port,
                           const TGuid& applicationGuid, const void* userData, std::uint32_t userDataSize,
                           dpn::DWORD count, dpn::DWORD retryMs, dpn::DWORD timeoutMs, void* userContext, bool sync,
                           bool okToQueryForAddressing, bool broadcastFallback) {
    using namespace dpn;
    TAddress host, device;
    if (port != 0) {
        if (port > 0xFFFF) DPCheck(DPNERR_INVALIDPARAM, kDPAddPortFailed, "Port=" + std::to_string(port));
        host.Port = port;
    }
    if (!hostName.empty()) {
        if (hostName.size() > 255 || hostName.find('\0') != std::string::npos)
            DPCheck(DPNERR_INVALIDPARAM, kDPAddHostnameFailed, "Host=" + hostName);
        host.Hostname = hostName;
    }
    DPN_APPLICATION_DESC desc;
    desc.guidApplication = applicationGuid;
    DWORD flags = 0;
    if (sync) flags |= DPNENUMHOSTS_SYNC;
    if (okToQueryForAddressing) flags |= DPNENUMHOSTS_OKTOQUERYFORADDRESSING;
    if (!broadcastFallback) flags |= DPNENUMHOSTS_NOBROADCASTFALLBACK;
    DPNHANDLE handle = 0;
    const HRESULT r = session.EnumHosts(desc, host, device, userData, userDataSize, count, retryMs, timeoutMs,
                                        userContext, sync ? nullptr : &handle, flags);
    if (r != DPN_OK && !(r == DPNSUCCESS_PENDING && !sync))
        DPCheck(Failed(r) ? r : DPNERR_GENERIC, kDPEnumHostsFailed, "Flags=" + std::to_string(flags));
    return handle;
}

dpn::DPNHANDLE DPConnectToHost(dpn::TSession& session, const TzkDPHostList& hosts, int hostIndex,
                               const void* connectData, std::uint32_t connectDataSize, void* playerContext,
                               void* asyncContext, bool okToQueryForAddressing, bool sync) {
    using namespace dpn;
    DWORD flags = 0;
    if (sync) flags |= DPNCONNECT_SYNC;
    if (okToQueryForAddressing) flags |= DPNCONNECT_OKTOQUERYFORADDRESSING;
    DPNHANDLE handle = 0;
    HRESULT r;
    {
        const auto hold = hosts.Hold();
        if (hostIndex < 0 || hostIndex >= hosts.Count()) {
            r = DPNERR_INVALIDPARAM;
        } else {
            const TzkDPHostDesc entry = hosts.Get(hostIndex);
            r = session.Connect(entry.ApplicationDesc, entry.HostAddress, entry.DeviceAddress, connectData,
                                connectDataSize, playerContext, asyncContext, sync ? nullptr : &handle, flags);
        }
    }
    if (r != DPN_OK && !(r == DPNSUCCESS_PENDING && !sync)) DPCheck(Failed(r) ? r : DPNERR_GENERIC, 0, "Connecting to server");
    return sync ? 0 : handle;
}

dpn::DPNHANDLE DPSend(dpn::TSession& session, dpn::DPNID target, const void* data, std::uint32_t size,
                      std::uint32_t timeOut, void* asyncContext, dpn::DWORD flags) {
    using namespace dpn;
    const bool sync = (flags & DPNSEND_SYNC) != 0;
    DPNHANDLE handle = 0;
    const HRESULT r = session.SendTo(target, data, size, timeOut, asyncContext, sync ? nullptr : &handle, flags);
    if (r != DPN_OK && !(r == DPNSUCCESS_PENDING && !sync))
        DPCheck(Failed(r) ? r : DPNERR_GENERIC, kDPSendFailed,
                "BufferSize=" + std::to_string(size) + " / TimeOut=" + std::to_string(timeOut) +
                    " / Flags=" + std::to_string(flags));
    return handle;
}

void DPInitialize(dpn::TSession& session, dpn::TMessageHandler handler, dpn::DPN_SP_CAPS& caps,
                  const std::string& name, std::uint32_t nameCode) {
    using namespace dpn;
    DPCheck(session.Initialize(std::move(handler)), kDPInitializeFailed, "");
    caps = DPN_SP_CAPS{};
    caps.dwSize = 36;
    DPCheck(session.GetSPCaps(&caps), kDPGetIPInfoFailed, "");
    const HRESULT r = session.SetInfo(name);
    if (r != DPN_OK && r != DPNSUCCESS_PENDING) DPCheck(r, nameCode, "Initialize, Name=" + name);
}

}  // namespace qv

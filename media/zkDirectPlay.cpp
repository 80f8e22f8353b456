#include "media/zkDirectPlay.h"

#include <cstdio>
#include <utility>

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
    {DPNSUCCESS_PENDING, "An asynchronous operation has reached the point where it is successfully queued."},
    {DPNERR_GENERIC, "An undefined error condition occurred."},
    {DPNERR_INVALIDPARAM, "One or more of the parameters passed to the method are invalid."},
    {DPNERR_OUTOFMEMORY, "There is insufficient memory to perform the requested operation."},
    {DPNERR_INVALIDPOINTER, "The pointer specified as a parameter is invalid."},
    {DPNERR_ALREADYCONNECTED, "The object is already connected to the session."},
    {DPNERR_ALREADYINITIALIZED, "The object has already been initialized."},
    {DPNERR_BUFFERTOOSMALL, "The supplied buffer is not large enough to contain the requested data."},
    {DPNERR_CONNECTING, "The method is in the process of connecting to the network."},
    {DPNERR_CONNECTIONLOST, "The service provider connection was reset while data was being sent."},
    {DPNERR_HOSTING, "An attempt to connect or enumerate was made while the object hosts a session."},
    {DPNERR_HOSTREJECTEDCONNECTION, "The host in a session rejected the connection request."},
    {DPNERR_HOSTTERMINATEDSESSION, "The host in this session has terminated it."},
    {DPNERR_INVALIDAPPLICATION, "The GUID supplied for the application is invalid."},
    {DPNERR_INVALIDFLAGS, "The flags passed to this method are invalid."},
    {DPNERR_INVALIDHANDLE, "The handle specified is invalid."},
    {DPNERR_INVALIDHOSTADDRESS, "The specified host address is invalid."},
    {DPNERR_INVALIDPLAYER, "The player ID is not recognized as a valid player ID for this game session."},
    {DPNERR_NOCONNECTION, "No communication link was established."},
    {DPNERR_NORESPONSE, "There was no response from the specified target."},
    {DPNERR_NOTALLOWED, "This function is not allowed on this object."},
    {DPNERR_NOTHOST, "An attempt by the client to connect to a nonhost machine."},
    {DPNERR_SENDTOOLARGE, "The data is too large to send."},
    {DPNERR_SESSIONFULL, "The request to connect to the host or server failed because the maximum number of "
                         "players allotted for the session has been reached."},
    {DPNERR_TIMEDOUT, "The operation could not complete because it has timed out."},
    {DPNERR_UNINITIALIZED, "The requested object has not been initialized."},
    {DPNERR_USERCANCEL, "The user canceled the operation."},
};

std::string Hex8(std::uint32_t value) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08X", value);
    return hex;
}

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
    hosts.Lock();
    try {
        if (hostIndex < 0 || hostIndex >= hosts.Count()) {
            r = DPNERR_INVALIDPARAM;
        } else {
            const TzkDPHostDesc entry = hosts.Get(hostIndex);
            r = session.Connect(entry.ApplicationDesc, entry.HostAddress, entry.DeviceAddress, connectData,
                                connectDataSize, playerContext, asyncContext, sync ? nullptr : &handle, flags);
        }
    } catch (...) {
        hosts.Unlock();
        throw;
    }
    hosts.Unlock();
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

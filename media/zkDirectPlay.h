// What the session wrappers (TzkDPClient, TzkDPPeer) share: the library's
// own error codes and texts, EDirectPlayError, the check and raise
// routines, the send-flag mapping and the enumerated host list.
//
// Failures go through DPCheck and DPRaiseError, which log them and raise:
// EDirectPlayError carries the session layer's result, the library's own
// code (0x81050001..0x81050016) goes into the log line only.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/Exceptions.h"
#include "platform/session/DPlay8.h"

namespace qv {

inline constexpr std::uint32_t kDPNotPresent = 0x81050001u;
inline constexpr std::uint32_t kDPInitializeFailed = 0x81050002u;
inline constexpr std::uint32_t kDPGetIPInfoFailed = 0x81050003u;
inline constexpr std::uint32_t kDPSetClientInfoFailed = 0x81050004u;
inline constexpr std::uint32_t kDPCreateLocalAddressFailed = 0x81050005u;
inline constexpr std::uint32_t kDPSetLocalServiceFailed = 0x81050006u;
inline constexpr std::uint32_t kDPCreateHostAddressFailed = 0x81050007u;
inline constexpr std::uint32_t kDPSetHostServiceFailed = 0x81050008u;
inline constexpr std::uint32_t kDPAddPortFailed = 0x81050009u;
inline constexpr std::uint32_t kDPAddHostnameFailed = 0x8105000Au;
inline constexpr std::uint32_t kDPEnumHostsFailed = 0x8105000Bu;
inline constexpr std::uint32_t kDPSendFailed = 0x8105000Cu;
inline constexpr std::uint32_t kDPGetClientInfoFailed = 0x8105000Du;
inline constexpr std::uint32_t kDPCreateGroupFailed = 0x8105000Eu;
inline constexpr std::uint32_t kDPDestroyGroupFailed = 0x8105000Fu;
inline constexpr std::uint32_t kDPGetGroupInfoFailed = 0x81050010u;
inline constexpr std::uint32_t kDPCreateServerFailed = 0x81050011u;
inline constexpr std::uint32_t kDPCreateClientFailed = 0x81050012u;
inline constexpr std::uint32_t kDPCreatePeerFailed = 0x81050013u;
inline constexpr std::uint32_t kDPSetPeerInfoFailed = 0x81050014u;
inline constexpr std::uint32_t kDPGetPeerInfoFailed = 0x81050015u;
inline constexpr std::uint32_t kDPGetAddressComponentFailed = 0x81050016u;

class EDirectPlayError : public Exception {
public:
    EDirectPlayError(const std::string& message, std::uint32_t errorCode) : Exception(message), ErrorCode(errorCode) {}
    // The session layer's result that failed.
    std::uint32_t ErrorCode;
};

// The library's own text for `ownCode`; "Unrecognized Error" for others.
std::string DPOwnErrorText(std::uint32_t ownCode);
// The text of a session-layer result; "Unrecognized Error" for others.
std::string DPResultText(std::uint32_t result);

// Nothing for a result with bit 31 clear (DPNSUCCESS_PENDING included).
// Otherwise logs the failure and throws EDirectPlayError: with ownCode 0
// the result's text + " " + context under the result's code; else
// "D3D $<result>: <result text> - <own text> <context>" under ownCode, the
// exception carrying the own text.
void DPCheck(dpn::HRESULT result, std::uint32_t ownCode, const std::string& context);
// Logs the own text (with " (" + detail + ")") under ownCode and throws
// qv::Exception(own text).
[[noreturn]] void DPRaiseError(std::uint32_t ownCode, const std::string& detail = std::string());

// The send flags of the peer's SendTo (negative sense); the client's Send
// passes !copy, !complete, !loopback and !sequential. Priority 1 is
// normal, 0 low, any other high.
dpn::DWORD DPSendFlags(bool sync, bool noCopy, bool noComplete, bool completeOnProcess, bool guaranteed, int priority,
                       bool noLoopback, bool nonSequential);

// One enumerated host, a value: copies share nothing with the list.
struct TzkDPHostDesc {
    dpn::TAddress HostAddress;
    dpn::TAddress DeviceAddress;
    dpn::DPN_APPLICATION_DESC ApplicationDesc;
};

// The enumerated hosts of a wrapper under its re-entrant lock: the owner may
// hold the lock across Cancel and Connect, which take it again.
class TzkDPHostList {
public:
    // Holds the list (re-entrantly) until the returned lock ends, so that an
    // index found stays valid through a connect.
    [[nodiscard]] std::unique_lock<std::recursive_mutex> Hold() const { return std::unique_lock(lock_); }
    int Count() const;
    // The index of the first entry whose session name is `sessionName`, ASCII
    // case ignored; -1 when there is none.
    int Find(std::string_view sessionName) const;
    // A copy of entry `index`; EListError when there is none.
    TzkDPHostDesc Get(int index) const;
    // Refreshes the entry of the response's session instance in place, or
    // appends one; returns its index.
    int Update(const dpn::DPNMSG_ENUM_HOSTS_RESPONSE& response);
    void Clear();

private:
    mutable std::recursive_mutex lock_;
    std::vector<TzkDPHostDesc> hosts_;
};

// "ProcessMessage mt:<type> error: <message>", logged as information.
void DPLogHandlerError(dpn::DWORD messageType, const std::string& message);

// The enumeration both wrappers start: a host address of `hostName` and
// `port` (0x81050009 "Port=", 0x8105000A "Host=" when refused), the
// application GUID, and the flags asked for; failure 0x8105000B "Flags=".
// Returns the enumeration's handle (0 when sync).
dpn::DPNHANDLE DPEnumHosts(dpn::TSession& session, const std::string& hostName, std::uint32_t port,
                           const TGuid& applicationGuid, const void* userData, std::uint32_t userDataSize,
                           dpn::DWORD count, dpn::DWORD retryMs, dpn::DWORD timeoutMs, void* userContext, bool sync,
                           bool okToQueryForAddressing, bool broadcastFallback);
// Connects to entry `hostIndex` of `hosts`, holding its lock while it reads
// the entry; failure: own code 0 with "Connecting to server". Returns the
// handle (0 when sync).
dpn::DPNHANDLE DPConnectToHost(dpn::TSession& session, const TzkDPHostList& hosts, int hostIndex,
                               const void* connectData, std::uint32_t connectDataSize, void* playerContext,
                               void* asyncContext, bool okToQueryForAddressing, bool sync);
// Sends one buffer; failure 0x8105000C with "BufferSize=... / TimeOut=... /
// Flags=...". Returns the handle (0 when sync or without completion).
dpn::DPNHANDLE DPSend(dpn::TSession& session, dpn::DPNID target, const void* data, std::uint32_t size,
                      std::uint32_t timeOut, void* asyncContext, dpn::DWORD flags);
// Binds the handler, reads the caps, sets the name: 0x81050002, 0x81050003
// and `nameCode` with "Initialize, Name=" + name.
void DPInitialize(dpn::TSession& session, dpn::TMessageHandler handler, dpn::DPN_SP_CAPS& caps,
                  const std::string& name, std::uint32_t nameCode);

}  // namespace qv

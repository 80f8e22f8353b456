// The network: addresses, adapters, hardware addresses, protocols, and the
// socket layer's own description.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sysinfo/MSI_Common.h"

namespace qv {

// The socket layer. Sockets here need no start-up and carry no version
// numbers of their own: the description is fixed and both versions are 0.
class TWinsock {
public:
    void GetInfo();

    std::string Description;
    std::string Status;
    std::uint16_t MajorVersion = 0;
    std::uint16_t MinorVersion = 0;
};

inline constexpr const char* kAdapterNotDetected = "<not detected>";

class TNetwork : public TInfoObject {
public:
    explicit TNetwork(const TSysSource& source = TSysSource::Machine()) : TInfoObject(source) {}
    const char* ClassName() const override { return "TNetwork"; }
    void GetInfo() override;
    void SetExceptionMode(TExceptionMode mode) override { ExceptionMode = mode; }

    TWinsock WinSock;
    // The addresses of the interfaces that are up, loopback left out.
    std::vector<std::string> IPAddresses;
    // Every interface but loopback, in name order: a physical adapter under
    // its device name, any other under its interface name.
    std::vector<std::string> Adapters;
    // Lower case, "xx:xx:xx:xx:xx:xx", no repeats, no all-zero address.
    std::vector<std::string> MACAddresses;
    std::vector<std::string> Protocols;  // the kernel's socket protocols
    std::vector<std::string> Services;   // no counterpart: empty
    std::vector<std::string> Clients;    // no counterpart: empty
    // The first physical adapter in Adapters; -1 when there is none.
    std::int32_t CardAdapterIndex = -1;
    TExceptionMode ExceptionMode = emMessage;

    // Adapters[CardAdapterIndex], else the first adapter, else "<not detected>".
    std::string CardAdapter() const;
};

}  // namespace qv

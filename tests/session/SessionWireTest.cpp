// The session layer's datagrams and messages: what is written reads back,
// and every cut, padded or overlong buffer is refused.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "platform/session/SessionWire.h"

namespace qv::dpn::wire {
namespace {

using TDecoder = std::function<bool(std::span<const std::uint8_t>)>;

// Every proper prefix and the buffer with a byte more are refused.
void ExpectOnlyWholeBuffersRead(const std::vector<std::uint8_t>& bytes, const TDecoder& decodes) {
    ASSERT_TRUE(decodes(bytes));
    for (std::size_t n = 0; n < bytes.size(); ++n)
        EXPECT_FALSE(decodes(std::span<const std::uint8_t>(bytes.data(), n))) << "cut at " << n;
    auto longer = bytes;
    longer.push_back(0);
    EXPECT_FALSE(decodes(longer));
}

TEST(SessionWire, EnumerationDatagrams) {
    TEnumQuery q{0xA1B2C3D4u, NewGuid(), {1, 2, 3}};
    const auto qb = EncodeEnumQuery(q);
    EXPECT_TRUE(IsEnumDatagram(qb));
    const auto q2 = DecodeEnumQuery(qb);
    ASSERT_TRUE(q2);
    EXPECT_EQ(q2->Stamp, q.Stamp);
    EXPECT_EQ(q2->Application, q.Application);
    EXPECT_EQ(q2->UserData, q.UserData);
    ExpectOnlyWholeBuffersRead(qb, [](auto d) { return DecodeEnumQuery(d).has_value(); });

    TEnumResponse r;
    r.Stamp = 77;
    r.Desc.dwFlags = DPNSESSION_NODPNSVR;
    r.Desc.guidInstance = NewGuid();
    r.Desc.guidApplication = NewGuid();
    r.Desc.dwMaxPlayers = 2;
    r.Desc.dwCurrentPlayers = 1;
    r.Desc.SessionName = "Tollbeck QVX 3.0 Duel";
    r.Desc.ApplicationReservedData = {9, 8};
    r.ResponseData = {7};
    const auto rb = EncodeEnumResponse(r);
    const auto r2 = DecodeEnumResponse(rb);
    ASSERT_TRUE(r2);
    EXPECT_EQ(r2->Desc.guidInstance, r.Desc.guidInstance);
    EXPECT_EQ(r2->Desc.SessionName, r.Desc.SessionName);
    EXPECT_EQ(r2->Desc.dwMaxPlayers, 2u);
    EXPECT_EQ(r2->Desc.ApplicationReservedData, r.Desc.ApplicationReservedData);
    EXPECT_EQ(r2->ResponseData, r.ResponseData);
    ExpectOnlyWholeBuffersRead(rb, [](auto d) { return DecodeEnumResponse(d).has_value(); });

    // ENet's own datagrams never start with our tags.
    const std::vector<std::uint8_t> other = {0x80, 0x00, 0x12, 0x34, 0x01, 0x02, 0x03, 0x04, 0x05};
    EXPECT_FALSE(IsEnumDatagram(other));
}

TEST(SessionWire, SessionMessages) {
    TConnectRequest c;
    c.Application = NewGuid();
    c.Name = "joiner";
    c.ConnectData.assign(40, 0x5A);
    const auto cb = EncodeConnectRequest(c);
    const auto c2 = DecodeConnectRequest(cb);
    ASSERT_TRUE(c2);
    EXPECT_EQ(c2->Name, "joiner");
    EXPECT_EQ(c2->ConnectData, c.ConnectData);
    ExpectOnlyWholeBuffersRead(cb, [](auto d) { return DecodeConnectRequest(d).has_value(); });

    TConnectReply r{DPNERR_HOSTREJECTEDCONNECTION, "host", {1, 2, 3, 4, 5}};
    const auto rb = EncodeConnectReply(r);
    const auto r2 = DecodeConnectReply(rb);
    ASSERT_TRUE(r2);
    EXPECT_EQ(r2->Result, DPNERR_HOSTREJECTEDCONNECTION);
    EXPECT_EQ(r2->ReplyData, r.ReplyData);
    ExpectOnlyWholeBuffersRead(rb, [](auto d) { return DecodeConnectReply(d).has_value(); });

    const std::vector<std::uint8_t> data = {'b', 'y', 'e'};
    const auto tb = EncodeTerminate(data);
    EXPECT_EQ(DecodeTerminate(tb), data);
    ExpectOnlyWholeBuffersRead(tb, [](auto d) { return DecodeTerminate(d).has_value(); });

    // A kind byte of another message is not read as this one.
    EXPECT_FALSE(DecodeConnectReply(cb));
    EXPECT_FALSE(DecodeConnectRequest(rb));
}

TEST(SessionWire, CountsAboveTheLimitsAreRefused) {
    // A connect request claiming 4 GiB of connect data.
    TConnectRequest c;
    auto bytes = EncodeConnectRequest(c);
    const std::size_t countAt = bytes.size() - 4;
    bytes[countAt] = bytes[countAt + 1] = bytes[countAt + 2] = bytes[countAt + 3] = 0xFF;
    EXPECT_FALSE(DecodeConnectRequest(bytes));
    // Connect data just above the limit, present in full.
    c.ConnectData.assign(kMaxSideDataSize + 1, 0);
    std::vector<std::uint8_t> big = EncodeConnectRequest(TConnectRequest{});
    big.resize(big.size() - 4);
    const std::uint32_t n = kMaxSideDataSize + 1;
    for (int i = 0; i < 4; ++i) big.push_back(static_cast<std::uint8_t>(n >> (8 * i)));
    big.insert(big.end(), n, 0);
    EXPECT_FALSE(DecodeConnectRequest(big));
}

}  // namespace
}  // namespace qv::dpn::wire

#include "game/data/qv3SpriteBoundaries.h"

#include <cstring>

#include "foundation/BinaryIO.h"
#include "game/data/qv3DataError.h"

namespace qv {

namespace {

constexpr std::size_t kRecordSize = 20;
constexpr std::size_t kMaxRecords = 1000000;

bool ReadTag(TBinaryReader& in, const char* tag) {
    const std::size_t n = std::strlen(tag);
    if (in.Remaining() < n) return false;
    return std::memcmp(in.ReadSpan(n).data(), tag, n) == 0;
}

}  // namespace

std::vector<std::uint8_t> WriteSpriteBoundaries(std::int32_t extent, std::span<const TSpriteBoundary> records) {
    TBinaryWriter out;
    out.WriteString(kBoundariesHeader);
    out.WriteString(kBoundariesVersion);
    out.WriteI32(extent);
    out.WriteI32(static_cast<std::int32_t>(records.size()));
    for (const TSpriteBoundary& r : records) {
        out.WriteI32(r.ImageValue);
        out.WriteI32(r.Left);
        out.WriteI32(r.Top);
        out.WriteI32(r.Right);
        out.WriteI32(r.Bottom);
    }
    out.WriteString(kBoundariesFooter);
    return out.Take();
}

void TSpriteBoundaries::Load(std::span<const std::uint8_t> data) {
    TBinaryReader in(data);
    if (!ReadTag(in, kBoundariesHeader) || !ReadTag(in, kBoundariesVersion)) throw EDataError("Invalid header");
    const std::int32_t extent = in.ReadI32();
    const std::int32_t n = in.ReadI32();
    if (n < 0) throw EDataError("Invalid header");
    const std::size_t count = in.CheckCount(static_cast<std::uint64_t>(n), kRecordSize, kMaxRecords);
    std::vector<TSpriteBoundary> records(count);
    for (TSpriteBoundary& r : records) {
        r.ImageValue = in.ReadI32();
        r.Left = in.ReadI32();
        r.Top = in.ReadI32();
        r.Right = in.ReadI32();
        r.Bottom = in.ReadI32();
    }
    if (!ReadTag(in, kBoundariesFooter)) throw EDataError("Invalid footer");
    records_ = std::move(records);
    extent_ = extent;
}

bool TSpriteBoundaries::Lookup(std::int32_t id, TSpriteBoundary& record) const {
    if (id < 0 || id >= Count()) throw EDataError("out of bounds");
    record = records_[static_cast<std::size_t>(id)];
    return record.Right >= record.Left && record.Bottom >= record.Top;
}

}  // namespace qv

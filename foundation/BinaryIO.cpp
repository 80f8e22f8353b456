#include "foundation/BinaryIO.h"

#include <bit>
#include <cstring>

namespace qv {

static_assert(std::endian::native == std::endian::little || std::endian::native == std::endian::big);

namespace {

template <typename T>
T LoadLE(const std::uint8_t* p) {
    using U = std::make_unsigned_t<T>;
    U v = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) v = static_cast<U>(v | static_cast<U>(U(p[i]) << (8 * i)));
    return static_cast<T>(v);
}

template <typename T>
void StoreLE(std::uint8_t* p, T value) {
    using U = std::make_unsigned_t<T>;
    U v = static_cast<U>(value);
    for (std::size_t i = 0; i < sizeof(T); ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace

TBinaryReader::TBinaryReader(const void* data, std::size_t size)
    : data_(static_cast<const std::uint8_t*>(data)), size_(data ? size : 0) {}

TBinaryReader::TBinaryReader(std::span<const std::uint8_t> data) : TBinaryReader(data.data(), data.size()) {}

TBinaryReader::TBinaryReader(std::string_view data) : TBinaryReader(data.data(), data.size()) {}

void TBinaryReader::Require(std::size_t count) const {
    if (count > Remaining()) {
        throw EBinaryError("Read past end of data: " + std::to_string(count) + " bytes needed at offset " +
                           std::to_string(pos_) + ", " + std::to_string(Remaining()) + " left");
    }
}

void TBinaryReader::Skip(std::size_t count) {
    Require(count);
    pos_ += count;
}

void TBinaryReader::Seek(std::size_t position) {
    if (position > size_) {
        throw EBinaryError("Seek past end of data: offset " + std::to_string(position) + " of " +
                           std::to_string(size_));
    }
    pos_ = position;
}

std::uint8_t TBinaryReader::ReadU8() {
    Require(1);
    return data_[pos_++];
}
std::int8_t TBinaryReader::ReadI8() { return static_cast<std::int8_t>(ReadU8()); }

#define QV_READ_LE(Name, Type)            \
    Type TBinaryReader::Name() {          \
        Require(sizeof(Type));            \
        Type v = LoadLE<Type>(data_ + pos_); \
        pos_ += sizeof(Type);             \
        return v;                         \
    }
QV_READ_LE(ReadU16, std::uint16_t)
QV_READ_LE(ReadI16, std::int16_t)
QV_READ_LE(ReadU32, std::uint32_t)
QV_READ_LE(ReadI32, std::int32_t)
QV_READ_LE(ReadU64, std::uint64_t)
QV_READ_LE(ReadI64, std::int64_t)
#undef QV_READ_LE

float TBinaryReader::ReadF32() { return std::bit_cast<float>(ReadU32()); }
double TBinaryReader::ReadF64() { return std::bit_cast<double>(ReadU64()); }

void TBinaryReader::ReadBytes(void* out, std::size_t count) {
    Require(count);
    if (count) std::memcpy(out, data_ + pos_, count);
    pos_ += count;
}

std::vector<std::uint8_t> TBinaryReader::ReadBytes(std::size_t count) {
    Require(count);
    std::vector<std::uint8_t> v(data_ + pos_, data_ + pos_ + count);
    pos_ += count;
    return v;
}

std::string TBinaryReader::ReadString(std::size_t count) {
    Require(count);
    std::string s(reinterpret_cast<const char*>(data_ + pos_), count);
    pos_ += count;
    return s;
}

std::span<const std::uint8_t> TBinaryReader::ReadSpan(std::size_t count) {
    Require(count);
    std::span<const std::uint8_t> s(data_ + pos_, count);
    pos_ += count;
    return s;
}

std::string TBinaryReader::ReadShortString(std::size_t capacity) {
    Require(1 + capacity);
    const std::size_t length = data_[pos_];
    if (length > capacity) {
        throw EBinaryError("Short string length " + std::to_string(length) + " exceeds its capacity of " +
                           std::to_string(capacity) + " at offset " + std::to_string(pos_));
    }
    std::string s(reinterpret_cast<const char*>(data_ + pos_ + 1), length);
    pos_ += 1 + capacity;
    return s;
}

std::size_t TBinaryReader::CheckCount(std::uint64_t count, std::size_t itemSize, std::size_t limit) const {
    if (count > limit) {
        throw EBinaryError("Count " + std::to_string(count) + " exceeds the limit of " + std::to_string(limit) +
                           " at offset " + std::to_string(pos_));
    }
    const auto n = static_cast<std::size_t>(count);
    if (itemSize != 0 && n > Remaining() / itemSize) {
        throw EBinaryError("Count " + std::to_string(count) + " of " + std::to_string(itemSize) +
                           "-byte items exceeds the " + std::to_string(Remaining()) + " bytes left at offset " +
                           std::to_string(pos_));
    }
    return n;
}

TBinaryWriter::TBinaryWriter(std::size_t bound) : bound_(bound) {
    if (bound != Unbounded) data_.reserve(bound);
}

std::uint8_t* TBinaryWriter::Grow(std::size_t count) {
    if (count > bound_ - data_.size()) {
        throw EBinaryError("Write past bound: " + std::to_string(count) + " bytes at offset " +
                           std::to_string(data_.size()) + " of " + std::to_string(bound_));
    }
    const std::size_t at = data_.size();
    data_.resize(at + count);
    return data_.data() + at;
}

void TBinaryWriter::WriteU8(std::uint8_t v) { *Grow(1) = v; }
void TBinaryWriter::WriteI8(std::int8_t v) { WriteU8(static_cast<std::uint8_t>(v)); }
void TBinaryWriter::WriteU16(std::uint16_t v) { StoreLE(Grow(2), v); }
void TBinaryWriter::WriteI16(std::int16_t v) { StoreLE(Grow(2), v); }
void TBinaryWriter::WriteU32(std::uint32_t v) { StoreLE(Grow(4), v); }
void TBinaryWriter::WriteI32(std::int32_t v) { StoreLE(Grow(4), v); }
void TBinaryWriter::WriteU64(std::uint64_t v) { StoreLE(Grow(8), v); }
void TBinaryWriter::WriteI64(std::int64_t v) { StoreLE(Grow(8), v); }
void TBinaryWriter::WriteF32(float v) { WriteU32(std::bit_cast<std::uint32_t>(v)); }
void TBinaryWriter::WriteF64(double v) { WriteU64(std::bit_cast<std::uint64_t>(v)); }

void TBinaryWriter::WriteBytes(const void* data, std::size_t count) {
    std::uint8_t* p = Grow(count);
    if (count) std::memcpy(p, data, count);
}

void TBinaryWriter::WriteBytes(std::span<const std::uint8_t> data) { WriteBytes(data.data(), data.size()); }

void TBinaryWriter::WriteString(std::string_view bytes) { WriteBytes(bytes.data(), bytes.size()); }

void TBinaryWriter::WriteZeros(std::size_t count) {
    std::uint8_t* p = Grow(count);
    if (count) std::memset(p, 0, count);
}

void TBinaryWriter::WriteShortString(std::string_view text, std::size_t capacity) {
    if (capacity > 255) throw EBinaryError("Short string capacity above 255");
    const std::size_t length = text.size() < capacity ? text.size() : capacity;
    std::uint8_t* p = Grow(1 + capacity);
    p[0] = static_cast<std::uint8_t>(length);
    if (length) std::memcpy(p + 1, text.data(), length);
    if (capacity > length) std::memset(p + 1 + length, 0, capacity - length);
}

void TBinaryWriter::PatchU32(std::size_t position, std::uint32_t v) {
    if (position > data_.size() || data_.size() - position < 4) {
        throw EBinaryError("Patch outside written data at offset " + std::to_string(position));
    }
    StoreLE(data_.data() + position, v);
}

}  // namespace qv

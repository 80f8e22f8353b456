// Bounded little-endian binary reading and writing.
//
// Every stored or received format of the program goes through these two
// classes: fixed-width fields in little-endian order, every read checked
// against what is left, every write checked against the writer's bound.
// Neither ever copies a struct's memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// A read past the end of the data, or a write past a writer's bound.
class EBinaryError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TBinaryReader {
public:
    TBinaryReader() = default;
    TBinaryReader(const void* data, std::size_t size);
    explicit TBinaryReader(std::span<const std::uint8_t> data);
    explicit TBinaryReader(std::string_view data);

    std::size_t Position() const { return pos_; }
    std::size_t Size() const { return size_; }
    std::size_t Remaining() const { return size_ - pos_; }
    bool AtEnd() const { return pos_ == size_; }

    // Throws EBinaryError unless `count` more bytes are available.
    void Require(std::size_t count) const;
    void Skip(std::size_t count);
    void Seek(std::size_t position);

    std::uint8_t ReadU8();
    std::int8_t ReadI8();
    std::uint16_t ReadU16();
    std::int16_t ReadI16();
    std::uint32_t ReadU32();
    std::int32_t ReadI32();
    std::uint64_t ReadU64();
    std::int64_t ReadI64();
    float ReadF32();
    double ReadF64();

    void ReadBytes(void* out, std::size_t count);
    std::vector<std::uint8_t> ReadBytes(std::size_t count);
    // `count` bytes as a byte string (no conversion of any kind).
    std::string ReadString(std::size_t count);
    // A view of the next `count` bytes, which are consumed.
    std::span<const std::uint8_t> ReadSpan(std::size_t count);

    // A short string field of `capacity` characters: one length byte and
    // `capacity` bytes, of which the first `length` are the text. A length
    // above the capacity is an error. Always consumes 1 + capacity bytes.
    std::string ReadShortString(std::size_t capacity);

    // A count that is about to size an allocation: it must not exceed
    // `limit`, and `count * itemSize` bytes must remain.
    std::size_t CheckCount(std::uint64_t count, std::size_t itemSize, std::size_t limit) const;

private:
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t pos_ = 0;
};

class TBinaryWriter {
public:
    static constexpr std::size_t Unbounded = static_cast<std::size_t>(-1);

    // A writer that grows up to `bound` bytes; writing past it throws.
    explicit TBinaryWriter(std::size_t bound = Unbounded);

    std::size_t Size() const { return data_.size(); }
    std::size_t Bound() const { return bound_; }
    const std::vector<std::uint8_t>& Data() const { return data_; }
    std::vector<std::uint8_t> Take() { return std::move(data_); }

    void WriteU8(std::uint8_t v);
    void WriteI8(std::int8_t v);
    void WriteU16(std::uint16_t v);
    void WriteI16(std::int16_t v);
    void WriteU32(std::uint32_t v);
    void WriteI32(std::int32_t v);
    void WriteU64(std::uint64_t v);
    void WriteI64(std::int64_t v);
    void WriteF32(float v);
    void WriteF64(double v);
    void WriteBytes(const void* data, std::size_t count);
    void WriteBytes(std::span<const std::uint8_t> data);
    void WriteString(std::string_view bytes);
    void WriteZeros(std::size_t count);

    // A short string field of `capacity` characters: the text is cut to
    // `capacity` bytes, the length byte written, the unused bytes zeroed.
    void WriteShortString(std::string_view text, std::size_t capacity);

    // Overwrites 4 bytes at an earlier position (for sizes known later).
    void PatchU32(std::size_t position, std::uint32_t v);

private:
    std::uint8_t* Grow(std::size_t count);

    std::vector<std::uint8_t> data_;
    std::size_t bound_;
};

}  // namespace qv

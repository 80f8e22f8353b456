// Checksums: a small family of which the program uses the 32-bit byte sum
// to tie a scenario package to its slot.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

namespace qv {

class TBasicCheckSum {
public:
    virtual ~TBasicCheckSum() = default;

    const std::string& Name() const { return name_; }
    // Size of the checksum value in bytes.
    std::int32_t Size() const { return size_; }

    // Byte `index` of the value, most significant first. An index outside
    // 0..Size-1 throws ERangeError.
    std::uint8_t GetByte(std::int32_t index) const;
    std::uint8_t Bytes(std::int32_t index) const { return GetByte(index); }

    virtual void Reset() = 0;
    virtual void AddBuffer(const void* buffer, std::size_t length) = 0;
    virtual const char* ClassName() const = 0;

protected:
    TBasicCheckSum(std::string name, std::int32_t size) : name_(std::move(name)), size_(size) {}
    explicit TBasicCheckSum(std::string name) : TBasicCheckSum(std::move(name), 4) {}

    virtual std::uint8_t ByteOf(std::int32_t index) const = 0;

private:
    std::string name_;
    std::int32_t size_;
};

class TBasicCheckSum32Bit : public TBasicCheckSum {
public:
    std::uint32_t Value() const { return value_; }
    virtual void SetValue(std::uint32_t value) { value_ = value; }
    void Reset() override { SetValue(0); }

protected:
    using TBasicCheckSum::TBasicCheckSum;
    std::uint8_t ByteOf(std::int32_t index) const override;

private:
    std::uint32_t value_ = 0;
};

// The sum of all bytes added, each as 0..255, modulo 2^32.
class TSum32 final : public TBasicCheckSum32Bit {
public:
    TSum32() : TBasicCheckSum32Bit("32-bit byte-sum", 4) { Reset(); }

    void AddBuffer(const void* buffer, std::size_t length) override;
    const char* ClassName() const override { return "TSum32"; }
};

}  // namespace qv

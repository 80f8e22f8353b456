#include "foundation/qv3Sum32.h"

#include "foundation/Exceptions.h"

namespace qv {

std::uint8_t TBasicCheckSum::GetByte(std::int32_t index) const {
    if (index < 0 || index >= size_)
        throw ERangeError(std::string("Call to ") + ClassName() + ".GetByte [property Bytes] with index <> [0.." +
                          std::to_string(size_ - 1) + "]");
    return ByteOf(index);
}

std::uint8_t TBasicCheckSum32Bit::ByteOf(std::int32_t index) const {
    if (index < 0 || index > 3) return 0;
    return static_cast<std::uint8_t>(value_ >> (8 * (3 - index)));
}

void TSum32::AddBuffer(const void* buffer, std::size_t length) {
    const auto* p = static_cast<const std::uint8_t*>(buffer);
    std::uint32_t sum = Value();
    for (std::size_t i = 0; i < length; ++i) sum += p[i];
    SetValue(sum);
}

}  // namespace qv

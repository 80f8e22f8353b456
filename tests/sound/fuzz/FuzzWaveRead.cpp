// Any bytes as a WAVE file: the header parse, the block reads and the PCM
// reader (with the Layer-3 decoder when the record asks for it) must fail
// with an exception or succeed, never crash or hang.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "media/WaveRead.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        qv::TCustomMemoryWaveReadStream source(data, size);
        qv::TWavePCMReader reader(source, nullptr);
        std::vector<std::uint8_t> buf(4099);
        std::size_t total = 0;
        for (int i = 0; i < 64; ++i) {
            const std::int32_t n = reader.Read(buf.data(), static_cast<std::int32_t>(buf.size()));
            if (n <= 0) break;
            total += static_cast<std::size_t>(n);
        }
        reader.Rewind();
        reader.Read(buf.data(), 333);
        (void)total;
    } catch (const qv::Exception&) {
    }
    return 0;
}

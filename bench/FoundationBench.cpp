// Costs of the foundation's hot helpers: binary reading and writing of
// records, language escape processing and log line formatting.
#include <benchmark/benchmark.h>

#include "foundation/BinaryIO.h"
#include "foundation/qv3Language.h"
#include "foundation/qv3Log.h"

namespace {

void BM_BinaryWriteRead(benchmark::State& state) {
    const std::size_t records = 4096;
    for (auto _ : state) {
        qv::TBinaryWriter w;
        for (std::size_t i = 0; i < records; ++i) {
            w.WriteU32(static_cast<std::uint32_t>(i));
            w.WriteF32(static_cast<float>(i) * 0.5f);
            w.WriteShortString("nivlet", 15);
        }
        qv::TBinaryReader r(w.Data());
        std::uint64_t sum = 0;
        while (!r.AtEnd()) {
            sum += r.ReadU32();
            sum += static_cast<std::uint64_t>(r.ReadF32());
            sum += r.ReadShortString(15).size();
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * records * 24));
}
BENCHMARK(BM_BinaryWriteRead);

void BM_LanguageFileParse(benchmark::State& state) {
    std::string file;
    for (int i = 0; i < 423; ++i) file += "Line " + std::to_string(i) + " with a\\nbreak and a \\\\ backslash\r\n";
    for (auto _ : state) benchmark::DoNotOptimize(qv::ParseLanguageFile(file));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
}
BENCHMARK(BM_LanguageFileParse);

void BM_LogLineFormat(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(qv::FormatLogLine("Create Direct3D 8", 0x8100000Du));
}
BENCHMARK(BM_LogLineFormat);

}  // namespace

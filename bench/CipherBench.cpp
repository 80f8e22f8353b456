// Throughput of the program's cipher over a 1 MiB stream, both ways, and the
// cost of a key set-up (paid once per enciphered file).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "foundation/qv3Cryptography.h"

namespace {

constexpr std::size_t kStreamSize = 1u << 20;
const char* const kKey = "xyn%&*#!&$^tartaru_gelados%*$mwpresoruimzvtaq";

std::vector<std::uint8_t> Plain() {
    std::vector<std::uint8_t> p(kStreamSize);
    for (std::size_t i = 0; i < p.size(); ++i) p[i] = static_cast<std::uint8_t>(i * 131 + 17);
    return p;
}

void BM_EncryptionStream1MiB(benchmark::State& state) {
    const auto plain = Plain();
    qv::TBlowfish cipher(kKey);
    for (auto _ : state) {
        qv::TMemorySink sink;
        {
            qv::TEncryptionStream out(sink, cipher);
            out.WriteBuffer(plain.data(), plain.size());
            out.Finish();
        }
        benchmark::DoNotOptimize(sink.Data().data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kStreamSize));
}
BENCHMARK(BM_EncryptionStream1MiB)->Unit(benchmark::kMillisecond);

void BM_DecryptionStream1MiB(benchmark::State& state) {
    const auto plain = Plain();
    qv::TBlowfish cipher(kKey);
    qv::TMemorySink sink;
    {
        qv::TEncryptionStream out(sink, cipher);
        out.WriteBuffer(plain.data(), plain.size());
        out.Finish();
    }
    std::vector<std::uint8_t> back(kStreamSize);
    for (auto _ : state) {
        qv::TDecryptionStream in(sink.Data(), cipher);
        benchmark::DoNotOptimize(in.Read(back.data(), back.size()));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kStreamSize));
}
BENCHMARK(BM_DecryptionStream1MiB)->Unit(benchmark::kMillisecond);

void BM_KeySetup(benchmark::State& state) {
    qv::BlowfishInitialTables();  // computed once per process, not per key
    for (auto _ : state) {
        qv::TBlowfish cipher(kKey);
        benchmark::DoNotOptimize(&cipher);
    }
}
BENCHMARK(BM_KeySetup)->Unit(benchmark::kMicrosecond);

}  // namespace

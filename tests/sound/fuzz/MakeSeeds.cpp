// Writes the seed files of the WAVE reader's fuzzer into the folder given.
#include <cstdio>
#include <string>

#include "platform/system/Files.h"
#include "tests/sound/SoundFixtures.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const std::string dir = qv::sys::WithTrailingSlash(argv[1]);
    qv::sys::CreateDirectories(dir);
    using qv::codec::MakePcmFormat;
    using qv::test::TBytes;
    auto save = [&](const std::string& name, const TBytes& bytes) {
        return qv::sys::WriteFileAtomic(dir + name, std::string(bytes.begin(), bytes.end()));
    };
    bool ok = true;
    ok &= save("pcm16.wav", qv::test::WaveFile(MakePcmFormat(2, 22050, 16), qv::test::CounterPcm16(64, 2)));
    ok &= save("pcm8-odd.wav", qv::test::TRiffBuilder()
                                   .Chunk("data", TBytes(33, 0x80))
                                   .Chunk("LIST", TBytes(5, 1))
                                   .Chunk("fmt ", MakePcmFormat(1, 8000, 8).ToBytes())
                                   .Build());
    ok &= save("mp3.wav", qv::test::MakeMp3Wave(0.06, 22050, 1, 32, 440.0, 8000.0).File);
    return ok ? 0 : 1;
}

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "foundation/Exceptions.h"
#include "foundation/Random.h"
#include "foundation/qv3Cryptography.h"

// Expected values marked "reference" were computed once by a separate
// Python 3 script written from the cipher's description (pi's digits by
// Machin's formula with Python's big integers, the key fold, the key
// schedule and the rounds), which also reproduces the published Blowfish
// test vectors when its three differences are switched off.

namespace qv {

namespace {

const std::string kSettingsKey = "xyn%&*#!&$^tartaru_gelados%*$mwpresoruimzvtaq";

using TBytes = std::vector<std::uint8_t>;

TBytes FromHex(const std::string& hex) {
    TBytes out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return out;
}

std::string ToHex(const TBytes& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (std::uint8_t b : bytes) {
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 15]);
    }
    return out;
}

std::string EncryptHex(TCryptography& c, const std::string& plainHex) {
    TBytes block = FromHex(plainHex);
    EXPECT_TRUE(c.EncryptBlock(block.data()));
    return ToHex(block);
}

TBytes Bytes(const std::string& s) { return TBytes(s.begin(), s.end()); }

TBytes Encrypt(const TBytes& plain, const std::string& key) {
    TBlowfish cipher(key);
    TMemorySink sink;
    TEncryptionStream stream(sink, cipher);
    stream.WriteBuffer(plain.data(), plain.size());
    stream.Finish();
    return sink.Data();
}

// A sink that takes `accept` bytes in all and refuses the rest.
class TLimitedSink : public TByteSink {
public:
    explicit TLimitedSink(std::size_t accept) : left_(accept) {}
    std::size_t Write(const std::uint8_t* data, std::size_t count) override {
        ++calls_;
        const std::size_t n = std::min(count, left_);
        data_.insert(data_.end(), data, data + n);
        left_ -= n;
        return n;
    }
    TBytes data_;
    std::size_t left_;
    int calls_ = 0;
};


// Pi's fraction as 32-bit words, most significant first, by Machin's formula
// pi = 16 atan(1/5) - 4 atan(1/239) in fixed point (word 0 the integer part,
// four guard words below the last one wanted).
class TFixed {
public:
    explicit TFixed(std::size_t words) : w(words, 0) {}
    static TFixed Quotient(const TFixed& a, std::uint32_t d) {
        TFixed q(a.w.size());
        std::uint64_t rem = 0;
        for (std::size_t i = 0; i < a.w.size(); ++i) {
            const std::uint64_t cur = (rem << 32) | a.w[i];
            q.w[i] = static_cast<std::uint32_t>(cur / d);
            rem = cur % d;
        }
        return q;
    }
    void AddOrSubtract(const TFixed& a, bool subtract) {
        std::int64_t carry = 0;
        for (std::size_t i = w.size(); i-- > 0;) {
            std::int64_t v = static_cast<std::int64_t>(w[i]) + carry +
                             (subtract ? -static_cast<std::int64_t>(a.w[i]) : static_cast<std::int64_t>(a.w[i]));
            carry = v < 0 ? -1 : (v >> 32);
            w[i] = static_cast<std::uint32_t>(v);
        }
    }
    void Multiply(std::uint32_t m) {
        std::uint64_t carry = 0;
        for (std::size_t i = w.size(); i-- > 0;) {
            const std::uint64_t p = static_cast<std::uint64_t>(w[i]) * m + carry;
            w[i] = static_cast<std::uint32_t>(p);
            carry = p >> 32;
        }
    }
    bool IsZero() const { return std::all_of(w.begin(), w.end(), [](auto v) { return v == 0; }); }
    std::vector<std::uint32_t> w;
};

TFixed ArcTanInverse(std::uint32_t x, std::size_t words) {
    TFixed one(words);
    one.w[0] = 1;
    TFixed power = TFixed::Quotient(one, x);
    TFixed sum = power;
    bool subtract = true;
    for (std::uint32_t k = 1;; ++k, subtract = !subtract) {
        power = TFixed::Quotient(power, x * x);
        if (power.IsZero()) break;
        sum.AddOrSubtract(TFixed::Quotient(power, 2 * k + 1), subtract);
    }
    return sum;
}

std::vector<std::uint32_t> PiFractionWords(std::size_t count) {
    const std::size_t words = 1 + count + 4;
    TFixed pi = ArcTanInverse(5, words);
    pi.Multiply(16);
    TFixed b = ArcTanInverse(239, words);
    b.Multiply(4);
    pi.AddOrSubtract(b, true);
    return std::vector<std::uint32_t>(pi.w.begin() + 1, pi.w.begin() + 1 + static_cast<std::ptrdiff_t>(count));
}

}  // namespace

// --- Base: buffer size, key folding, string operations ------------------

TEST(CryptographyTest, SetBufferSizeRoundsToBlocksWithAFloorOf256) {
    struct Case {
        std::int64_t asked, expected;
    };
    const Case cases[] = {{1000, 1000}, {100, 256}, {1001, 1000}, {256, 256}, {263, 256}, {0, 256}, {-8, 256}};
    TBlowfish c(kSettingsKey);
    EXPECT_EQ(c.BufferSize(), 2048u);
    for (const Case& k : cases) {
        c.SetBufferSize(k.asked);
        EXPECT_EQ(c.BufferSize(), static_cast<std::size_t>(k.expected)) << k.asked;
    }
}

TEST(CryptographyTest, AFreshFoldRepeatsTheKeyOverTheBuffer) {
    for (std::size_t length : {45u, 54u, 72u, 1u}) {
        std::string key;
        for (std::size_t i = 0; i < length; ++i) key.push_back(static_cast<char>('!' + (i * 7) % 90));
        TBlowfish c(key);
        ASSERT_EQ(c.KeyBufferSize(), 72u);
        const auto buf = c.KeyBuffer();
        for (std::size_t i = 0; i < 72; ++i)
            ASSERT_EQ(buf[i], static_cast<std::uint8_t>(key[i % length])) << "length " << length << " byte " << i;
    }
}

TEST(CryptographyTest, ASecondKeyFoldsOnTopOfTheFirst) {
    TBlowfish c("abcdefgh");
    c.SetKey("12345678");
    EXPECT_EQ(c.KeyText(), "12345678");
    std::string expected;  // reference
    for (int i = 0; i < 9; ++i) expected += "f7faf1f0d93a9af4";
    EXPECT_EQ(ToHex(TBytes(c.KeyBuffer().begin(), c.KeyBuffer().end())), expected);
    EXPECT_EQ(EncryptHex(c, "0001020304050607"), "eb31da6bb87de3d6");  // reference
}

TEST(CryptographyTest, SetKeyWithTheSameOrAnEmptyTextLeavesTheTablesAlone) {
    TBlowfish c(kSettingsKey);
    const std::string before = EncryptHex(c, "0001020304050607");
    c.SetKey(kSettingsKey);
    EXPECT_EQ(EncryptHex(c, "0001020304050607"), before);
    c.SetKey("");
    EXPECT_EQ(c.KeyText(), "");
    EXPECT_EQ(EncryptHex(c, "0001020304050607"), before);
}

TEST(CryptographyTest, AnEmptyOrDefaultKeyStillGetsRealTables) {
    // Both leave the key buffer zeroed; the tables come from the zero key
    // instead of staying empty (which would make the cipher nearly the identity).
    for (const std::string& key : {std::string(), std::string(kDefaultKeyText)}) {
        TBlowfish c(key);
        EXPECT_TRUE(std::all_of(c.KeyBuffer().begin(), c.KeyBuffer().end(), [](auto b) { return b == 0; }));
        EXPECT_EQ(EncryptHex(c, "0000000000000000"), "8c46ae99c4317c6b");  // reference
    }
}

TEST(CryptographyTest, EncryptStringPadsToWholeBlocks) {
    TBlowfish c(kSettingsKey);
    std::string text = "zkq3e";
    c.EncryptString(text);
    ASSERT_EQ(text.size(), 8u);
    EXPECT_EQ(ToHex(Bytes(text)), "3c5c74c6f9b3fe30");  // reference
    c.DecryptString(text);
    EXPECT_EQ(text, std::string("zkq3e\0\0\0", 8));

    std::string empty;
    c.EncryptString(empty);
    EXPECT_EQ(empty, "");
}

TEST(CryptographyTest, BufferOperationsCrossTheWorkBufferBoundary) {
    TBlowfish c(kSettingsKey);
    c.SetBufferSize(256);
    TBytes plain(1000);
    for (std::size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<std::uint8_t>(i * 31 + 7);
    TMemorySink enc;
    c.EncryptStream(plain, enc);
    ASSERT_EQ(enc.Data().size(), 1000u);
    EXPECT_EQ(enc.Data(), Encrypt(plain, kSettingsKey));  // same ECB result as the stream
    TMemorySink dec;
    c.DecryptStream(enc.Data(), dec);
    EXPECT_EQ(dec.Data(), plain);
}

TEST(CryptographyTest, BufferOperationsStopWhenTheWriterFallsShort) {
    TBlowfish c(kSettingsKey);
    c.SetBufferSize(256);
    const TBytes plain(2000, 0x55);
    TLimitedSink sink(100);
    c.EncryptStream(plain, sink);
    EXPECT_EQ(sink.calls_, 1);
    EXPECT_EQ(sink.data_.size(), 100u);
}

// --- The block cipher ----------------------------------------------------

TEST(BlowfishTest, InitialTablesAreThePiWordsByteReversed) {
    const auto& t = BlowfishInitialTables();
    EXPECT_EQ(t[0], 0x886A3F24u);
    EXPECT_EQ(t[17], 0x1BFB7989u);
    EXPECT_EQ(t[18], 0xA60B31D1u);
    EXPECT_EQ(t[kBlowfishTableWords - 1], 0xE672C33Au);
    // Whole-table checks against the reference: a position-weighted sum and an xor.
    std::uint32_t sum = 0, x = 0;
    for (std::size_t i = 0; i < t.size(); ++i) {
        sum += t[i] * static_cast<std::uint32_t>(i + 1);
        x ^= t[i];
    }
    EXPECT_EQ(sum, 0xBE668BCDu);
    EXPECT_EQ(x, 0x0A52FA6Fu);
    // And word by word against pi computed here.
    const std::vector<std::uint32_t> pi = PiFractionWords(kBlowfishTableWords);
    ASSERT_EQ(pi[0], 0x243F6A88u);
    for (std::size_t i = 0; i < t.size(); ++i) {
        const std::uint32_t w = pi[i];
        const std::uint32_t reversed = (w >> 24) | ((w >> 8) & 0xFF00u) | ((w << 8) & 0xFF0000u) | (w << 24);
        ASSERT_EQ(t[i], reversed) << "word " << i;
    }
}

TEST(BlowfishTest, PublishedFlavourMeetsThePublishedVectors) {
    // Published Blowfish test vectors (key, plaintext, ciphertext).
    struct Case {
        const char *key, *plain, *cipher;
    };
    const Case cases[] = {
        {"0000000000000000", "0000000000000000", "4ef997456198dd78"},
        {"ffffffffffffffff", "ffffffffffffffff", "51866fd5b85ecb8a"},
        {"3000000000000000", "1000000000000001", "7d856f9a613063f2"},
        {"0123456789abcdef", "1111111111111111", "61f9c3802281b096"},
        {"fedcba9876543210", "0123456789abcdef", "0aceab0fc6a0a28d"},
    };
    for (const Case& k : cases) {
        const TBytes key = FromHex(k.key);
        TBlowfish c(std::string(key.begin(), key.end()), TBlowfishFlavour::Published);
        EXPECT_EQ(EncryptHex(c, k.plain), k.cipher) << k.key;
        TBytes block = FromHex(k.cipher);
        c.DecryptBlock(block.data());
        EXPECT_EQ(ToHex(block), k.plain);
    }
}

TEST(BlowfishTest, ProgramFlavourKnownAnswers) {
    struct Case {
        std::string key;
        const char *plain, *cipher;
    };
    const Case cases[] = {  // reference
        {kSettingsKey, "7a6b713365000000", "3c5c74c6f9b3fe30"},
        {kSettingsKey, "0001020304050607", "576be41247955b1d"},
        {"abc", "0001020304050607", "6102d9fcc0985ef9"},
        {"abc", "0000000000000000", "943d3373cc54ae83"},
    };
    for (const Case& k : cases) {
        TBlowfish c(k.key);
        EXPECT_EQ(EncryptHex(c, k.plain), k.cipher) << k.key;
    }
}

TEST(BlowfishTest, RoundTripsRandomBlocksUnderRandomKeys) {
    TRandom rnd(20240601);
    for (int trial = 0; trial < 50; ++trial) {
        std::string key(1 + rnd.Below(100), '\0');
        for (char& ch : key) ch = static_cast<char>(rnd.Below(256));
        TBlowfish a(key);
        TBlowfish b(key);
        for (int i = 0; i < 20; ++i) {
            TBytes plain(8);
            for (auto& v : plain) v = static_cast<std::uint8_t>(rnd.Below(256));
            TBytes x = plain, y = plain;
            a.EncryptBlock(x.data());
            b.EncryptBlock(y.data());
            ASSERT_EQ(x, y);
            ASSERT_NE(x, plain);
            a.DecryptBlock(x.data());
            ASSERT_EQ(x, plain);
        }
    }
}

TEST(BlowfishTest, OtherKeysAndOtherWordOrdersGiveOtherBlocks) {
    TBlowfish c(kSettingsKey);
    TBlowfish other(kSettingsKey + "x");
    EXPECT_NE(EncryptHex(other, "0001020304050607"), "576be41247955b1d");
    // Words loaded big-endian, or swapped, would not give the known block.
    EXPECT_NE(EncryptHex(c, "0302010007060504"), "4712e46b1d5b9547");
    EXPECT_NE(EncryptHex(c, "0405060700010203"), "47955b1d576be412");
    TBlowfish published(kSettingsKey, TBlowfishFlavour::Published);
    EXPECT_NE(EncryptHex(published, "0001020304050607"), "576be41247955b1d");
}

// --- Streams ---------------------------------------------------------------

TEST(CipherStreamTest, FiveBytesBecomeOneBlockThatDecryptsWithZeroPadding) {
    const TBytes file = Encrypt(Bytes("zkq3e"), kSettingsKey);
    ASSERT_EQ(file.size(), 8u);
    EXPECT_EQ(ToHex(file), "3c5c74c6f9b3fe30");  // reference
    TBlowfish c(kSettingsKey);
    TDecryptionStream in(file, c);
    char out[16] = {};
    EXPECT_EQ(in.Read(out, sizeof out), 8u);
    EXPECT_EQ(std::string(out, 8), std::string("zkq3e\0\0\0", 8));
}

TEST(CipherStreamTest, ThirteenBytesKnownAnswer) {
    TBytes plain(13);
    for (std::size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<std::uint8_t>(i);
    EXPECT_EQ(ToHex(Encrypt(plain, kSettingsKey)), "576be41247955b1d6e5c646d204b1df1");  // reference
}

TEST(CipherStreamTest, OutputLengthIsRoundedUpToBlocks) {
    struct Case {
        std::size_t plain, stored;
    };
    const Case cases[] = {{0, 0}, {1, 8}, {7, 8}, {8, 8}, {9, 16}, {5 + 37464, 37472}};
    for (const Case& k : cases) EXPECT_EQ(Encrypt(TBytes(k.plain, 0xA5), kSettingsKey).size(), k.stored) << k.plain;
}

TEST(CipherStreamTest, DestructorCompletesThePendingBlock) {
    TBlowfish c(kSettingsKey);
    TMemorySink sink;
    {
        TEncryptionStream stream(sink, c);
        EXPECT_EQ(stream.Write("zkq3e", 5), 5u);
        EXPECT_TRUE(sink.Data().empty());
    }
    EXPECT_EQ(ToHex(sink.Data()), "3c5c74c6f9b3fe30");
}

TEST(CipherStreamTest, ReadStopsBeforeATrailingPartialBlock) {
    TBytes file = Encrypt(TBytes(8, 1), kSettingsKey);
    file.push_back(0x11);
    file.push_back(0x22);
    TBlowfish c(kSettingsKey);
    TDecryptionStream in(file, c);
    std::uint8_t out[12] = {};
    EXPECT_EQ(in.Read(out, 12), 8u);
    EXPECT_EQ(in.Position(), 8);
    EXPECT_EQ(in.Read(out, 12), 0u);
    EXPECT_EQ(in.Position(), 8);
}

TEST(CipherStreamTest, SeekFromEachOriginLandsOnThePlaintextPosition) {
    TBytes plain(40);
    for (std::size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<std::uint8_t>(100 + i);
    const TBytes file = Encrypt(plain, kSettingsKey);
    TBlowfish c(kSettingsKey);
    TDecryptionStream in(file, c);
    std::uint8_t b = 0;

    EXPECT_EQ(in.Seek(13, soFromBeginning), 13);
    ASSERT_EQ(in.Read(&b, 1), 1u);
    EXPECT_EQ(b, plain[13]);  // the 14th plaintext byte

    // Inside a partly read block the position is the logical one.
    EXPECT_EQ(in.Seek(0, soFromCurrent), 14);
    EXPECT_EQ(in.Position(), 14);
    EXPECT_EQ(in.Seek(5, soFromCurrent), 19);
    ASSERT_EQ(in.Read(&b, 1), 1u);
    EXPECT_EQ(b, plain[19]);
    EXPECT_EQ(in.Seek(-12, soFromCurrent), 8);
    ASSERT_EQ(in.Read(&b, 1), 1u);
    EXPECT_EQ(b, plain[8]);

    EXPECT_EQ(in.Seek(-3, soFromEnd), 37);
    ASSERT_EQ(in.Read(&b, 1), 1u);
    EXPECT_EQ(b, plain[37]);
    EXPECT_EQ(in.Seek(0, soFromEnd), 40);
    EXPECT_EQ(in.Read(&b, 1), 0u);

    // Before the start counts as the start; past the end reads nothing.
    EXPECT_EQ(in.Seek(-100, soFromBeginning), 0);
    ASSERT_EQ(in.Read(&b, 1), 1u);
    EXPECT_EQ(b, plain[0]);
    EXPECT_EQ(in.Seek(-100, soFromCurrent), 0);
    in.Seek(1000, soFromBeginning);
    EXPECT_EQ(in.Read(&b, 1), 0u);
    in.Seek(INT64_MAX, soFromCurrent);
    EXPECT_EQ(in.Read(&b, 1), 0u);
}

TEST(CipherStreamTest, AnUnknownSeekOriginThrows) {
    const TBytes file = Encrypt(TBytes(16, 0), kSettingsKey);
    TBlowfish c(kSettingsKey);
    TDecryptionStream in(file, c);
    for (int origin : {3, -1}) {
        try {
            in.Seek(0, origin);
            FAIL() << origin;
        } catch (const Exception& e) {
            EXPECT_STREQ(e.what(), "Invalid seek origin");
        }
    }
}

TEST(CipherStreamTest, RandomChunksRoundTrip) {
    TRandom rnd(77);
    for (int trial = 0; trial < 20; ++trial) {
        TBytes plain(rnd.Below(3000));
        for (auto& v : plain) v = static_cast<std::uint8_t>(rnd.Below(256));
        std::string key(1 + rnd.Below(60), 'k');
        for (char& ch : key) ch = static_cast<char>(' ' + rnd.Below(95));

        TBlowfish c(key);
        TMemorySink sink;
        {
            TEncryptionStream out(sink, c);
            for (std::size_t pos = 0; pos < plain.size();) {
                const std::size_t n = std::min<std::size_t>(rnd.Below(20), plain.size() - pos);
                ASSERT_EQ(out.Write(plain.data() + pos, n), n);
                pos += n;
            }
            out.Finish();
        }
        ASSERT_EQ(sink.Data().size(), (plain.size() + 7) / 8 * 8);

        TDecryptionStream in(sink.Data(), c);
        TBytes back;
        for (;;) {
            std::uint8_t chunk[32];
            const std::size_t want = rnd.Below(33);
            const std::size_t got = in.Read(chunk, want);
            back.insert(back.end(), chunk, chunk + got);
            if (got < want) break;
        }
        ASSERT_EQ(back.size(), sink.Data().size());
        EXPECT_TRUE(std::equal(plain.begin(), plain.end(), back.begin()));
        EXPECT_TRUE(std::all_of(back.begin() + static_cast<std::ptrdiff_t>(plain.size()), back.end(),
                                [](auto v) { return v == 0; }));
    }
}

TEST(CipherStreamTest, ARefusedBlockFailsTheStreamInsteadOfEncipheringTwice) {
    TBlowfish c(kSettingsKey);
    TLimitedSink sink(8);
    TEncryptionStream out(sink, c);
    const TBytes plain(24, 0x42);
    // The first block goes out, the second is refused: the bytes count as
    // taken, and the stream takes nothing more.
    EXPECT_EQ(out.Write(plain.data(), 16), 16u);
    EXPECT_TRUE(out.Failed());
    EXPECT_EQ(out.Write(plain.data(), 8), 0u);
    EXPECT_THROW(out.WriteBuffer(plain.data(), 1), EStreamError);
    EXPECT_THROW(out.Finish(), EStreamError);
    EXPECT_EQ(sink.calls_, 2);
    EXPECT_EQ(sink.data_, Encrypt(TBytes(8, 0x42), kSettingsKey));
}

TEST(CipherStreamTest, FinishReportsARefusedLastBlock) {
    TBlowfish c(kSettingsKey);
    TLimitedSink sink(0);
    TEncryptionStream out(sink, c);
    EXPECT_EQ(out.Write("abc", 3), 3u);
    EXPECT_FALSE(out.Failed());
    EXPECT_THROW(out.Finish(), EStreamError);
}

}  // namespace qv

#include "foundation/qv3Cryptography.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "foundation/Exceptions.h"

namespace qv {

namespace {

std::uint32_t LoadLE(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void StoreLE(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

std::uint32_t LoadBE(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | static_cast<std::uint32_t>(p[3]);
}

void StoreBE(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
}

std::uint32_t RotL(std::uint32_t x, std::uint32_t n) {
    n &= 31;
    return n == 0 ? x : (x << n) | (x >> (32 - n));
}

std::uint32_t ByteSwap(std::uint32_t v) {
    return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
}

}  // namespace

// --- TMemorySink ---------------------------------------------------------

std::size_t TMemorySink::Write(const std::uint8_t* data, std::size_t count) {
    data_.insert(data_.end(), data, data + count);
    return count;
}

// --- TCryptography -------------------------------------------------------

void TCryptography::Init(const std::string& name, std::size_t blockSize, const std::string& keyText,
                         std::size_t keyBufferSize) {
    // The fold works in 32-bit steps over whole multiples of the buffer.
    if (blockSize == 0 || keyBufferSize == 0 || keyBufferSize % 4 != 0)
        throw Exception("Invalid block or key buffer size of cipher " + name);
    name_ = name;
    blockSize_ = blockSize;
    workSize_ = blockSize * (2048 / blockSize);
    keyText_ = kDefaultKeyText;
    keyBuffer_.assign(keyBufferSize, 0);
    SetKey(keyText);
    // An empty key, or the default key text, folds nothing; the tables are
    // still derived (from the zeroed key buffer) so that the cipher never
    // runs on empty tables.
    if (keyText.empty() || keyText == kDefaultKeyText) KeySetup();
}

void TCryptography::SetBufferSize(std::int64_t size) {
    const auto bs = static_cast<std::int64_t>(blockSize_);
    std::int64_t s = size - size % bs;
    if (size < 0 || s < 256) s = 256 - 256 % bs;
    workSize_ = static_cast<std::size_t>(s);
}

void TCryptography::SetKey(const std::string& keyText) {
    if (!keyText.empty() && keyText != keyText_) {
        keyText_ = keyText;
        FoldKey();
        KeySetup();
    }
    keyText_ = keyText;
}

void TCryptography::FoldKey() {
    const std::size_t size = keyBuffer_.size();
    if (keyText_.empty()) return;
    std::string s = keyText_;
    for (std::size_t i = 0; s.size() % size != 0; ++i) s.push_back(s[i]);
    const auto* text = reinterpret_cast<const std::uint8_t*>(s.data());
    std::size_t o = 0;
    for (std::size_t pos = 0; pos < s.size(); pos += 4) {
        const std::uint32_t k = LoadLE(text + pos);
        std::uint8_t* at = keyBuffer_.data() + o;
        StoreLE(at, RotL(LoadLE(at), k % 32) ^ k);
        o = (o + 4) % size;
    }
}

void TCryptography::Transform(bool encrypt, const TWriter& writer, const TReader& reader) {
    std::vector<std::uint8_t> buffer(workSize_);
    for (;;) {
        std::fill(buffer.begin(), buffer.end(), std::uint8_t{0});
        const std::size_t n = std::min(reader(buffer.data(), buffer.size()), buffer.size());
        if (n == 0) break;
        const std::size_t blocks = (n + blockSize_ - 1) / blockSize_;
        std::size_t done = 0;
        bool ok = true;
        while (done < blocks) {
            std::uint8_t* block = buffer.data() + done * blockSize_;
            ok = encrypt ? EncryptBlock(block) : DecryptBlock(block);
            if (!ok) break;
            ++done;
        }
        const std::size_t m = done * blockSize_;
        const std::size_t written = m > 0 ? writer(buffer.data(), m) : 0;
        if (!ok || written != m) break;
    }
}

void TCryptography::EncryptBuffers(const TWriter& writer, const TReader& reader) { Transform(true, writer, reader); }

void TCryptography::DecryptBuffers(const TWriter& writer, const TReader& reader) { Transform(false, writer, reader); }

namespace {

TCryptography::TReader StringReader(const std::string& input, std::size_t& pos) {
    return [&input, &pos](std::uint8_t* buffer, std::size_t count) {
        const std::size_t n = std::min(count, input.size() - pos);
        std::memcpy(buffer, input.data() + pos, n);
        pos += n;
        return n;
    };
}

TCryptography::TWriter StringWriter(std::string& output) {
    return [&output](const std::uint8_t* buffer, std::size_t count) {
        output.append(reinterpret_cast<const char*>(buffer), count);
        return count;
    };
}

TCryptography::TReader SpanReader(std::span<const std::uint8_t> input, std::size_t& pos) {
    return [input, &pos](std::uint8_t* buffer, std::size_t count) {
        const std::size_t n = std::min(count, input.size() - pos);
        std::memcpy(buffer, input.data() + pos, n);
        pos += n;
        return n;
    };
}

TCryptography::TWriter SinkWriter(TByteSink& output) {
    return [&output](const std::uint8_t* buffer, std::size_t count) { return output.Write(buffer, count); };
}

}  // namespace

void TCryptography::EncryptString(std::string& text) {
    std::size_t pos = 0;
    std::string out;
    EncryptBuffers(StringWriter(out), StringReader(text, pos));
    text = std::move(out);
}

void TCryptography::DecryptString(std::string& text) {
    std::size_t pos = 0;
    std::string out;
    DecryptBuffers(StringWriter(out), StringReader(text, pos));
    text = std::move(out);
}

void TCryptography::EncryptStream(std::span<const std::uint8_t> input, TByteSink& output) {
    std::size_t pos = 0;
    EncryptBuffers(SinkWriter(output), SpanReader(input, pos));
}

void TCryptography::DecryptStream(std::span<const std::uint8_t> input, TByteSink& output) {
    std::size_t pos = 0;
    DecryptBuffers(SinkWriter(output), SpanReader(input, pos));
}

// --- TBlowfish -----------------------------------------------------------

TBlowfish::TBlowfish(const std::string& keyText, TBlowfishFlavour flavour)
    : program_(flavour == TBlowfishFlavour::Program) {
    Init("Blowfish", 8, keyText, 72);
}

template <bool Program>
std::uint32_t TBlowfish::F(std::uint32_t x) const {
    const std::uint32_t a = S_[0][x >> 24];
    const std::uint32_t b = S_[1][(x >> 16) & 255];
    const std::uint32_t c = S_[2][(x >> 8) & 255];
    const std::uint32_t d = S_[3][x & 255];
    if constexpr (Program)
        return ((a + (b & 0x1Fu)) ^ c) + (d & 0x1Fu);
    else
        return ((a + b) ^ c) + d;
}

template <bool Program>
void TBlowfish::CryptWords(std::uint32_t& left, std::uint32_t& right, int start, int step) const {
    std::uint32_t l = left;
    std::uint32_t r = right;
    int k = start;
    for (int round = 0; round < 16; ++round) {
        l ^= P_[static_cast<std::size_t>(k)];
        k += step;
        const std::uint32_t t = r ^ F<Program>(l);
        r = l;
        l = t;
    }
    std::swap(l, r);
    r ^= P_[static_cast<std::size_t>(k)];
    l ^= P_[static_cast<std::size_t>(k + step)];
    left = l;
    right = r;
}

void TBlowfish::Crypt(std::uint8_t* block, int start, int step) const {
    if (program_) {
        std::uint32_t l = LoadLE(block);
        std::uint32_t r = LoadLE(block + 4);
        CryptWords<true>(l, r, start, step);
        StoreLE(block, l);
        StoreLE(block + 4, r);
    } else {
        std::uint32_t l = LoadBE(block);
        std::uint32_t r = LoadBE(block + 4);
        CryptWords<false>(l, r, start, step);
        StoreBE(block, l);
        StoreBE(block + 4, r);
    }
}

bool TBlowfish::EncryptBlock(std::uint8_t* block) {
    Crypt(block, 0, +1);
    return true;
}

bool TBlowfish::DecryptBlock(std::uint8_t* block) {
    Crypt(block, 17, -1);
    return true;
}

void TBlowfish::KeySetup() {
    const auto& tables = BlowfishInitialTables();
    for (std::size_t i = 0; i < 18; ++i) P_[i] = program_ ? tables[i] : ByteSwap(tables[i]);
    for (std::size_t s = 0; s < 4; ++s)
        for (std::size_t i = 0; i < 256; ++i) {
            const std::uint32_t w = tables[18 + 256 * s + i];
            S_[s][i] = program_ ? w : ByteSwap(w);
        }

    const auto key = KeyBuffer();
    for (std::size_t i = 0; i < 18; ++i) P_[i] ^= program_ ? LoadLE(key.data() + 4 * i) : LoadBE(key.data() + 4 * i);

    std::uint32_t l = 0;
    std::uint32_t r = 0;
    auto encrypt = [&] {
        if (program_)
            CryptWords<true>(l, r, 0, 1);
        else
            CryptWords<false>(l, r, 0, 1);
    };
    for (std::size_t i = 0; i < 18; i += 2) {
        encrypt();
        P_[i] = l;
        P_[i + 1] = r;
    }
    for (auto& box : S_)
        for (std::size_t i = 0; i < 256; i += 2) {
            encrypt();
            box[i] = l;
            box[i + 1] = r;
        }
}

// --- Streams -------------------------------------------------------------

TBasicCryptographyStream::TBasicCryptographyStream(TCryptography& cipher)
    : cipher_(cipher), buffer_(cipher.BlockSize(), 0) {}

TEncryptionStream::TEncryptionStream(TByteSink& inner, TCryptography& cipher)
    : TBasicCryptographyStream(cipher), inner_(inner) {}

TEncryptionStream::~TEncryptionStream() {
    try {
        const std::uint8_t zero = 0;
        while (count_ > 0 && !failed_)
            if (Write(&zero, 1) != 1) break;
    } catch (...) {
        // A destructor reports nothing; Finish is the checked way.
    }
}

std::size_t TEncryptionStream::Write(const void* data, std::size_t count) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    std::size_t taken = 0;
    while (taken < count && !failed_) {
        const std::size_t n = std::min(count - taken, buffer_.size() - count_);
        std::memcpy(buffer_.data() + count_, p + taken, n);
        count_ += n;
        taken += n;
        if (count_ == buffer_.size()) {
            // The block is enciphered in place: until it has gone out whole,
            // the stream counts as failed, so that a refused (or throwing)
            // write never leads to enciphering the same bytes twice.
            failed_ = true;
            if (!cipher_.EncryptBlock(buffer_.data())) break;
            if (inner_.Write(buffer_.data(), buffer_.size()) != buffer_.size()) break;
            count_ = 0;
            failed_ = false;
        }
    }
    return taken;
}

void TEncryptionStream::WriteBuffer(const void* data, std::size_t count) {
    if (Write(data, count) != count || failed_) throw EStreamError("Stream write error");
}

void TEncryptionStream::Finish() {
    const std::uint8_t zero = 0;
    while (count_ > 0 && !failed_)
        if (Write(&zero, 1) != 1) break;
    if (failed_) throw EStreamError("Stream write error");
}

TDecryptionStream::TDecryptionStream(std::span<const std::uint8_t> inner, TCryptography& cipher)
    : TBasicCryptographyStream(cipher), inner_(inner) {}

std::size_t TDecryptionStream::Read(void* buffer, std::size_t count) {
    auto* out = static_cast<std::uint8_t*>(buffer);
    const std::size_t bs = buffer_.size();
    std::size_t delivered = 0;
    while (delivered < count) {
        if (count_ == 0) {
            if (innerPos_ > inner_.size() || inner_.size() - innerPos_ < bs) break;
            std::memcpy(buffer_.data(), inner_.data() + innerPos_, bs);
            if (!cipher_.DecryptBlock(buffer_.data())) break;
            innerPos_ += bs;
            count_ = bs;
            readPtr_ = 0;
        }
        const std::size_t n = std::min(count - delivered, count_ - readPtr_);
        std::memcpy(out + delivered, buffer_.data() + readPtr_, n);
        readPtr_ += n;
        delivered += n;
        if (readPtr_ == count_) {
            count_ = 0;
            readPtr_ = 0;
        }
    }
    return delivered;
}

std::int64_t TDecryptionStream::Position() const {
    return static_cast<std::int64_t>(innerPos_ - count_ + readPtr_);
}

std::int64_t TDecryptionStream::SeekTo(std::int64_t target) {
    if (target < 0) target = 0;
    const auto bs = static_cast<std::int64_t>(buffer_.size());
    const std::int64_t r = target % bs;
    innerPos_ = static_cast<std::uint64_t>(target - r);
    count_ = 0;
    readPtr_ = 0;
    std::uint8_t discard = 0;
    for (std::int64_t i = 0; i < r; ++i)
        if (Read(&discard, 1) != 1) break;
    return Position();
}

namespace {

std::int64_t SaturatingAdd(std::int64_t a, std::int64_t b) {
    if (b > 0 && a > std::numeric_limits<std::int64_t>::max() - b) return std::numeric_limits<std::int64_t>::max();
    if (b < 0 && a < std::numeric_limits<std::int64_t>::min() - b) return std::numeric_limits<std::int64_t>::min();
    return a + b;
}

}  // namespace

std::int64_t TDecryptionStream::Seek(std::int64_t offset, int origin) {
    switch (origin) {
        case soFromBeginning:
            return SeekTo(offset);
        case soFromCurrent:
            if (offset == 0) return Position();
            return SeekTo(SaturatingAdd(Position(), offset));
        case soFromEnd:
            return SeekTo(SaturatingAdd(static_cast<std::int64_t>(inner_.size()), offset));
        default:
            throw Exception("Invalid seek origin");
    }
}

std::vector<std::uint8_t> EncipherBytes(TCryptography& cipher, std::span<const std::uint8_t> plain) {
    TMemorySink sink;
    {
        TEncryptionStream stream(sink, cipher);
        stream.WriteBuffer(plain.data(), plain.size());
        stream.Finish();
    }
    return sink.Take();
}

std::vector<std::uint8_t> DecipherBytes(TCryptography& cipher, std::span<const std::uint8_t> enciphered) {
    TDecryptionStream stream(enciphered, cipher);
    std::vector<std::uint8_t> plain(enciphered.size());
    std::size_t got = 0;
    while (got < plain.size()) {
        const std::size_t n = stream.Read(plain.data() + got, plain.size() - got);
        if (n == 0) break;
        got += n;
    }
    plain.resize(got);
    return plain;
}

}  // namespace qv

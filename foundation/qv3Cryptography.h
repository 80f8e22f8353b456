// The program's block cipher and its streams.
//
// TCryptography is the base: it keeps the key text, folds it into a key
// buffer of fixed size, and runs string and buffer operations block by block
// (electronic code book) over the block operations of a concrete cipher.
// TBlowfish is the one concrete cipher: Blowfish's structure with its own
// tables, round function and byte order. Every enciphered file of the program
// is made with it, so all three are part of those formats.
//
// TEncryptionStream and TDecryptionStream put the cipher between a writer or
// reader and the stored bytes; an enciphered stream is always a whole number
// of blocks long, its last block completed with zero bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace qv {

// The key text a cipher starts from before its own key is set.
inline constexpr const char* kDefaultKeyText = "qvxorb";

// Where enciphered (or deciphered) bytes go.
class TByteSink {
public:
    virtual ~TByteSink() = default;
    // Takes up to `count` bytes; returns how many were taken.
    virtual std::size_t Write(const std::uint8_t* data, std::size_t count) = 0;
};

// A sink that collects everything in memory.
class TMemorySink : public TByteSink {
public:
    std::size_t Write(const std::uint8_t* data, std::size_t count) override;
    const std::vector<std::uint8_t>& Data() const { return data_; }
    std::vector<std::uint8_t> Take() { return std::move(data_); }

private:
    std::vector<std::uint8_t> data_;
};

class TCryptography {
public:
    // Fills up to `count` bytes of `buffer`; returns how many (0 at the end).
    using TReader = std::function<std::size_t(std::uint8_t* buffer, std::size_t count)>;
    // Takes `count` bytes of `buffer`; returns how many were taken.
    using TWriter = std::function<std::size_t(const std::uint8_t* buffer, std::size_t count)>;

    virtual ~TCryptography() = default;
    TCryptography(const TCryptography&) = delete;
    TCryptography& operator=(const TCryptography&) = delete;

    const std::string& Name() const { return name_; }
    std::size_t BlockSize() const { return blockSize_; }
    std::size_t KeyBufferSize() const { return keyBuffer_.size(); }
    std::span<const std::uint8_t> KeyBuffer() const { return keyBuffer_; }
    const std::string& KeyText() const { return keyText_; }
    // Size of the working buffer of the string and buffer operations.
    std::size_t BufferSize() const { return workSize_; }

    // Rounds down to a multiple of the block size; below 256, 256 rounded down.
    void SetBufferSize(std::int64_t size);
    // A non-empty key text that differs from the current one is folded into
    // the key buffer (on top of what it holds) and the cipher's tables are
    // derived again. The key text is stored in every case.
    void SetKey(const std::string& keyText);

    // Encipher or decipher one block in place; false stops the operation.
    virtual bool EncryptBlock(std::uint8_t* block) = 0;
    virtual bool DecryptBlock(std::uint8_t* block) = 0;

    // Replace `text` by its encryption or decryption. The result is a whole
    // number of blocks: a last partial block is completed with zero bytes.
    void EncryptString(std::string& text);
    void DecryptString(std::string& text);
    void EncryptStream(std::span<const std::uint8_t> input, TByteSink& output);
    void DecryptStream(std::span<const std::uint8_t> input, TByteSink& output);
    void EncryptBuffers(const TWriter& writer, const TReader& reader);
    void DecryptBuffers(const TWriter& writer, const TReader& reader);

protected:
    TCryptography() = default;
    // Called by the concrete cipher's constructor, once its own state exists.
    void Init(const std::string& name, std::size_t blockSize, const std::string& keyText, std::size_t keyBufferSize);
    void FoldKey();
    virtual void KeySetup() = 0;

private:
    void Transform(bool encrypt, const TWriter& writer, const TReader& reader);

    std::size_t blockSize_ = 0;
    std::string keyText_;
    std::size_t workSize_ = 0;
    std::vector<std::uint8_t> keyBuffer_;
    std::string name_;
};

// Which tables, round function and word order a TBlowfish uses: the
// program's own, or those of the published algorithm (only for checking the
// rounds and the key schedule against the published test vectors).
enum class TBlowfishFlavour { Program, Published };

inline constexpr std::size_t kBlowfishTableWords = 18 + 4 * 256;

// The program's initial P-array and S-boxes, in that order: the fractional
// hexadecimal digits of pi in 32-bit words, each word's bytes reversed.
const std::array<std::uint32_t, kBlowfishTableWords>& BlowfishInitialTables();

class TBlowfish final : public TCryptography {
public:
    explicit TBlowfish(const std::string& keyText, TBlowfishFlavour flavour = TBlowfishFlavour::Program);

    bool EncryptBlock(std::uint8_t* block) override;
    bool DecryptBlock(std::uint8_t* block) override;

protected:
    void KeySetup() override;

private:
    template <bool Program>
    std::uint32_t F(std::uint32_t x) const;
    template <bool Program>
    void CryptWords(std::uint32_t& left, std::uint32_t& right, int start, int step) const;
    void Crypt(std::uint8_t* block, int start, int step) const;

    bool program_;
    std::array<std::uint32_t, 18> P_{};
    std::array<std::array<std::uint32_t, 256>, 4> S_{};
};

// The common state of the two cipher streams: the cipher (not owned) and a
// buffer of one block.
class TBasicCryptographyStream {
public:
    TBasicCryptographyStream(const TBasicCryptographyStream&) = delete;
    TBasicCryptographyStream& operator=(const TBasicCryptographyStream&) = delete;

protected:
    explicit TBasicCryptographyStream(TCryptography& cipher);
    ~TBasicCryptographyStream() = default;

    TCryptography& cipher_;
    std::vector<std::uint8_t> buffer_;
    std::size_t count_ = 0;  // bytes held in the buffer
};

// Write-only: bytes are collected into blocks, and each full block is
// enciphered and handed to the inner sink. The last block is completed with
// zero bytes by Finish, or failing that by the destructor.
class TEncryptionStream : public TBasicCryptographyStream {
public:
    // Neither `inner` nor `cipher` is owned; both must outlive the stream.
    TEncryptionStream(TByteSink& inner, TCryptography& cipher);
    // Completes a pending block; a failure here goes unreported, so callers
    // that need to know call Finish first.
    ~TEncryptionStream();

    // Returns the number of bytes taken into the block buffer. Once the inner
    // sink has refused a block the stream is failed and takes nothing more.
    std::size_t Write(const void* data, std::size_t count);
    // Write, throwing EStreamError unless every byte was taken and the
    // stream has not failed.
    void WriteBuffer(const void* data, std::size_t count);
    // Completes the last block with zero bytes and hands it on; throws
    // EStreamError when any block could not be handed on.
    void Finish();
    bool Failed() const { return failed_; }

private:
    TByteSink& inner_;
    bool failed_ = false;
};

inline constexpr int soFromBeginning = 0;
inline constexpr int soFromCurrent = 1;
inline constexpr int soFromEnd = 2;

// Read-only and seekable, over enciphered bytes held in memory. Only whole
// blocks are deciphered: a trailing partial block is never delivered.
class TDecryptionStream : public TBasicCryptographyStream {
public:
    // Neither the bytes nor `cipher` are owned; both must outlive the stream.
    TDecryptionStream(std::span<const std::uint8_t> inner, TCryptography& cipher);

    // Returns the number of bytes delivered; fewer than asked at the end.
    std::size_t Read(void* buffer, std::size_t count);
    // Moves to a plaintext position (origins soFromBeginning, soFromCurrent,
    // soFromEnd; the end is that of the padded inner bytes) and returns the
    // position reached. A target before the start counts as 0; any other
    // origin throws Exception "Invalid seek origin".
    std::int64_t Seek(std::int64_t offset, int origin);
    // The plaintext position: bytes delivered since the start (or the seek).
    std::int64_t Position() const;

private:
    std::int64_t SeekTo(std::int64_t target);

    std::span<const std::uint8_t> inner_;
    std::uint64_t innerPos_ = 0;  // next block to read; a multiple of the block size
    std::size_t readPtr_ = 0;     // bytes of the buffered block already delivered
};

// A whole message through the streams: the plain bytes enciphered with
// `cipher` (the last block completed with zero bytes), and enciphered bytes
// deciphered as far as whole blocks go.
std::vector<std::uint8_t> EncipherBytes(TCryptography& cipher, std::span<const std::uint8_t> plain);
std::vector<std::uint8_t> DecipherBytes(TCryptography& cipher, std::span<const std::uint8_t> enciphered);

}  // namespace qv

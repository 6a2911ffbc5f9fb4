#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace SlimJpeg {

// A buffered byte sink. The derived class supplies Write (one full or, at the end, partial buffer at
// a time) and Close. Nothing is flushed on destruction: only Finish completes a stream.
class OStream {
public:
    static constexpr size_t kBufferSize = 1024;

    OStream();
    virtual ~OStream();
    OStream(const OStream&) = delete;
    OStream& operator=(const OStream&) = delete;

    virtual void Write(const uint8_t* data, size_t count) = 0;
    virtual void Close() = 0;

    void PutByte(uint8_t byte) {
        if (pos_ == end_) FlushBuffer();
        *pos_++ = byte;
    }
    void PutWord(uint16_t value) {
        PutByte(static_cast<uint8_t>(value >> 8));
        PutByte(static_cast<uint8_t>(value));
    }
    void PutBytes(const void* data, size_t count);
    // Hands the partly filled buffer to Write, then calls Close.
    void Finish();

private:
    void FlushBuffer();

    std::unique_ptr<uint8_t[]> buffer_;
    uint8_t* pos_;
    uint8_t* end_;
};

}  // namespace SlimJpeg

namespace kv {

// A sink into a growable memory file; the owner takes the finished bytes afterwards.
class OQZStream : public SlimJpeg::OStream {
public:
    void Write(const uint8_t* data, size_t count) override;
    void Close() override {}

    const std::vector<uint8_t>& bytes() const { return file_; }
    std::vector<uint8_t> TakeBytes() { return std::move(file_); }
    uint64_t totalWritten() const { return total_; }

private:
    std::vector<uint8_t> file_;
    uint64_t total_ = 0;
};

}  // namespace kv

#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace SlimJpeg {

// A buffered byte source. The derived class only supplies Read; the codec takes bytes one at a time
// and may push a few back. A refill keeps the first kPushBack bytes of the buffer free, so after any
// refill at least that many bytes can be pushed back.
class IStream {
public:
    static constexpr size_t kBufferSize = 1024;
    static constexpr size_t kPushBack = 4;

    IStream();
    virtual ~IStream();
    IStream(const IStream&) = delete;
    IStream& operator=(const IStream&) = delete;

    // Copies up to capacity bytes of the real source into destination; 0 or less means exhausted.
    virtual int Read(uint8_t* destination, int capacity) = 0;

    // The next byte; throws Error when the source is exhausted.
    uint8_t GetByte() {
        if (pos_ == end_ && !Refill()) ThrowExhausted();
        return *pos_++;
    }
    // The next byte, or -1 when the source is exhausted.
    int TryGetByte() {
        if (pos_ == end_ && !Refill()) return -1;
        return *pos_++;
    }
    // A 16-bit big-endian value.
    uint16_t GetWord() {
        const unsigned high = GetByte();
        return static_cast<uint16_t>((high << 8) | GetByte());
    }
    // Skips count bytes; throws when the source ends first.
    void Skip(size_t count);
    // Pushes a byte back so that it is read next; throws at the buffer start.
    void Unget(uint8_t byte);
    // As Unget, but reports instead of throwing when there is no room.
    bool TryUnget(uint8_t byte) noexcept;

private:
    bool Refill();
    [[noreturn]] static void ThrowExhausted();

    std::unique_ptr<uint8_t[]> buffer_;
    uint8_t* pos_;
    uint8_t* end_;
};

}  // namespace SlimJpeg

namespace kv {

// A source over a caller-owned memory block, which must outlive the stream.
class IQZStreamMem : public SlimJpeg::IStream {
public:
    IQZStreamMem(const void* data, size_t size) : data_(static_cast<const uint8_t*>(data)), size_(size) {}
    int Read(uint8_t* destination, int capacity) override;

private:
    const uint8_t* data_;
    size_t size_;
    size_t delivered_ = 0;
};

}  // namespace kv

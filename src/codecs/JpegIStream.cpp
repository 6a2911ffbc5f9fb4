#include "codecs/JpegIStream.h"

#include <algorithm>
#include <cstring>

#include "codecs/JpegError.h"

namespace SlimJpeg {

IStream::IStream() : buffer_(new uint8_t[kBufferSize]), pos_(buffer_.get()), end_(buffer_.get()) {}

IStream::~IStream() = default;

bool IStream::Refill() {
    uint8_t* const start = buffer_.get();
    uint8_t* const to = std::min(start + kPushBack, end_);
    const int count = Read(to, static_cast<int>(start + kBufferSize - to));
    if (count <= 0) return false;
    pos_ = to;
    end_ = to + std::min<size_t>(static_cast<size_t>(count), static_cast<size_t>(start + kBufferSize - to));
    return true;
}

void IStream::ThrowExhausted() { Fail(); }

void IStream::Skip(size_t count) {
    while (count > 0) {
        if (pos_ == end_ && !Refill()) Fail();
        const size_t step = std::min(count, static_cast<size_t>(end_ - pos_));
        pos_ += step;
        count -= step;
    }
}

void IStream::Unget(uint8_t byte) {
    if (!TryUnget(byte)) Fail();
}

bool IStream::TryUnget(uint8_t byte) noexcept {
    if (pos_ == buffer_.get()) return false;
    *--pos_ = byte;
    return true;
}

}  // namespace SlimJpeg

namespace kv {

int IQZStreamMem::Read(uint8_t* destination, int capacity) {
    if (capacity <= 0) return 0;
    const size_t count = std::min(static_cast<size_t>(capacity), size_ - delivered_);
    if (count > 0) std::memcpy(destination, data_ + delivered_, count);
    delivered_ += count;
    return static_cast<int>(count);
}

}  // namespace kv

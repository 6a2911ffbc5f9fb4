#include "codecs/JpegOStream.h"

#include <algorithm>
#include <cstring>

namespace SlimJpeg {

OStream::OStream() : buffer_(new uint8_t[kBufferSize]), pos_(buffer_.get()), end_(buffer_.get() + kBufferSize) {}

OStream::~OStream() = default;

void OStream::FlushBuffer() {
    const size_t count = static_cast<size_t>(pos_ - buffer_.get());
    pos_ = buffer_.get();
    if (count > 0) Write(buffer_.get(), count);
}

void OStream::PutBytes(const void* data, size_t count) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    while (count > 0) {
        if (pos_ == end_) FlushBuffer();
        const size_t step = std::min(count, static_cast<size_t>(end_ - pos_));
        std::memcpy(pos_, bytes, step);
        pos_ += step;
        bytes += step;
        count -= step;
    }
}

void OStream::Finish() {
    FlushBuffer();
    Close();
}

}  // namespace SlimJpeg

namespace kv {

void OQZStream::Write(const uint8_t* data, size_t count) {
    file_.insert(file_.end(), data, data + count);
    total_ += count;
}

}  // namespace kv

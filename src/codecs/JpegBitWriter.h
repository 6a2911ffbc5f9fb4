#pragma once

#include <cstdint>

#include "codecs/JpegOStream.h"

namespace SlimJpeg {

// Packs entropy-coded bits most significant first and writes them out as whole bytes, each FF byte
// followed by a stuffed 00 so that it cannot be taken for a marker.
class BitWriter {
public:
    explicit BitWriter(OStream& stream) : stream_(&stream) {}

    // Appends the low count bits of bits (count 0 to 32). When bytes go out makes no difference to
    // the bytes, so they are written once enough have gathered.
    void Put(uint32_t bits, int count) {
        if (pending_ + count > 64) EmitWholeBytes();
        acc_ = (acc_ << count) | (bits & ((uint64_t{1} << count) - 1));
        pending_ += count;
    }

    void EmitWholeBytes() {
        while (pending_ >= 8) {
            const auto byte = static_cast<uint8_t>(acc_ >> (pending_ - 8));
            stream_->PutByte(byte);
            if (byte == 0xFF) stream_->PutByte(0);
            pending_ -= 8;
        }
    }

    // Pads the last byte with 1-bits and writes it; the pad bits left over are dropped.
    void Finish() {
        Put(0x7F, 7);
        EmitWholeBytes();
        pending_ = 0;
    }

private:
    uint64_t acc_ = 0;  // the low pending_ bits are still to be written
    int pending_ = 0;
    OStream* stream_;
};

}  // namespace SlimJpeg

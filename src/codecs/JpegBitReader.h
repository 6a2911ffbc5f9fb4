#pragma once

#include <cstdint>

#include "codecs/HuffmanDecodeTable.h"
#include "codecs/JpegError.h"
#include "codecs/JpegIStream.h"

namespace SlimJpeg {

// Reads the entropy-coded bits of a scan, most significant first. Stuffed FF 00 pairs yield FF; a
// marker (FF followed by anything else) or the end of the source stops the intake without consuming
// the marker, so the bits before it can still be decoded and the marker is found again afterwards.
// Asking for more bits than remain before that point throws.
class BitReader {
public:
    explicit BitReader(IStream& stream) : stream_(&stream) {}

    // Appends whole bytes until more than 56 bits are held or the intake stops.
    void Fill() {
        while (bits_ <= 56 && !stopped_) {
            int byte = stream_->TryGetByte();
            if (byte == 0xFF) byte = StuffedOrMarker();
            if (byte < 0) {
                stopped_ = true;
                return;
            }
            acc_ |= static_cast<uint64_t>(byte) << (56 - bits_);
            bits_ += 8;
        }
    }

    // True when at least 32 bits are held: enough for one code and its value bits without checks.
    bool Ensure32() {
        if (bits_ < 32) Fill();
        return bits_ >= 32;
    }

    // One symbol with at least 16 bits held.
    int DecodeFast(const HuffmanDecodeTable& table) {
        const unsigned entry = table.lookahead[acc_ >> 56];
        if (entry != 0) {
            Consume(static_cast<int>(entry >> 8));
            return static_cast<int>(entry & 0xFF);
        }
        return DecodeLong(table);
    }

    // s bits (1 to 16) as a signed coefficient value, with at least s bits held.
    int32_t ReceiveExtendFast(int s) {
        const int32_t value = static_cast<int32_t>(acc_ >> (64 - s));
        Consume(s);
        // A value whose top bit is clear stands for value - 2^s + 1.
        return value + ((static_cast<int32_t>(value >> (s - 1)) - 1) & (1 - (int32_t{1} << s)));
    }

    // The same two steps near the end of the data, where every bit is counted.
    int DecodeChecked(const HuffmanDecodeTable& table);
    int32_t ReceiveExtendChecked(int s) {
        if (s > bits_) Fail();
        return ReceiveExtendFast(s);
    }

    // Drops the bits up to the next byte boundary and whatever whole bytes are still held, and lets
    // the intake resume after a marker has been read.
    void Restart() {
        acc_ = 0;
        bits_ = 0;
        stopped_ = false;
    }

    // Hands the whole bytes still held back to the stream, as far as its push-back room allows.
    void ReturnWholeBytes() noexcept;

    IStream& stream() { return *stream_; }

private:
    void Consume(int n) {
        acc_ <<= n;
        bits_ -= n;
    }
    // After an FF: the data byte FF for a stuffed FF 00; otherwise the marker is pushed back and -1
    // stops the intake.
    int StuffedOrMarker();
    // A code longer than 8 bits, with at least 16 bits held.
    int DecodeLong(const HuffmanDecodeTable& table);

    uint64_t acc_ = 0;  // held bits, left-aligned; the bits below them are zero
    int bits_ = 0;
    bool stopped_ = false;
    IStream* stream_;
};

}  // namespace SlimJpeg

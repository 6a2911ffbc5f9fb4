#include "codecs/JpegBitReader.h"

namespace SlimJpeg {

int BitReader::StuffedOrMarker() {
    const int next = stream_->TryGetByte();
    if (next == 0) return 0xFF;
    // Right after two reads there is always room for two bytes of push-back.
    if (next >= 0) stream_->Unget(static_cast<uint8_t>(next));
    stream_->Unget(0xFF);
    return -1;
}

int BitReader::DecodeLong(const HuffmanDecodeTable& table) {
    for (int length = 9; length <= 16; ++length) {
        const int32_t code = static_cast<int32_t>(acc_ >> (64 - length));
        if (code <= table.maxCode[length]) {
            Consume(length);
            return table.symbols[(code - table.valueOffset[length]) & 0xFF];
        }
    }
    Fail();
}

int BitReader::DecodeChecked(const HuffmanDecodeTable& table) {
    Fill();
    // The bits below the held ones are zero, so a short tail still indexes the lookahead; the code
    // found must fit in the bits actually held.
    const unsigned entry = table.lookahead[acc_ >> 56];
    if (entry != 0 && static_cast<int>(entry >> 8) <= bits_) {
        Consume(static_cast<int>(entry >> 8));
        return static_cast<int>(entry & 0xFF);
    }
    if (bits_ < 9) Fail();
    for (int length = 9; length <= 16 && length <= bits_; ++length) {
        const int32_t code = static_cast<int32_t>(acc_ >> (64 - length));
        if (code <= table.maxCode[length]) {
            Consume(length);
            return table.symbols[(code - table.valueOffset[length]) & 0xFF];
        }
    }
    Fail();
}

void BitReader::ReturnWholeBytes() noexcept {
    // The held bits are the rest of a partly used byte followed by the whole bytes.
    const int partial = bits_ % 8;
    for (int n = bits_ / 8; n > 0; --n) {
        const auto byte = static_cast<uint8_t>(acc_ >> (64 - partial - 8 * n));
        if (!stream_->TryUnget(byte)) return;
    }
}

}  // namespace SlimJpeg

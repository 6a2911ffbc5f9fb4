#include "codecs/HuffmanDecodeTable.h"

#include "codecs/JpegError.h"

namespace SlimJpeg {

HuffmanDecodeTable::HuffmanDecodeTable(const HuffmanTable& table) {
    symbolCount = table.symbolCount();
    if (symbolCount < 0 || symbolCount > 255) Fail();
    symbols = table.symbols;

    int32_t code = 0;
    int index = 0;
    for (int length = 1; length <= 16; ++length) {
        const int count = table.counts[length - 1];
        if (count < 0 || count > symbolCount - index) Fail();
        valueOffset[length] = code - index;
        // Codes of this length run from code to code + count - 1; more than the length can express
        // would make two codes share a prefix, so such a table is refused outright.
        if (code + count > (int32_t{1} << length)) Fail();
        for (int i = 0; i < count; ++i, ++code, ++index) {
            if (length <= 8) {
                const int shift = 8 - length;
                const uint16_t entry = static_cast<uint16_t>((length << 8) | symbols[index]);
                for (int fill = 0; fill < (1 << shift); ++fill) lookahead[(code << shift) | fill] = entry;
            }
        }
        maxCode[length] = count > 0 ? code - 1 : -1;
        code <<= 1;
    }
    maxCode[17] = INT32_MAX;
}

}  // namespace SlimJpeg

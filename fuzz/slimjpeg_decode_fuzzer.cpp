// Arbitrary bytes through the own JPEG decoder: the header, then every row. The work an input can
// cause is bounded by its size, since every block takes at least two bits of the scan.
#include <cstddef>
#include <cstdint>

#include "codecs/SlimJpegDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        kv::IQZStreamMem stream(data, size);
        unsigned width = 0, height = 0;
        uint8_t colour = 0;
        int unit = 0;
        uint16_t x = 0, y = 0;
        auto decoder = SlimJpeg::CreateDecoder(stream, &width, &height, &colour, &unit, &x, &y);
        const size_t rowBytes = static_cast<size_t>(width) * (colour ? 3 : 1);
        for (unsigned row = 0; row < height; ++row) {
            const uint8_t* pixels = decoder->ReadRow();
            // Touch both ends of the row so that a short buffer shows.
            volatile uint8_t sink = pixels[0];
            sink = pixels[rowBytes - 1];
            (void)sink;
        }
    } catch (const SlimJpeg::Error&) {
    }
    return 0;
}

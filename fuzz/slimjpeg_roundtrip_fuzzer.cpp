// Whatever the own JPEG decoder accepts is encoded again (at a quality and in a form the input's
// last byte picks) and decoded once more: the second decode must succeed with the same size.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "codecs/JpegCoder.h"
#include "codecs/SlimJpegDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t choice = data[size - 1];
    std::vector<uint8_t> pixels;
    unsigned width = 0, height = 0;
    uint8_t colour = 0;
    try {
        kv::IQZStreamMem stream(data, size);
        auto decoder = SlimJpeg::CreateDecoder(stream, &width, &height, &colour, nullptr, nullptr, nullptr);
        // Keeping a large image whole would only slow the fuzzer down.
        if (static_cast<uint64_t>(width) * height > (uint64_t{1} << 22)) return 0;
        const size_t rowBytes = static_cast<size_t>(width) * (colour ? 3 : 1);
        pixels.resize(rowBytes * height);
        for (unsigned y = 0; y < height; ++y) {
            const uint8_t* row = decoder->ReadRow();
            std::copy(row, row + rowBytes, pixels.begin() + static_cast<ptrdiff_t>(rowBytes * y));
        }
    } catch (const SlimJpeg::Error&) {
        return 0;
    }

    kv::OQZStream out;
    const int quality = choice % 102;
    const bool chroma422 = (choice & 0x40) != 0;
    const bool singleDqt = (choice & 0x80) != 0;
    auto coder = SlimJpeg::CreateCoder(out, width, height, colour != 0, quality, chroma422, singleDqt, 2, 300, 300);
    const size_t rowBytes = static_cast<size_t>(width) * (colour ? 3 : 1);
    for (unsigned y = 0; y < height; ++y) coder->WriteRow(pixels.data() + rowBytes * y);

    kv::IQZStreamMem again(out.bytes().data(), out.bytes().size());
    unsigned width2 = 0, height2 = 0;
    uint8_t colour2 = 0;
    auto decoder = SlimJpeg::CreateDecoder(again, &width2, &height2, &colour2, nullptr, nullptr, nullptr);
    if (width2 != width || height2 != height || colour2 != colour) std::abort();
    for (unsigned y = 0; y < height; ++y) decoder->ReadRow();
    return 0;
}

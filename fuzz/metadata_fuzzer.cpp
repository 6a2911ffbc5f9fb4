// Reads the property items of arbitrary bytes as a JPEG, PNG and TIFF file, then writes whatever
// items came out into small files of each of those formats and reads them back.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imageio/Encoders.h"
#include "imageio/PixelConvert.h"
#include "imageio/PropertyItems.h"

namespace {

std::vector<uint8_t> SmallFile(kv::ImageFormat format) {
    kv::PixelBuffer pixels;
    kv::AllocatePixels(pixels, 8, 8, kv::PixelFormat24bppRGB);
    std::vector<uint8_t> out;
    std::string error;
    kv::Encode(pixels, format, 50, 72, 72, out, error);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const kv::ImageFormat kFormats[] = {kv::ImageFormat::Jpeg, kv::ImageFormat::Png, kv::ImageFormat::Tiff};
    static const std::vector<uint8_t> kTargets[] = {SmallFile(kv::ImageFormat::Jpeg), SmallFile(kv::ImageFormat::Png),
                                                    SmallFile(kv::ImageFormat::Tiff)};
    const kv::MemoryReader reader(std::make_shared<const std::vector<uint8_t>>(data, data + size));
    for (const kv::ImageFormat format : kFormats) {
        const auto items = kv::ReadPropertyItems(reader, format);
        if (items.empty()) continue;
        for (size_t i = 0; i < 3; ++i) {
            std::vector<uint8_t> file = kTargets[i];
            std::string error;
            if (kv::EmbedPropertyItems(file, kFormats[i], items, error))
                kv::ReadPropertyItems(kv::MemoryReader(std::make_shared<const std::vector<uint8_t>>(std::move(file))), kFormats[i]);
        }
    }
    return 0;
}

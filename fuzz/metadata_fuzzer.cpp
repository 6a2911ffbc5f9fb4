// Reads the property items of arbitrary bytes as a JPEG, PNG and TIFF file, with what the file
// carries beyond them (maker note groups, XMP, IPTC, Photoshop resources, comment), then writes
// whatever came out into small files of each of those formats and reads them back. The same bytes
// also make a list of items of any tag, type and length, written the same way.
#include <algorithm>
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

// Records of tag (2 bytes), type (1), length (1) and value.
std::vector<kv::PropertyItem> ItemsFromBytes(const uint8_t* data, size_t size) {
    std::vector<kv::PropertyItem> items;
    size_t pos = 0;
    while (pos + 4 <= size && items.size() < 64) {
        kv::PropertyItem item;
        item.id = static_cast<uint32_t>(data[pos] | data[pos + 1] << 8);
        item.type = data[pos + 2] % 14;
        const size_t length = std::min<size_t>(data[pos + 3], size - pos - 4);
        item.value.assign(data + pos + 4, data + pos + 4 + length);
        pos += 4 + length;
        items.push_back(std::move(item));
    }
    return items;
}

void WriteAndReadBack(const std::vector<kv::PropertyItem>& items, const kv::CarriedMetadata* carried = nullptr) {
    static const kv::ImageFormat kFormats[] = {kv::ImageFormat::Jpeg, kv::ImageFormat::Png, kv::ImageFormat::Tiff};
    static const std::vector<uint8_t> kTargets[] = {SmallFile(kv::ImageFormat::Jpeg), SmallFile(kv::ImageFormat::Png),
                                                    SmallFile(kv::ImageFormat::Tiff)};
    for (size_t i = 0; i < 3; ++i) {
        std::vector<uint8_t> file = kTargets[i];
        std::string error;
        std::shared_ptr<const kv::CarriedMetadata> back;
        if (kv::EmbedPropertyItems(file, kFormats[i], items, error, carried))
            kv::ReadPropertyItems(kv::MemoryReader(std::make_shared<const std::vector<uint8_t>>(std::move(file))), kFormats[i],
                                  &back);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const kv::MemoryReader reader(std::make_shared<const std::vector<uint8_t>>(data, data + size));
    for (const kv::ImageFormat format : {kv::ImageFormat::Jpeg, kv::ImageFormat::Png, kv::ImageFormat::Tiff}) {
        std::shared_ptr<const kv::CarriedMetadata> carried;
        const auto items = kv::ReadPropertyItems(reader, format, &carried);
        if (!items.empty() || carried) WriteAndReadBack(items, carried.get());
    }
    WriteAndReadBack(ItemsFromBytes(data, size));
    return 0;
}

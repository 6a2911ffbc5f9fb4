// Arbitrary bytes as a JPEG and as a TIFF file held in memory: the Exif segment and directory
// finders, both embedded-thumbnail readers at two box sizes, and the capture date and the named
// camera details through the imaging layer. A thumbnail that does not fit its box aborts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "imageio/Bitmap.h"
#include "imageio/ExifDate.h"
#include "imageio/ExifFinders.h"
#include "imageio/ExifThumbnail.h"
#include "imageio/ImageInfoItems.h"

namespace {

void CheckFits(const kv::ExifThumbnail& thumb, kv::ThumbSize asked, kv::ThumbSize box) {
    if (!thumb.image) return;
    const bool fills = box.width == asked.width || box.height == asked.height;
    if (!fills || box.width > asked.width || box.height > asked.height ||
        thumb.image->width() != static_cast<int32_t>(box.width) ||
        thumb.image->height() != static_cast<int32_t>(box.height))
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        // Small enough that a hostile preview header cannot make one input take seconds.
        kv::SetDecodePixelLimit(uint64_t{1} << 18);
        kv::InitialiseImaging();
        return true;
    }();
    (void)ready;

    const auto bytes = std::make_shared<const std::vector<uint8_t>>(data, data + size);
    const kv::MemoryReader file(bytes);
    (void)kv::FindExifSegment(file);
    (void)kv::FindExifIfdOffset(file);
    for (const kv::ThumbSize asked : {kv::kDefaultThumbnailBox, kv::ThumbSize{3, 700}}) {
        uint32_t width = 0, height = 0;
        kv::ThumbSize box = asked;
        CheckFits(kv::ReadJpegExifThumbnail(file, box, width, height), asked, box);
        box = asked;
        CheckFits(kv::ReadTiffExifThumbnail(file, box, width, height), asked, box);
    }

    const std::unique_ptr<kv::Bitmap> image = kv::Bitmap::FromMemory(bytes);
    int64_t time = 0;
    (void)kv::GetExifDateTime(*image, time);
    for (const kv::ImageInfoItem& item : kv::CollectImageInfoItems(image->GetAllPropertyItems())) (void)item;
    return 0;
}

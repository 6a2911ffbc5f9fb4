// Arbitrary bytes as an image file held in memory: opened through the Bitmap, then every cheap
// query, a full 24-bit lock, the property items, the palette and a thumbnail.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "imageio/Bitmap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        // Small enough that a hostile header cannot make one input take seconds.
        kv::SetDecodePixelLimit(uint64_t{1} << 18);
        kv::InitialiseImaging();
        return true;
    }();
    (void)ready;

    auto bitmap = kv::Bitmap::FromMemory(std::vector<uint8_t>(data, data + size));
    if (bitmap->GetLastStatus() != kv::Status::Ok) return 0;
    const int32_t width = bitmap->GetWidth(), height = bitmap->GetHeight();
    (void)bitmap->GetFlags();
    (void)bitmap->GetHorizontalResolution();

    kv::BitmapData lock;
    if (bitmap->LockBits({0, 0, width, height}, kv::ImageLockMode::Read, kv::PixelFormat24bppRGB, &lock) ==
        kv::Status::Ok) {
        // Touch the first and the last pixel so that a short buffer shows.
        volatile uint8_t sink = lock.scan0[0];
        sink = lock.scan0[static_cast<ptrdiff_t>(height - 1) * lock.stride + 3 * (width - 1) + 2];
        (void)sink;
        bitmap->UnlockBits(&lock);
    }
    for (const auto& item : bitmap->GetAllPropertyItems()) (void)item.length();
    (void)bitmap->GetPalette();
    (void)bitmap->GetThumbnailImage(16, 12);
    return 0;
}

#include "imageio/ThumbnailDib.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <stdexcept>
#include <vector>

namespace kv {

namespace {

constexpr int32_t kPixelsPerMetre72Dpi = 2835;

}  // namespace

ThumbSize FitIntoBox(ThumbSize source, ThumbSize box) {
    const uint64_t sw = source.width, sh = source.height, bw = box.width, bh = box.height;
    uint64_t w, h;
    if (bh * sw <= bw * sh) {
        h = bh;
        w = bh * sw / sh;
    } else {
        w = bw;
        h = bw * sh / sw;
    }
    return {static_cast<uint32_t>(std::max<uint64_t>(w, 1)), static_cast<uint32_t>(std::max<uint64_t>(h, 1))};
}

DibImagePtr BuildNearestThumbnail(ThumbSize source, int channels, ThumbSize size, const ThumbnailRowSource& nextRow) {
    if (size.width == 0 || size.height == 0 || size.width > kMaxThumbnailSide || size.height > kMaxThumbnailSide ||
        source.width == 0 || source.height == 0)
        throw std::length_error("no thumbnail of that size");
    const int32_t stride = DibImage::StrideFor(24, static_cast<int32_t>(size.width));
    const size_t imageBytes = static_cast<size_t>(stride) * size.height;
    auto* header = static_cast<BitmapInfoHeader*>(std::malloc(sizeof(BitmapInfoHeader) + imageBytes));
    if (!header) throw std::bad_alloc();
    *header = {};
    header->biSize = sizeof(BitmapInfoHeader);
    header->biWidth = static_cast<int32_t>(size.width);
    header->biHeight = static_cast<int32_t>(size.height);
    header->biPlanes = 1;
    header->biBitCount = 24;
    header->biSizeImage = static_cast<uint32_t>(imageBytes);
    header->biXPelsPerMeter = kPixelsPerMetre72Dpi;
    header->biYPelsPerMeter = kPixelsPerMetre72Dpi;
    DibImagePtr dib;
    try {
        dib = DibImagePtr(new DibImage(header, false));
    } catch (...) {
        std::free(header);
        throw;
    }
    uint8_t* bits = dib->bits();

    std::vector<uint32_t> column(size.width);
    for (uint32_t c = 0; c < size.width; ++c)
        column[c] = static_cast<uint32_t>(uint64_t{c} * source.width / size.width) * static_cast<uint32_t>(channels);

    // Output rows are filled top-down, so the source rows they take come in order and each is
    // decoded once; the DIB itself is stored bottom row first.
    const uint8_t* row = nullptr;
    uint32_t rowIndex = 0;
    for (uint32_t t = 0; t < size.height; ++t) {
        const uint32_t wanted = static_cast<uint32_t>(uint64_t{t} * source.height / size.height);
        while (!row || rowIndex <= wanted) {
            row = nextRow();
            if (!row) return {};
            ++rowIndex;
        }
        uint8_t* out = bits + static_cast<size_t>(size.height - 1 - t) * stride;
        for (uint32_t c = 0; c < size.width; ++c, out += 3) {
            const uint8_t* p = row + column[c];
            if (channels == 1) {
                out[0] = out[1] = out[2] = p[0];
            } else {
                out[0] = p[2];
                out[1] = p[1];
                out[2] = p[0];
            }
        }
        std::fill(out, bits + static_cast<size_t>(size.height - t) * stride, uint8_t{0});
    }
    return dib;
}

}  // namespace kv

#include "document/ViewGeometry.h"

#include <cstdint>

#include "imageio/ResizeBitmap.h"

namespace kv {

namespace {

int32_t Down(int64_t value, int64_t from, int64_t to) { return static_cast<int32_t>(value * to / from); }
int32_t Up(int64_t value, int64_t from, int64_t to) { return static_cast<int32_t>((value * to + from - 1) / from); }

}  // namespace

ViewGeometry::ViewGeometry(PixelSize image, PixelSize output, bool crop) : image_(image), output_(output) {
    if (image.IsEmpty() || output.IsEmpty()) return;
    zoomed_ = crop ? CropCoverSize(output.width, output.height, image.width, image.height) : output;
    offset_ = {(zoomed_.width - output.width) / 2, (zoomed_.height - output.height) / 2};
}

bool ViewGeometry::IsEmpty() const { return zoomed_.IsEmpty(); }

double ViewGeometry::ZoomX() const { return IsEmpty() ? 0 : static_cast<double>(zoomed_.width) / image_.width; }

double ViewGeometry::ZoomY() const { return IsEmpty() ? 0 : static_cast<double>(zoomed_.height) / image_.height; }

PixelRect ViewGeometry::ImageRectOf(const PixelRect& content) const {
    if (IsEmpty()) return {};
    const PixelRect zoomed =
        content.Intersect({0, 0, output_.width, output_.height}).Offset(offset_.x, offset_.y);
    if (zoomed.IsEmpty()) return {};
    const PixelRect image{Down(zoomed.left, zoomed_.width, image_.width), Down(zoomed.top, zoomed_.height, image_.height),
                          Up(zoomed.right, zoomed_.width, image_.width), Up(zoomed.bottom, zoomed_.height, image_.height)};
    return image.Intersect({0, 0, image_.width, image_.height});
}

PixelRect ViewGeometry::ContentRectOf(const PixelRect& image) const {
    if (IsEmpty()) return {};
    const PixelRect part = image.Intersect({0, 0, image_.width, image_.height});
    if (part.IsEmpty()) return {};
    const PixelRect zoomed{Down(part.left, image_.width, zoomed_.width), Down(part.top, image_.height, zoomed_.height),
                           Up(part.right, image_.width, zoomed_.width), Up(part.bottom, image_.height, zoomed_.height)};
    return zoomed.Offset(-offset_.x, -offset_.y).Intersect({0, 0, output_.width, output_.height});
}

PixelRect ViewGeometry::KeptImageRect() const { return ImageRectOf({0, 0, output_.width, output_.height}); }

}  // namespace kv

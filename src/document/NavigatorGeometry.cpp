#include "document/NavigatorGeometry.h"

#include <cstdint>

namespace kv {

namespace {

int32_t Scaled(int64_t value, int64_t to, int64_t from) { return static_cast<int32_t>(value * to / from); }
int32_t ScaledUp(int64_t value, int64_t to, int64_t from) {
    return static_cast<int32_t>((value * to + from - 1) / from);
}

// A size fitted into a box with its aspect and centred there; rounded up or down.
PixelRect Centred(const PixelRect& box, PixelSize aspect, bool roundUp) {
    const int64_t w = box.Width(), h = box.Height();
    if (w <= 0 || h <= 0 || aspect.width <= 0 || aspect.height <= 0) return {};
    const auto scale = roundUp ? ScaledUp : Scaled;
    PixelSize size;
    if (h * aspect.width < w * aspect.height) size = {scale(h, aspect.width, aspect.height), static_cast<int32_t>(h)};
    else size = {static_cast<int32_t>(w), scale(w, aspect.height, aspect.width)};
    const int32_t left = box.left + (box.Width() - size.width) / 2;
    const int32_t top = box.top + (box.Height() - size.height) / 2;
    return {left, top, left + size.width, top + size.height};
}

}  // namespace

NavigatorGeometry::NavigatorGeometry(PixelSize client, const ViewGeometry& view) : view_(view) {
    if (view.IsEmpty()) return;
    image_ = Centred({0, 0, client.width, client.height}, view.Image(), false);
    allowed_ = view.Crops() ? Centred(image_, view.Content(), true) : image_;
}

PixelRect NavigatorGeometry::FrameOf(const PixelRect& visible) const {
    if (image_.IsEmpty()) return {};
    const PixelSize picture = image_.Size();
    const PixelSize full = view_.Image();
    return PixelRect{ScaledUp(visible.left, picture.width, full.width), ScaledUp(visible.top, picture.height, full.height),
                     ScaledUp(visible.right, picture.width, full.width),
                     ScaledUp(visible.bottom, picture.height, full.height)}
        .Offset(image_.left, image_.top);
}

bool NavigatorGeometry::ShowsFrame(const PixelRect& frame) const {
    return frame.Width() < image_.Width() || frame.Height() < image_.Height();
}

std::array<PixelLine, 4> NavigatorGeometry::Cross(const PixelRect& f) const {
    const int32_t middleX = (f.left + f.right) / 2;
    const int32_t middleY = (f.top + f.bottom) / 2;
    return {{{{f.left, middleY}, {image_.left, middleY}},
             {{f.right, middleY}, {image_.right, middleY}},
             {{middleX, f.top}, {middleX, image_.top}},
             {{middleX, f.bottom}, {middleX, image_.bottom}}}};
}

PixelRect NavigatorGeometry::Dragged(const PixelRect& frameAtPress, PixelPoint press, PixelPoint now) const {
    PixelRect frame = frameAtPress.Offset(now.x - press.x, now.y - press.y);
    if (frame.top < allowed_.top) frame = frame.Offset(0, allowed_.top - frame.top);
    if (frame.bottom > allowed_.bottom) frame = frame.Offset(0, allowed_.bottom - frame.bottom);
    if (frame.left < allowed_.left) frame = frame.Offset(allowed_.left - frame.left, 0);
    if (frame.right > allowed_.right) frame = frame.Offset(allowed_.right - frame.right, 0);
    return frame;
}

PixelPoint NavigatorGeometry::ScrollFor(const PixelRect& frame) const {
    if (image_.IsEmpty()) return {};
    const PixelSize zoomed = view_.Zoomed();
    const PixelPoint offset = view_.ContentOffset();
    PixelPoint scroll{ScaledUp(frame.left - image_.left, zoomed.width, image_.Width()) - offset.x,
                      ScaledUp(frame.top - image_.top, zoomed.height, image_.Height()) - offset.y};
    // A frame against the far edge of where it may go means the content's far edge, which scaling
    // up from the small picture can miss by a few content pixels; the view holds the position to
    // its largest.
    if (frame.right >= allowed_.right) scroll.x = view_.Content().width;
    if (frame.bottom >= allowed_.bottom) scroll.y = view_.Content().height;
    return scroll;
}

}  // namespace kv

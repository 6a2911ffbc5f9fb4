#include "document/ScrollGeometry.h"

#include <algorithm>

namespace kv {

PixelPoint ScrollGeometry::MaxScroll() const {
    return {std::max(0, content_.width - client_.width), std::max(0, content_.height - client_.height)};
}

PixelPoint ScrollGeometry::Clamp(PixelPoint scroll) const {
    const PixelPoint max = MaxScroll();
    return {std::clamp(scroll.x, 0, max.x), std::clamp(scroll.y, 0, max.y)};
}

PixelPoint ScrollGeometry::ContentOrigin(PixelPoint scroll) const {
    const PixelPoint at = Clamp(scroll);
    return {content_.width < client_.width ? (client_.width - content_.width) / 2 : -at.x,
            content_.height < client_.height ? (client_.height - content_.height) / 2 : -at.y};
}

PixelRect ScrollGeometry::VisibleContent(PixelPoint scroll) const {
    const PixelPoint origin = ContentOrigin(scroll);
    return PixelRect{0, 0, client_.width, client_.height}
        .Offset(-origin.x, -origin.y)
        .Intersect({0, 0, content_.width, content_.height});
}

PixelPoint ScrollGeometry::Panned(PixelPoint scrollAtPress, PixelPoint press, PixelPoint now) const {
    PixelPoint scroll = scrollAtPress;
    if (content_.width > client_.width) scroll.x += press.x - now.x;
    if (content_.height > client_.height) scroll.y += press.y - now.y;
    return Clamp(scroll);
}

}  // namespace kv

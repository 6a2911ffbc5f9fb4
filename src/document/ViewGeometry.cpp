#include "document/ViewGeometry.h"

#include <algorithm>

namespace kv {

namespace {

int32_t Down(int64_t a, int64_t b) { return static_cast<int32_t>(a / b); }
int32_t Up(int64_t a, int64_t b) { return static_cast<int32_t>((a + b - 1) / b); }

PixelRect Intersect(const PixelRect& a, const PixelRect& b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
}

}  // namespace

PixelRect OutputToImage(const PixelRect& r, const ViewSizes& s) {
    if (!s.IsValid()) return {};
    const int64_t W = s.imageWidth, H = s.imageHeight, w = s.outputWidth, h = s.outputHeight;
    const PixelRect mapped{Down(r.left * W, w), Down(r.top * H, h), Up(r.right * W, w), Up(r.bottom * H, h)};
    return Intersect(mapped, {0, 0, s.imageWidth, s.imageHeight});
}

PixelRect ImageToOutput(const PixelRect& r, const ViewSizes& s) {
    if (!s.IsValid()) return {};
    const int64_t W = s.imageWidth, H = s.imageHeight, w = s.outputWidth, h = s.outputHeight;
    return {Down(r.left * w, W), Down(r.top * h, H), Up(r.right * w, W), Up(r.bottom * h, H)};
}

KeptSize CropKeptSize(const ViewSizes& s) {
    const int64_t W = s.imageWidth, H = s.imageHeight, w = s.outputWidth, h = s.outputHeight;
    if (!s.IsValid()) return {};
    if (H * w < W * h) return {Down(H * w, h), s.imageHeight};
    return {s.imageWidth, Down(W * h, w)};
}

PixelRect ShrinkToCrop(const PixelRect& r, const ViewSizes& s) {
    if (!s.IsValid()) return r;
    const KeptSize kept = CropKeptSize(s);
    const int32_t width = Down(int64_t{kept.width} * r.Width(), s.imageWidth);
    const int32_t height = Down(int64_t{kept.height} * r.Height(), s.imageHeight);
    const int32_t left = r.left + (r.Width() - width) / 2;
    const int32_t top = r.top + (r.Height() - height) / 2;
    return {left, top, left + width, top + height};
}

PixelRect VisibleImageRect(const PixelRect& visibleOutput, const ViewSizes& s) {
    const PixelRect image = OutputToImage(visibleOutput, s);
    return s.crop ? ShrinkToCrop(image, s) : image;
}

int32_t ContentOrigin(int32_t content, int32_t window, int32_t scroll) {
    return content < window ? (window - content) / 2 : -scroll;
}

int32_t MaxScroll(int32_t content, int32_t window) { return std::max(0, content - window); }

int32_t ClampScroll(int32_t position, int32_t content, int32_t window) {
    return std::clamp(position, 0, MaxScroll(content, window));
}

PixelRect VisibleOutputRect(int32_t windowWidth, int32_t windowHeight, int32_t scrollX, int32_t scrollY,
                            const ViewSizes& s) {
    const int32_t x = ClampScroll(scrollX, s.outputWidth, windowWidth);
    const int32_t y = ClampScroll(scrollY, s.outputHeight, windowHeight);
    return Intersect({x, y, x + windowWidth, y + windowHeight}, {0, 0, s.outputWidth, s.outputHeight});
}

NavigatorLayout FitNavigator(int32_t cw, int32_t ch, const ViewSizes& s) {
    NavigatorLayout layout;
    if (s.imageWidth <= 0 || s.imageHeight <= 0 || cw <= 0 || ch <= 0) return layout;
    const int64_t W = s.imageWidth, H = s.imageHeight;
    if (int64_t{ch} * W < int64_t{cw} * H) {
        const int32_t width = Down(ch * W, H);
        const int32_t left = (cw - width) / 2;
        layout.image = {left, 0, left + width, ch};
    } else {
        const int32_t height = Down(cw * H, W);
        const int32_t top = (ch - height) / 2;
        layout.image = {0, top, cw, top + height};
    }
    layout.allowed = layout.image;
    if (s.crop && s.IsValid()) {
        const KeptSize kept = CropKeptSize(s);
        const int32_t width = Up(int64_t{kept.width} * layout.image.Width(), W);
        const int32_t height = Up(int64_t{kept.height} * layout.image.Height(), H);
        const int32_t left = layout.image.left + (layout.image.Width() - width) / 2;
        const int32_t top = layout.image.top + (layout.image.Height() - height) / 2;
        layout.allowed = {left, top, left + width, top + height};
    }
    return layout;
}

PixelRect NavigatorViewRect(const PixelRect& v, const NavigatorLayout& layout, const ViewSizes& s) {
    if (s.imageWidth <= 0 || s.imageHeight <= 0) return {};
    const int64_t W = s.imageWidth, H = s.imageHeight;
    const int64_t nw = layout.image.Width(), nh = layout.image.Height();
    return {Up(nw * v.left, W) + layout.image.left, Up(nh * v.top, H) + layout.image.top,
            Up(nw * v.right, W) + layout.image.left, Up(nh * v.bottom, H) + layout.image.top};
}

PixelRect KeepInside(const PixelRect& r, const PixelRect& allowed) {
    PixelRect moved = r;
    const auto shiftY = [&](int32_t dy) { moved.top += dy, moved.bottom += dy; };
    const auto shiftX = [&](int32_t dx) { moved.left += dx, moved.right += dx; };
    if (moved.top < allowed.top) shiftY(allowed.top - moved.top);
    if (moved.bottom > allowed.bottom) shiftY(allowed.bottom - moved.bottom);
    if (moved.left < allowed.left) shiftX(allowed.left - moved.left);
    if (moved.right > allowed.right) shiftX(allowed.right - moved.right);
    return moved;
}

ScrollPosition ScrollFromNavigator(const PixelRect& r, const NavigatorLayout& layout, const ViewSizes& s) {
    // The output covers the part a drag may move over: the whole picture, or in Crop mode the kept part.
    const PixelRect& covered = layout.allowed;
    const int64_t nw = covered.Width(), nh = covered.Height();
    if (nw <= 0 || nh <= 0) return {};
    ScrollPosition position{Up(int64_t{r.left - covered.left} * s.outputWidth, nw),
                            Up(int64_t{r.top - covered.top} * s.outputHeight, nh)};
    // A rectangle dropped against the far edge means the far edge, which the scaling from the small
    // picture can miss by a few output pixels; the view clamps the position to its range.
    if (r.right >= covered.right) position.x = s.outputWidth;
    if (r.bottom >= covered.bottom) position.y = s.outputHeight;
    return position;
}

}  // namespace kv

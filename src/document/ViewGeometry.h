#pragma once

#include <cstdint>

#include "document/PixelRect.h"

// The arithmetic of the main view and its navigator: the view shows the output pixel for pixel,
// every part of it drawn from the matching part of the image; the navigator shows the whole image
// with a rectangle around the part the view shows.
namespace kv {

struct ViewSizes {
    int32_t imageWidth = 0;   // W
    int32_t imageHeight = 0;  // H
    int32_t outputWidth = 0;  // w
    int32_t outputHeight = 0; // h
    bool crop = false;        // the correction is Crop: only the centre part with the output's aspect is kept

    bool IsValid() const { return imageWidth > 0 && imageHeight > 0 && outputWidth > 0 && outputHeight > 0; }
};

// A rectangle of the output mapped to the image: left and top truncated, right and bottom rounded
// up, limited to the image.
PixelRect OutputToImage(const PixelRect& output, const ViewSizes& sizes);
// A rectangle of the image mapped to the output (left and top truncated, right and bottom rounded up).
PixelRect ImageToOutput(const PixelRect& image, const ViewSizes& sizes);

// In Crop mode: the size of the image part the output keeps, with the output's aspect.
struct KeptSize {
    int32_t width = 0;
    int32_t height = 0;
};
KeptSize CropKeptSize(const ViewSizes& sizes);
// A visible image rectangle shrunk about its own centre to the kept part's proportion.
PixelRect ShrinkToCrop(const PixelRect& image, const ViewSizes& sizes);

// The image rectangle the view shows for a visible rectangle of the output, Crop included.
PixelRect VisibleImageRect(const PixelRect& visibleOutput, const ViewSizes& sizes);

// One axis of the scrolling view: where the content's first pixel stands in the window. Content
// smaller than the window is centred; otherwise it is moved by the scroll position.
int32_t ContentOrigin(int32_t content, int32_t window, int32_t scroll);
// The largest scroll position of an axis (0 when the content fits).
int32_t MaxScroll(int32_t content, int32_t window);
int32_t ClampScroll(int32_t position, int32_t content, int32_t window);

// The visible part of the output for a window of a size at a scroll position.
PixelRect VisibleOutputRect(int32_t windowWidth, int32_t windowHeight, int32_t scrollX, int32_t scrollY,
                            const ViewSizes& sizes);

// The navigator: the image fitted into its window and centred, and the part of it a drag may move
// over (in Crop mode the kept part, sizes rounded up).
struct NavigatorLayout {
    PixelRect image;
    PixelRect allowed;
};
NavigatorLayout FitNavigator(int32_t windowWidth, int32_t windowHeight, const ViewSizes& sizes);

// The rectangle that marks the view's part of the image in the navigator (rounded outwards).
PixelRect NavigatorViewRect(const PixelRect& visibleImage, const NavigatorLayout& layout, const ViewSizes& sizes);

// A dragged rectangle pushed back inside the allowed one: top, then bottom, then left, then right.
PixelRect KeepInside(const PixelRect& rect, const PixelRect& allowed);

// The view's scroll position once the navigator's rectangle was dropped at rect: its offset in the
// part the output covers, scaled to the output and rounded up; against the far edge, the output's
// size (the view clamps it to its largest position).
struct ScrollPosition {
    int32_t x = 0;
    int32_t y = 0;
    bool operator==(const ScrollPosition&) const = default;
};
ScrollPosition ScrollFromNavigator(const PixelRect& rect, const NavigatorLayout& layout, const ViewSizes& sizes);

}  // namespace kv

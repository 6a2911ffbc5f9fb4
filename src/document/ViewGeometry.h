#pragma once

#include "base/Geometry.h"

namespace kv {

// Where the main view's content comes from in the image. The content is the output at 1:1: the
// image of W x H pixels zoomed to the output's w x h. Under Crop the output is, as the final resize
// makes it, the centre of the image zoomed to cover the output with its own aspect; the content
// then shows the part of the image that the output keeps.
class ViewGeometry {
public:
    // Shows nothing.
    ViewGeometry() = default;
    ViewGeometry(PixelSize image, PixelSize output, bool crop);

    // Nothing to show: no image, no output, or a crop cover too large to make.
    bool IsEmpty() const;
    PixelSize Image() const { return image_; }
    // The content's size, which is the output's.
    PixelSize Content() const { return output_; }
    // Content pixels per image pixel across and down.
    double ZoomX() const;
    double ZoomY() const;

    // The image rectangle behind a content rectangle: left and top scaled and truncated, right and
    // bottom scaled and rounded up, cut to the image.
    PixelRect ImageRectOf(const PixelRect& content) const;
    // The content rectangle that an image rectangle covers, rounded outward the same way and cut
    // to the content.
    PixelRect ContentRectOf(const PixelRect& image) const;
    // The part of the image the output shows: all of it, or under Crop its centre.
    PixelRect KeptImageRect() const;
    // Whether the output cuts part of the image away (Crop with an aspect other than the image's).
    bool Crops() const { return !(zoomed_ == output_); }
    // The whole image zoomed as the content shows it (the output, or under Crop the cover), and
    // where the content's top left corner lies in it.
    PixelSize Zoomed() const { return zoomed_; }
    PixelPoint ContentOffset() const { return offset_; }

private:
    PixelSize image_;
    PixelSize output_;
    PixelSize zoomed_;   // the whole image zoomed: the output, or the crop cover
    PixelPoint offset_;  // where the output's top left corner lies in the zoomed image
};

}  // namespace kv

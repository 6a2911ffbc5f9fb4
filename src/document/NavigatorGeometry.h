#pragma once

#include <array>

#include "base/Geometry.h"
#include "document/ViewGeometry.h"

namespace kv {

// A line of the navigator's drawing, from one point to the other.
struct PixelLine {
    PixelPoint from;
    PixelPoint to;
    bool operator==(const PixelLine&) const = default;
};

// The navigator: the whole image fitted into its window, with a frame around the part that the
// main view shows. Dragging the frame scrolls the main view.
class NavigatorGeometry {
public:
    NavigatorGeometry(PixelSize client, const ViewGeometry& view);

    // Where the image stands in the window: fitted with its aspect and centred.
    PixelRect ImageRect() const { return image_; }
    // Where the frame may go: the image rectangle, or under Crop its centre at the output's aspect
    // (sides rounded up).
    PixelRect AllowedRect() const { return allowed_; }
    // The frame around a visible image rectangle (the view's, in image pixels), rounded up.
    PixelRect FrameOf(const PixelRect& visibleImage) const;
    // The frame is drawn when the view shows less than the whole image in width or height.
    bool ShowsFrame(const PixelRect& frame) const;
    // The cross the frame stands in: from the middle of each side (left, right, top, bottom)
    // straight out to the image rectangle's edge.
    std::array<PixelLine, 4> Cross(const PixelRect& frame) const;
    // A frame dragged from where it stood at the press by the pointer's way from the press, pushed
    // back inside the allowed rectangle (top, then bottom, then left, then right).
    PixelRect Dragged(const PixelRect& frameAtPress, PixelPoint press, PixelPoint now) const;
    // The main view's scroll position that brings a frame's part into view: the frame's offset in
    // the image rectangle scaled to the content, rounded up; against the far edge of the allowed
    // rectangle, the content's size (the view holds it to its largest position).
    PixelPoint ScrollFor(const PixelRect& frame) const;

private:
    ViewGeometry view_;
    PixelRect image_;
    PixelRect allowed_;
};

}  // namespace kv

#pragma once

#include "base/Geometry.h"

namespace kv {

// The main view's scrolling: its content, at 1:1, in a client area. On an axis where the content
// is larger than the client the view scrolls; where it fits, it stands centred and does not.
class ScrollGeometry {
public:
    ScrollGeometry(PixelSize content, PixelSize client) : content_(content), client_(client) {}

    // The largest scroll position on each axis; 0 where the content fits.
    PixelPoint MaxScroll() const;
    // A scroll position held between 0 and MaxScroll.
    PixelPoint Clamp(PixelPoint scroll) const;
    // Where the content's top left corner stands in the client area at a scroll position.
    PixelPoint ContentOrigin(PixelPoint scroll) const;
    // The part of the content that the client area shows at a scroll position.
    PixelRect VisibleContent(PixelPoint scroll) const;
    // Panning by dragging the image: the scroll position at the press moved by how far the pointer
    // went back from the press point, on each axis where the content is larger than the client.
    PixelPoint Panned(PixelPoint scrollAtPress, PixelPoint press, PixelPoint now) const;

private:
    PixelSize content_;
    PixelSize client_;
};

}  // namespace kv

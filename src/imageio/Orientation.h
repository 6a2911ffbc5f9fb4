#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "imageio/ImagingTypes.h"
#include "imageio/PixelBuffer.h"

namespace kv {

class Bitmap;

// How a file says its stored pixels stand: the eight values of the Exif and TIFF Orientation tag.
// A camera held sideways stores the sensor's rows as they came and says how to turn them; every
// decoder that learns such a value reports it, and the bitmap turns the decoded pixels by it, so
// whoever decodes a picture (the document, the thumbnail builders, a batch run) sees it upright.
// 1 is upright as stored; 2 mirrored left to right; 3 turned half round; 4 mirrored top to bottom;
// 5 mirrored along the diagonal from the top left; 6 to be turned a quarter clockwise; 7 mirrored
// along the other diagonal; 8 to be turned a quarter anticlockwise.
inline constexpr int kUprightOrientation = 1;

// A value a file gives as its orientation: 1 to 8 as they are, anything else 1 (ignored).
int ValidOrientation(uint32_t value);

// Whether turning by an orientation swaps width and height (5 to 8).
bool OrientationSwapsSides(int orientation);

// Whether pictures are turned upright when they are decoded (the default) or kept as their files
// store them. The choice is the program's (one setting of the user's, one option of kvscale); a
// bitmap reads it when it is opened and keeps it for its life, so a picture never changes shape
// between its header and its pixels.
void SetTurnPicturesUpright(bool upright);
bool TurnPicturesUpright();

// Keeps the choice for its own life and restores the previous one after it (tests, one command).
class TurnPicturesUprightScope {
public:
    explicit TurnPicturesUprightScope(bool upright) : previous_(TurnPicturesUpright()) { SetTurnPicturesUpright(upright); }
    ~TurnPicturesUprightScope() { SetTurnPicturesUpright(previous_); }
    TurnPicturesUprightScope(const TurnPicturesUprightScope&) = delete;
    TurnPicturesUprightScope& operator=(const TurnPicturesUprightScope&) = delete;

private:
    bool previous_;
};

// What turning pixels of a stored size and format takes beside them at its peak: nothing for a
// mirror or a half turn of whole-byte pixels (done in place), a second picture of the same size
// for the quarter turns and diagonal mirrors (and for pixels of less than a byte).
uint64_t TurnExtraBytes(int32_t width, int32_t height, PixelFormat format, int orientation);

// Turns decoded pixels upright by an orientation; for 5 to 8 the buffer's width and height are
// swapped. False, with the pixels unchanged, when the memory for the turned copy is not there.
bool TurnPixelsUpright(PixelBuffer& pixels, int orientation);

// The same for rows of whole-byte pixels that a caller holds: a source of width x height pixels of
// bytesPerPixel bytes into a destination of the turned size (height x width for 5 to 8). The two
// must not overlap.
void TurnRows(const uint8_t* source, ptrdiff_t sourceStride, int32_t width, int32_t height, int bytesPerPixel,
              int orientation, uint8_t* destination, ptrdiff_t destinationStride);

// A 24-bit copy of a bitmap turned by an orientation, with its resolution (swapped with the sides);
// null when it cannot be made. For pictures whose own file states no orientation, such as the
// thumbnail inside another file's Exif block.
std::unique_ptr<Bitmap> TurnedBitmap(Bitmap& bitmap, int orientation);

}  // namespace kv

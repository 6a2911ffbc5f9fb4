#pragma once

#include <QImage>

namespace kv {
class CPaletteItemImg;
}

namespace kv::ui {

// A cached cell's picture as an image the window can draw (decoded from its stream when the cell
// kept no bitmap); a null image when it has none.
QImage ThumbnailPicture(CPaletteItemImg& cell);

}  // namespace kv::ui

#pragma once

#include <QImage>
#include <memory>

#include "engine/DibImage.h"

namespace kv {
class CPaletteItemImg;
}

namespace kv::ui {

// A thumbnail cell's picture as the window draws it, together with what identifies that picture,
// so that a view can tell when a builder has replaced it.
struct CellPicture {
    QImage image;                    // null: the cell has no picture (the fallback is drawn)
    std::shared_ptr<const void> id;  // the same picture keeps the same id while it lives
};

// The cell's picture, decoded from its compressed stream the first time it is asked for (the cell
// keeps the decoded picture, so later calls only convert it).
CellPicture PictureOf(CPaletteItemImg& cell);
// A cell's bitmap converted; any thread may convert one it took from a cell.
CellPicture PictureOf(const DibImagePtr& picture);

// Whether the cell's picture is still the one a view converted.
bool IsSamePicture(const CPaletteItemImg& cell, const std::shared_ptr<const void>& id);

}  // namespace kv::ui

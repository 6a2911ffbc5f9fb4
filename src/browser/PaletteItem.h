#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "base/Geometry.h"
#include "engine/DibImage.h"

namespace kv {

class ArchiveReader;
class ArchiveWriter;

// The largest picture of a cell at zoom 100: every thumbnail is fitted into this box.
inline constexpr int32_t kThumbBoxWidth = 220;
inline constexpr int32_t kThumbBoxHeight = 165;
// The card around the picture (on each side) and the file-name strip under it.
inline constexpr int32_t kCellMargin = 6;
inline constexpr int32_t kCellLabelHeight = 20;
// How far the label strip stays from the cell's left and right edges.
inline constexpr int32_t kLabelInset = 10;
// Each tick of the browser's label timer moves a scrolling name this far.
inline constexpr int32_t kLabelScrollStep = 5;

// How a cell's picture was made: as the image file stores its pixels, or turned upright by the
// file's orientation (see imageio/Orientation.h).
inline constexpr int32_t kPictureAsStored = 0;
inline constexpr int32_t kPictureUpright = 1;

// The class name and schema under which image cells are archived.
inline constexpr const char* kPaletteItemImgClass = "CPaletteItemImg";
inline constexpr uint16_t kPaletteItemImgSchema = 1;

// One thumbnail cell: what the browser shows for one file, and where. The plain cell has no
// picture; the browser draws it for a file that has no cached cell yet. Cells are shared between
// the thumbnail cache, the builder threads and the painting browser, hence held by shared_ptr: a
// cell removed from the cache stays valid for whoever still holds it.
class CPaletteItem {
public:
    CPaletteItem();
    virtual ~CPaletteItem() = default;
    CPaletteItem(const CPaletteItem&) = delete;
    CPaletteItem& operator=(const CPaletteItem&) = delete;

    // How many cells the process has created.
    static uint64_t CreatedCount();

    virtual bool IsImageCell() const { return false; }
    // A plain cell stores nothing.
    virtual void Serialize(ArchiveWriter&) {}
    virtual void Serialize(ArchiveReader&) {}

    // --- Geometry at a zoom in percent; cell rectangles are in the browser's coordinates. ---
    // The picture box: the box scaled by the zoom, rounded to the nearest pixel.
    PixelSize PictureBox(int zoom) const;
    // The picture box with the card around it and the label under it.
    virtual PixelSize GetCellSize(int zoom) const;
    virtual bool IsListMode() const { return false; }
    virtual bool HasInfoLine() const { return true; }
    // The cell inset by the card on each side, without the label strip.
    PixelRect InnerRect(const PixelRect& cell) const;
    // The display size scaled by the zoom (rounded), centred in the inner rectangle.
    PixelRect PictureRect(const PixelRect& cell, int zoom) const;
    // The bottom strip of the cell, inset from its left and right edges.
    PixelRect LabelRect(const PixelRect& cell) const;
    // The area filled with the in-frame colour before the picture is drawn.
    virtual PixelRect GetRegion(const PixelRect& cell, int zoom) const { (void)zoom; return InnerRect(cell); }

    // --- The file-name label. ---
    // Records where the label was drawn and how wide the name is: a name that does not fit
    // (3 pixels of slack) scrolls while its item is selected.
    void MeasureLabel(const PixelRect& label, int32_t textWidth);
    // One tick of the label timer: a scrolling name moves left and, once it has passed out of the
    // label, enters again from the right. False when the label does not scroll.
    bool AdvanceLabelScroll();

    // Copies the image facts and the display size of another cell (moving a cell to a new path).
    void CopyFrom(const CPaletteItem& other);

    // Seconds since 1970. fileTime: the file's last-write time when the thumbnail was made.
    // lastSeenTime: when a browser last confirmed the cell.
    int64_t fileTime = 0;
    int32_t imageWidth = -1;  // -1 in a plain cell, 0 in an image cell while unknown
    int32_t imageHeight = -1;
    int32_t bitsPerPixel = -1;
    int64_t lastSeenTime = 0;
    int32_t displayWidth = kThumbBoxWidth;  // the stored picture's size
    int32_t displayHeight = kThumbBoxHeight;
    // Kept, copied and stored with the cell; the program gives it no meaning.
    int32_t userValue1 = 0;
    // How the picture stands: kPictureAsStored or kPictureUpright. Stored in the record's second
    // integer field that has no other use, which cells of older programs leave 0: their pictures
    // were made as the files store them.
    int32_t pictureStanding = 0;
    std::string userText1;
    std::string userText2;

    int32_t labelScrollOffset = 0;
    int32_t labelScrolls = 0;
    PixelRect labelRect;
    int32_t labelTextWidth = 0;
    int32_t noLabel = 0;

    int32_t boxWidth = kThumbBoxWidth;
    int32_t boxHeight = kThumbBoxHeight;
    PixelSize sizeAt100;

protected:
    int32_t LabelHeight() const { return noLabel ? 0 : kCellLabelHeight; }
};

// A cell of an image file: the cell with its picture, kept both as a bitmap and as a compressed
// stream. The picture and the stream are guarded by the cell's own lock, so a builder may replace
// them while the browser paints; the plain fields are the caller's to guard.
class CPaletteItemImg : public CPaletteItem {
public:
    using Bytes = std::shared_ptr<const std::vector<uint8_t>>;

    CPaletteItemImg();

    // How many compressed pictures the process has decoded, so that a painting view can be
    // checked to decode each cell's picture only once.
    static uint64_t DecodedCount();

    bool IsImageCell() const override { return true; }
    // The archived record. Writing compresses the picture first when it has no stream yet.
    void Serialize(ArchiveWriter& archive) override;
    // Throws ArchiveError; a record whose display size fits no cell of this box, or lies outside
    // the box, is refused as a damaged file. The cell is left without a bitmap: the stream is
    // decoded when the picture is first needed.
    void Serialize(ArchiveReader& archive) override;

    PixelRect GetRegion(const PixelRect& cell, int zoom) const override { return PictureRect(cell, zoom); }

    // The picture: the bitmap when there is one, else the stream decoded at the display size and
    // kept. Null when there is neither or the stream cannot be decoded.
    DibImagePtr GetThumbnail();
    // The bitmap as it stands, without decoding.
    DibImagePtr Thumbnail() const;
    bool HasThumbnail() const;
    // Replaces the bitmap; the previous one is released, the stream is left as it is.
    void SetThumbnail(DibImagePtr thumbnail);
    void ReleaseThumbnail() { SetThumbnail({}); }

    // The compressed picture, shared and never changed once made.
    Bytes CompressedThumbnail() const;
    bool HasCompressedThumbnail() const;
    void SetCompressedThumbnail(std::vector<uint8_t> bytes);
    void DiscardCompressedThumbnail();
    // Compresses the bitmap into the stream (quality 90). False, leaving no stream, when there is
    // no bitmap or it cannot be compressed.
    bool CompressThumbnail();
    // Takes the other cell's stream.
    void CopyCompressed(const CPaletteItemImg& other);

    uint16_t buildState = 0;  // cleared after every build
    int32_t hasSoundNote = 0;
    int32_t fullQuality = 0;
    std::string userText3;
    uint8_t keepMetadata = 1;
    // Stored with the cell; the program gives them no meaning.
    std::array<int32_t, 7> storedValues{0, -1, -1, -1, -1, -1, -1};
    std::vector<PixelRect> rectangles;

private:
    mutable std::mutex pictureLock_;
    DibImagePtr thumbnail_;
    Bytes compressed_;
};

}  // namespace kv

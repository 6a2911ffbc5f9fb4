#include "browser/PaletteItem.h"

#include <atomic>
#include <utility>

#include "browser/ThumbnailJpeg.h"
#include "imageio/Archive.h"

namespace kv {

namespace {

std::atomic<uint64_t> g_cellsCreated{0};
std::atomic<uint64_t> g_picturesDecoded{0};

// Rounded to the nearest pixel, halves up.
int32_t Scale(int32_t length, int zoom) { return static_cast<int32_t>(length * zoom / 100.0 + 0.5); }

// A rectangle is 16 bytes on disk: left, top, right, bottom.
constexpr size_t kRectangleBytes = 16;

}  // namespace

CPaletteItem::CPaletteItem() {
    sizeAt100 = GetCellSize(100);
    g_cellsCreated.fetch_add(1, std::memory_order_relaxed);
}

uint64_t CPaletteItem::CreatedCount() { return g_cellsCreated.load(std::memory_order_relaxed); }

uint64_t CPaletteItemImg::DecodedCount() { return g_picturesDecoded.load(std::memory_order_relaxed); }

PixelSize CPaletteItem::PictureBox(int zoom) const { return {Scale(boxWidth, zoom), Scale(boxHeight, zoom)}; }

PixelSize CPaletteItem::GetCellSize(int zoom) const {
    const PixelSize box = PictureBox(zoom);
    return {box.width + 2 * kCellMargin, box.height + 2 * kCellMargin + LabelHeight()};
}

PixelRect CPaletteItem::InnerRect(const PixelRect& cell) const {
    return {cell.left + kCellMargin, cell.top + kCellMargin, cell.right - kCellMargin,
            cell.bottom - kCellMargin - LabelHeight()};
}

PixelRect CPaletteItem::PictureRect(const PixelRect& cell, int zoom) const {
    const PixelRect inner = InnerRect(cell);
    const int32_t width = Scale(displayWidth, zoom);
    const int32_t height = Scale(displayHeight, zoom);
    const int32_t left = inner.left + (inner.Width() - width) / 2;
    const int32_t top = inner.top + (inner.Height() - height) / 2;
    return {left, top, left + width, top + height};
}

PixelRect CPaletteItem::LabelRect(const PixelRect& cell) const {
    return {cell.left + kLabelInset, cell.bottom - LabelHeight(), cell.right - kLabelInset, cell.bottom};
}

void CPaletteItem::MeasureLabel(const PixelRect& label, int32_t textWidth) {
    labelRect = label;
    labelTextWidth = textWidth;
    labelScrolls = textWidth < label.Width() - 3 ? 0 : 1;
    if (!labelScrolls) labelScrollOffset = 0;
}

bool CPaletteItem::AdvanceLabelScroll() {
    if (!labelScrolls) return false;
    labelScrollOffset += kLabelScrollStep;
    if (labelScrollOffset > labelTextWidth) labelScrollOffset = -labelRect.Width();
    return true;
}

void CPaletteItem::CopyFrom(const CPaletteItem& other) {
    imageWidth = other.imageWidth;
    imageHeight = other.imageHeight;
    bitsPerPixel = other.bitsPerPixel;
    userValue1 = other.userValue1;
    pictureStanding = other.pictureStanding;
    displayWidth = other.displayWidth;
    displayHeight = other.displayHeight;
    userText1 = other.userText1;
    userText2 = other.userText2;
}

// --- image cell ---

CPaletteItemImg::CPaletteItemImg() {
    imageWidth = 0;
    imageHeight = 0;
    bitsPerPixel = 0;
}

DibImagePtr CPaletteItemImg::Thumbnail() const {
    std::lock_guard lock(pictureLock_);
    return thumbnail_;
}

bool CPaletteItemImg::HasThumbnail() const {
    std::lock_guard lock(pictureLock_);
    return static_cast<bool>(thumbnail_);
}

void CPaletteItemImg::SetThumbnail(DibImagePtr thumbnail) {
    DibImagePtr old;  // released outside the lock
    std::lock_guard lock(pictureLock_);
    old = std::exchange(thumbnail_, std::move(thumbnail));
}

CPaletteItemImg::Bytes CPaletteItemImg::CompressedThumbnail() const {
    std::lock_guard lock(pictureLock_);
    return compressed_;
}

bool CPaletteItemImg::HasCompressedThumbnail() const {
    std::lock_guard lock(pictureLock_);
    return compressed_ && !compressed_->empty();
}

void CPaletteItemImg::SetCompressedThumbnail(std::vector<uint8_t> bytes) {
    Bytes made = bytes.empty() ? nullptr : std::make_shared<const std::vector<uint8_t>>(std::move(bytes));
    std::lock_guard lock(pictureLock_);
    compressed_ = std::move(made);
}

void CPaletteItemImg::DiscardCompressedThumbnail() {
    std::lock_guard lock(pictureLock_);
    compressed_.reset();
}

void CPaletteItemImg::CopyCompressed(const CPaletteItemImg& other) {
    if (&other == this) return;
    Bytes bytes = other.CompressedThumbnail();
    std::lock_guard lock(pictureLock_);
    compressed_ = std::move(bytes);
}

bool CPaletteItemImg::CompressThumbnail() {
    const DibImagePtr picture = Thumbnail();
    std::vector<uint8_t> bytes;
    if (picture) bytes = EncodeThumbnailJpeg(*picture.get());
    const bool made = !bytes.empty();
    SetCompressedThumbnail(std::move(bytes));
    return made;
}

DibImagePtr CPaletteItemImg::GetThumbnail() {
    Bytes bytes;
    {
        std::lock_guard lock(pictureLock_);
        if (thumbnail_ || !compressed_) return thumbnail_;
        bytes = compressed_;
    }
    // Decoded outside the lock: a builder replacing the picture meanwhile is not held up, and its
    // newer picture wins over this one.
    DibImagePtr decoded = DecodeThumbnailJpeg(*bytes, displayWidth, displayHeight);
    g_picturesDecoded.fetch_add(1, std::memory_order_relaxed);
    if (!decoded) return {};
    std::lock_guard lock(pictureLock_);
    if (!thumbnail_ && compressed_ == bytes) thumbnail_ = decoded;
    return thumbnail_ ? thumbnail_ : decoded;
}

void CPaletteItemImg::Serialize(ArchiveWriter& archive) {
    if (HasThumbnail() && !HasCompressedThumbnail()) CompressThumbnail();
    const Bytes bytes = CompressedThumbnail();

    archive.WriteTime(fileTime);
    archive.WriteI32(displayWidth);
    archive.WriteI32(displayHeight);
    if (bytes && !bytes->empty()) {
        archive.WriteI32(1);
        archive.WriteU32(static_cast<uint32_t>(bytes->size()));
        archive.WriteBytes(*bytes);
    } else {
        archive.WriteI32(0);
    }
    for (const int32_t value : {imageWidth, imageHeight, bitsPerPixel, userValue1, pictureStanding, fullQuality})
        archive.WriteI32(value);
    archive.WriteStringUtf8(userText1);
    archive.WriteStringUtf8(userText2);
    archive.WriteTime(lastSeenTime);
    for (const int32_t value : storedValues) archive.WriteI32(value);
    archive.WriteU8(keepMetadata);
    archive.WriteCount(rectangles.size());
    for (const PixelRect& r : rectangles) {
        archive.WriteI32(r.left);
        archive.WriteI32(r.top);
        archive.WriteI32(r.right);
        archive.WriteI32(r.bottom);
    }
}

void CPaletteItemImg::Serialize(ArchiveReader& archive) {
    fileTime = archive.ReadTime();
    displayWidth = archive.ReadI32();
    displayHeight = archive.ReadI32();
    // A thumbnail is always fitted into the box, so it touches the box on at least one side. A
    // cell that does not (such as the 10 x 10 stand-in for an image of unknown size) comes from
    // an older program and makes the whole file unusable, to be rewritten; a size beyond the box
    // would make the decoded picture as large as the file claims.
    const bool touchesBox = displayWidth == boxWidth || displayHeight == boxHeight;
    const bool insideBox =
        displayWidth > 0 && displayHeight > 0 && displayWidth <= boxWidth && displayHeight <= boxHeight;
    if (!touchesBox || !insideBox) throw ArchiveError(ArchiveError::Cause::BadFormat, "Invalid file");

    std::vector<uint8_t> bytes;
    if (archive.ReadI32() != 0) {
        const uint32_t size = archive.ReadU32();
        const auto stream = archive.ReadBytes(size);
        bytes.assign(stream.begin(), stream.end());
    }
    imageWidth = archive.ReadI32();
    imageHeight = archive.ReadI32();
    bitsPerPixel = archive.ReadI32();
    userValue1 = archive.ReadI32();
    pictureStanding = archive.ReadI32();
    fullQuality = archive.ReadI32();
    userText1 = archive.ReadStringUtf8();
    userText2 = archive.ReadStringUtf8();
    lastSeenTime = archive.ReadTime();
    for (int32_t& value : storedValues) value = archive.ReadI32();
    keepMetadata = archive.ReadU8();
    const uint64_t count = archive.ReadCount(kRectangleBytes);
    std::vector<PixelRect> rects;
    rects.reserve(static_cast<size_t>(count));
    for (uint64_t i = 0; i < count; ++i) {
        PixelRect r;
        r.left = archive.ReadI32();
        r.top = archive.ReadI32();
        r.right = archive.ReadI32();
        r.bottom = archive.ReadI32();
        rects.push_back(r);
    }
    rectangles = std::move(rects);

    SetCompressedThumbnail(std::move(bytes));
    ReleaseThumbnail();
}

}  // namespace kv

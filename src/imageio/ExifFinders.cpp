#include "imageio/ExifFinders.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "imageio/TiffIfdReader.h"

namespace kv {

namespace {

constexpr uint8_t kMarkerStartOfScan = 0xDA;
constexpr uint8_t kMarkerApp1 = 0xE1;
constexpr uint16_t kTagExifIfd = 0x8769;
constexpr uint64_t kShortestTiffWithExif = 128;

// Hands out a file's bytes one at a time, reading them in blocks.
class ByteScanner {
public:
    explicit ByteScanner(const ByteReader& file) : file_(file), buffer_(64 * 1024) {}

    // The next byte, or -1 at the end of the file.
    int Next() {
        if (pos_ == end_) {
            start_ += end_;
            end_ = file_.ReadAt(start_, buffer_.data(), buffer_.size());
            pos_ = 0;
            if (end_ == 0) return -1;
        }
        return buffer_[pos_++];
    }
    // The file position of the byte Next returns next.
    uint64_t Position() const { return start_ + pos_; }

private:
    const ByteReader& file_;
    std::vector<uint8_t> buffer_;
    uint64_t start_ = 0;
    size_t pos_ = 0;
    size_t end_ = 0;
};

bool IsExifIdentifier(const uint8_t* id) {
    static constexpr char kExif[] = "exif";
    for (int i = 0; i < 4; ++i) {
        const int c = id[i] >= 'A' && id[i] <= 'Z' ? id[i] - 'A' + 'a' : id[i];
        if (c != kExif[i]) return false;
    }
    return id[4] == 0;
}

}  // namespace

uint64_t FindExifSegment(const ByteReader& file) {
    ByteScanner scan(file);
    for (int byte = scan.Next(); byte >= 0; byte = scan.Next()) {
        if (byte != 0xFF) continue;
        do byte = scan.Next();
        while (byte == 0xFF);
        if (byte < 0 || byte == kMarkerStartOfScan) return 0;
        if (byte != kMarkerApp1) continue;
        // The length field, then the identifier; only this first APP1 segment counts.
        const uint64_t position = scan.Position();
        uint8_t head[7];
        if (file.ReadAt(position, head, sizeof head) != sizeof head) return 0;
        return IsExifIdentifier(head + 2) ? position : 0;
    }
    return 0;
}

uint64_t FindExifSegment(const std::filesystem::path& path) {
    const std::unique_ptr<FileReader> file = FileReader::Open(path);
    return file ? FindExifSegment(*file) : 0;
}

uint32_t FindExifIfdOffset(const ByteReader& file) {
    if (file.Size() <= kShortestTiffWithExif) return 0;
    std::optional<TiffIfdReader> tiff = TiffIfdReader::Open(file, 0);
    if (!tiff) return 0;
    const std::optional<TiffIfd> ifd0 = tiff->ReadIfd(tiff->ifd0Offset());
    if (!ifd0) return 0;
    const TiffEntry* exif = ifd0->Find(kTagExifIfd);
    return exif ? exif->value : 0;
}

uint32_t FindExifIfdOffset(const std::filesystem::path& path) {
    const std::unique_ptr<FileReader> file = FileReader::Open(path);
    return file ? FindExifIfdOffset(*file) : 0;
}

}  // namespace kv

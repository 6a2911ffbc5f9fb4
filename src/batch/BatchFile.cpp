#include "batch/BatchFile.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string>

#include "imageio/Archive.h"
#include "imageio/Utf16.h"

namespace kv {

namespace {

// Collects small writes and hands them to the file in whole blocks.
class BufferedFileWriter {
public:
    explicit BufferedFileWriter(AtomicFile& file) : file_(file) {}

    void Write(std::span<const uint8_t> bytes) {
        while (!bytes.empty()) {
            const size_t take = std::min(bytes.size(), buffer_.size() - used_);
            std::memcpy(buffer_.data() + used_, bytes.data(), take);
            used_ += take;
            bytes = bytes.subspan(take);
            if (used_ == buffer_.size()) Flush();
        }
    }
    // The file remembers the first failed write and reports it again on Commit.
    void Flush() {
        if (used_ > 0) file_.Write(buffer_.data(), used_);
        used_ = 0;
    }

private:
    AtomicFile& file_;
    std::array<uint8_t, kBatchFileWriteBuffer> buffer_{};
    size_t used_ = 0;
};

bool HasHeader(std::span<const uint8_t> bytes) {
    if (bytes.size() < kBatchFileHeaderBytes) return false;
    ArchiveWriter header;
    header.WriteUtf16Text(kBatchFileHeader);
    return std::equal(header.bytes().begin(), header.bytes().end(), bytes.begin());
}

float ValidDpi(float dpi) {
    return std::isfinite(dpi) && dpi >= 1.0f && dpi <= 100000.0f ? dpi : ResizeSettings::kDefaultDpi;
}

std::filesystem::path PathFrom(std::u16string_view text) {
    // A path is handed to the system as a C string: one with a NUL inside would name another file.
    if (text.find(u'\0') != std::u16string_view::npos) return {};
    return Utf16ToUtf8(text);
}

}  // namespace

std::optional<std::vector<BatchRecord>> DecodeBatchFile(std::span<const uint8_t> bytes, bool* complete) {
    if (complete) *complete = false;
    if (!HasHeader(bytes)) return std::nullopt;
    std::vector<BatchRecord> records;
    ArchiveReader reader(bytes.subspan(kBatchFileHeaderBytes));
    try {
        const int32_t count = reader.ReadI32();
        if (complete) *complete = count <= 0;
        // Every record takes bytes, so a count larger than the file stops at its end.
        for (int32_t i = 0; i < count; ++i) {
            BatchRecord record;
            record.path = PathFrom(reader.ReadString());
            record.values.width = reader.ReadI32();
            record.values.height = reader.ReadI32();
            record.values.dpi = ValidDpi(reader.ReadFloat());
            record.values.algorithm = ValidResizeAlgorithm(reader.ReadI32());
            record.values.correction = ValidSizeCorrection(reader.ReadI32());
            records.push_back(std::move(record));
            if (complete) *complete = i + 1 == count;
        }
    } catch (const ArchiveError&) {
    }
    return records;
}

IoResult WriteBatchFile(const std::filesystem::path& path, std::span<const BatchRecord> records) {
    AtomicFile file;
    if (IoResult opened = file.Open(path); !opened.ok()) return opened;
    BufferedFileWriter out(file);
    ArchiveWriter head;
    head.WriteUtf16Text(kBatchFileHeader);
    head.WriteI32(static_cast<int32_t>(records.size()));
    out.Write(head.bytes());
    for (const BatchRecord& record : records) {
        ArchiveWriter w;
        w.WriteStringUtf8(record.path.string());
        w.WriteI32(record.values.width);
        w.WriteI32(record.values.height);
        w.WriteFloat(record.values.dpi);
        w.WriteI32(record.values.algorithm);
        w.WriteI32(static_cast<int32_t>(record.values.correction));
        out.Write(w.bytes());
    }
    out.Flush();
    return file.Commit();
}

}  // namespace kv

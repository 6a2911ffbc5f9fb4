#include "app/SettingsFile.h"

#include <algorithm>

#include "base/AtomicFile.h"
#include "imageio/Archive.h"
#include "imageio/ByteReader.h"

namespace kv {

namespace {

constexpr size_t kHeaderBytes = 2 * kSettingsFileHeader.size();

bool HasHeader(std::span<const uint8_t> bytes) {
    if (bytes.size() < kHeaderBytes) return false;
    ArchiveWriter header;
    header.WriteUtf16Text(kSettingsFileHeader);
    return std::equal(header.bytes().begin(), header.bytes().end(), bytes.begin());
}

}  // namespace

std::vector<uint8_t> EncodeSettingsFile(const ResizeSettings& s) {
    ArchiveWriter writer;
    writer.WriteUtf16Text(kSettingsFileHeader);
    writer.WriteI32(s.width);
    writer.WriteI32(s.height);
    writer.WriteFloat(s.dpi);
    writer.WriteI32(static_cast<int32_t>(s.resolutionUnit));
    writer.WriteI32(static_cast<int32_t>(s.printUnit));
    writer.WriteI32(static_cast<int32_t>(s.correction));
    writer.WriteI32(s.algorithm);
    writer.WriteI32(s.inPercents);
    writer.WriteI32(s.editPrints);
    writer.WriteI32(s.lockSettings);
    return writer.TakeBytes();
}

bool DecodeSettingsFile(std::span<const uint8_t> bytes, ResizeSettings& settings, bool* complete) {
    if (complete) *complete = bytes.size() >= kSettingsFileSize;
    if (!HasHeader(bytes)) return false;
    ArchiveReader reader(bytes.subspan(kHeaderBytes));
    // Each field is stored as soon as it is read whole, so that a short file keeps the rest.
    ResizeSettings& s = settings;
    try {
        s.width = reader.ReadI32();
        s.height = reader.ReadI32();
        s.dpi = reader.ReadFloat();
        s.resolutionUnit = ValidResolutionUnit(reader.ReadI32());
        s.printUnit = ValidPrintUnit(reader.ReadI32());
        s.correction = ValidSizeCorrection(reader.ReadI32());
        s.algorithm = ValidResizeAlgorithm(reader.ReadI32());
        s.inPercents = reader.ReadI32() != 0;
        s.editPrints = reader.ReadI32() != 0;
        s.lockSettings = reader.ReadI32() != 0;
    } catch (const ArchiveError&) {
    }
    s.Validate();
    return true;
}

bool SaveSettingsFile(const std::filesystem::path& path, const ResizeSettings& settings, IUserPrompt& prompt) {
    if (WriteFileAtomically(path, EncodeSettingsFile(settings)).ok()) return true;
    prompt.ShowMessage("Can't write file\n" + path.string() + "!");
    return false;
}

bool LoadSettingsFile(const std::filesystem::path& path, ResizeSettings& settings, IUserPrompt& prompt,
                      bool* complete) {
    // Only the first 102 bytes matter, whatever the size of the file that was picked.
    const auto file = FileReader::Open(path);
    if (!file) {
        prompt.ShowMessage("Can't open file\n" + path.string() + "!");
        return false;
    }
    std::vector<uint8_t> bytes(kSettingsFileSize);
    bytes.resize(file->ReadAt(0, bytes.data(), bytes.size()));
    if (!DecodeSettingsFile(bytes, settings, complete)) {
        prompt.ShowMessage("Wrong file!");
        return false;
    }
    return true;
}

}  // namespace kv

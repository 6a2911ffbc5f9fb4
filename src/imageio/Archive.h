#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/AtomicFile.h"

// The binary archive format of the program's own files (named settings, batch lists, the thumbnail
// cache): little-endian integers and floats, counts, length-prefixed UTF-16 strings, times, maps
// and objects introduced by class tags.
namespace kv {

// Why reading an archive stopped. Every read of ArchiveReader either succeeds whole or throws this,
// so a damaged file can never make a reader look past its end or allocate what the file cannot hold.
class ArchiveError : public std::runtime_error {
public:
    enum class Cause {
        EndOfFile,  // the bytes ended early, or a length or count promised more than is left
        BadFormat,  // a value that no writer produces
        BadClass,   // an object of an unexpected class, or a class tag naming no class
        BadSchema,  // an object of the expected class written with another schema
    };
    ArchiveError(Cause cause, const char* text) : std::runtime_error(text), cause_(cause) {}
    Cause cause() const { return cause_; }

private:
    Cause cause_;
};

// A stored time: this marker, then 64-bit seconds since 1970. Older files hold a bare 32-bit time.
inline constexpr uint32_t kArchiveTime64Marker = 0x8000000A;

// The class an object tag names.
struct ArchiveClass {
    std::string name;  // ASCII
    uint16_t schema = 0;
};

// Builds an archive in memory. Writing cannot fail; the finished bytes are written to disk in one
// go (SaveTo), so a file on disk is never half an archive.
class ArchiveWriter {
public:
    void WriteU8(uint8_t value) { bytes_.push_back(value); }
    void WriteU16(uint16_t value);
    void WriteU32(uint32_t value);
    void WriteU64(uint64_t value);
    void WriteI32(int32_t value) { WriteU32(static_cast<uint32_t>(value)); }
    void WriteI64(int64_t value) { WriteU64(static_cast<uint64_t>(value)); }
    void WriteFloat(float value);
    void WriteDouble(double value);
    void WriteBytes(std::span<const uint8_t> bytes);
    // Bare UTF-16LE code units, no length and no terminator (the headers of settings and batch files).
    void WriteUtf16Text(std::u16string_view text);

    // 16 bits below 0xFFFF, else 0xFFFF and 32 bits (and past that 0xFFFFFFFF and 64 bits).
    void WriteCount(uint64_t count);
    // The Unicode marker FF FE FF, the length in code units (one byte below 0xFF; FF and 16 bits
    // below 0xFFFE; FF FFFF and 32 bits below 0xFFFFFFFF; else also 64 bits), then UTF-16LE.
    void WriteString(std::u16string_view text);
    void WriteStringUtf8(std::string_view text);
    // The 64-bit form with its marker.
    void WriteTime(int64_t secondsSince1970);
    // Introduces an object: the class with its name (ASCII, at most 63 characters) and schema the
    // first time the class occurs in
    // this archive, afterwards only a tag with the class's number. Every object takes a number
    // too, so the numbers match what a reader counts.
    void WriteObjectTag(std::string_view className, uint16_t schema);
    void WriteNullObject();
    // A string-to-string map: the count, then key and value of each entry.
    void WriteStringMap(const std::map<std::string, std::string>& map);

    const std::vector<uint8_t>& bytes() const { return bytes_; }
    std::vector<uint8_t> TakeBytes() { return std::move(bytes_); }
    // Writes the archive to a file atomically: the file holds its old content or the whole archive.
    IoResult SaveTo(const std::filesystem::path& path) const;

private:
    void WriteIndexTag(uint32_t index, uint16_t flag16, uint32_t flag32);

    std::vector<uint8_t> bytes_;
    std::map<std::string, uint32_t, std::less<>> classIndex_;
    uint32_t nextIndex_ = 1;  // 0 stands for the null object
};

// Reads an archive from bytes in memory; the reader does not own them.
class ArchiveReader {
public:
    explicit ArchiveReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    size_t position() const { return position_; }
    size_t remaining() const { return bytes_.size() - position_; }
    bool AtEnd() const { return position_ == bytes_.size(); }

    uint8_t ReadU8();
    uint16_t ReadU16();
    uint32_t ReadU32();
    uint64_t ReadU64();
    int32_t ReadI32() { return static_cast<int32_t>(ReadU32()); }
    int64_t ReadI64() { return static_cast<int64_t>(ReadU64()); }
    float ReadFloat();
    double ReadDouble();
    // A view of the next size bytes, valid as long as the underlying bytes.
    std::span<const uint8_t> ReadBytes(size_t size);
    std::u16string ReadUtf16Text(size_t units);

    // A count of elements that take at least minElementBytes each (at least one byte is assumed):
    // a count the remaining bytes cannot hold ends the read, so no caller reserves memory for
    // elements that are not there.
    uint64_t ReadCount(size_t minElementBytes);
    // A string in any length form; one without the Unicode marker holds 8-bit code page 1252 text.
    std::u16string ReadString();
    std::string ReadStringUtf8();
    // Either time form.
    int64_t ReadTime();
    // The tag before an object: its class, or nothing for a null object. A tag naming an earlier
    // object (shared objects, which none of our files contain) or an unknown class ends the read.
    std::optional<ArchiveClass> ReadObjectTag();
    // The tag of an object that must be of this class and schema: false for a null object.
    bool ReadObjectTag(std::string_view className, uint16_t schema);
    std::map<std::string, std::string> ReadStringMap();

private:
    const uint8_t* Take(size_t size);
    uint32_t RegisterNewClass();

    std::span<const uint8_t> bytes_;
    size_t position_ = 0;
    // Classes and objects share one numbering; only the classes need remembering.
    uint32_t nextNumber_ = 1;  // 0 stands for the null object
    std::map<uint32_t, ArchiveClass> classes_;
};

}  // namespace kv

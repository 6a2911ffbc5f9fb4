#include "imageio/Archive.h"

#include <algorithm>
#include <cstring>

#include "imageio/Utf16.h"

namespace kv {

namespace {

constexpr uint8_t kByteEscape = 0xFF;
constexpr uint16_t kUnicodeMarker = 0xFFFE;
constexpr uint16_t kWordEscape = 0xFFFF;
constexpr uint32_t kDwordEscape = 0xFFFFFFFF;

// Object tags: 0 is the null object; 0x8000 | n names class n; a plain n names object n. Numbers
// from 0x7FFF on are written as 0x7FFF and 32 bits, the class flag then being 0x80000000.
constexpr uint16_t kNullTag = 0;
constexpr uint16_t kNewClassTag = 0xFFFF;
constexpr uint16_t kClassTag = 0x8000;
constexpr uint16_t kBigTag = 0x7FFF;
constexpr uint32_t kBigClassTag = 0x80000000;
constexpr size_t kMaxClassName = 64;
// Our files hold objects of one or two classes; many more is a damaged file.
constexpr size_t kMaxClasses = 1024;

[[noreturn]] void Fail(ArchiveError::Cause cause, const char* text) { throw ArchiveError(cause, text); }

}  // namespace

// --- writer ---

void ArchiveWriter::WriteU16(uint16_t value) {
    bytes_.push_back(static_cast<uint8_t>(value));
    bytes_.push_back(static_cast<uint8_t>(value >> 8));
}

void ArchiveWriter::WriteU32(uint32_t value) {
    WriteU16(static_cast<uint16_t>(value));
    WriteU16(static_cast<uint16_t>(value >> 16));
}

void ArchiveWriter::WriteU64(uint64_t value) {
    WriteU32(static_cast<uint32_t>(value));
    WriteU32(static_cast<uint32_t>(value >> 32));
}

void ArchiveWriter::WriteFloat(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    WriteU32(bits);
}

void ArchiveWriter::WriteDouble(double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    WriteU64(bits);
}

void ArchiveWriter::WriteBytes(std::span<const uint8_t> bytes) { bytes_.insert(bytes_.end(), bytes.begin(), bytes.end()); }

void ArchiveWriter::WriteUtf16Text(std::u16string_view text) {
    bytes_.reserve(bytes_.size() + 2 * text.size());
    for (const char16_t unit : text) WriteU16(unit);
}

void ArchiveWriter::WriteCount(uint64_t count) {
    if (count < kWordEscape) {
        WriteU16(static_cast<uint16_t>(count));
        return;
    }
    WriteU16(kWordEscape);
    if (count < kDwordEscape) {
        WriteU32(static_cast<uint32_t>(count));
        return;
    }
    WriteU32(kDwordEscape);
    WriteU64(count);
}

void ArchiveWriter::WriteString(std::u16string_view text) {
    WriteU8(kByteEscape);
    WriteU16(kUnicodeMarker);
    const uint64_t length = text.size();
    if (length < kByteEscape) {
        WriteU8(static_cast<uint8_t>(length));
    } else {
        WriteU8(kByteEscape);
        if (length < kUnicodeMarker) {
            WriteU16(static_cast<uint16_t>(length));
        } else {
            WriteU16(kWordEscape);
            if (length < kDwordEscape) {
                WriteU32(static_cast<uint32_t>(length));
            } else {
                WriteU32(kDwordEscape);
                WriteU64(length);
            }
        }
    }
    WriteUtf16Text(text);
}

void ArchiveWriter::WriteStringUtf8(std::string_view text) { WriteString(Utf8ToUtf16(text)); }

void ArchiveWriter::WriteTime(int64_t secondsSince1970) {
    WriteU32(kArchiveTime64Marker);
    WriteI64(secondsSince1970);
}

void ArchiveWriter::WriteIndexTag(uint32_t index, uint16_t flag16, uint32_t flag32) {
    if (index < kBigTag) {
        WriteU16(static_cast<uint16_t>(flag16 | index));
    } else {
        WriteU16(kBigTag);
        WriteU32(flag32 | index);
    }
}

void ArchiveWriter::WriteObjectTag(std::string_view className, uint16_t schema) {
    if (const auto known = classIndex_.find(className); known != classIndex_.end()) {
        WriteIndexTag(known->second, kClassTag, kBigClassTag);
    } else {
        WriteU16(kNewClassTag);
        WriteU16(schema);
        WriteU16(static_cast<uint16_t>(className.size()));
        WriteBytes({reinterpret_cast<const uint8_t*>(className.data()), className.size()});
        classIndex_.emplace(std::string(className), nextIndex_++);
    }
    ++nextIndex_;  // the object itself
}

void ArchiveWriter::WriteNullObject() { WriteU16(kNullTag); }

void ArchiveWriter::WriteStringMap(const std::map<std::string, std::string>& map) {
    WriteCount(map.size());
    for (const auto& [key, value] : map) {
        WriteStringUtf8(key);
        WriteStringUtf8(value);
    }
}

IoResult ArchiveWriter::SaveTo(const std::filesystem::path& path) const { return WriteFileAtomically(path, bytes_); }

// --- reader ---

const uint8_t* ArchiveReader::Take(size_t size) {
    if (size > remaining()) Fail(ArchiveError::Cause::EndOfFile, "Unexpected end of file");
    const uint8_t* p = bytes_.data() + position_;
    position_ += size;
    return p;
}

uint8_t ArchiveReader::ReadU8() { return *Take(1); }

uint16_t ArchiveReader::ReadU16() {
    const uint8_t* p = Take(2);
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t ArchiveReader::ReadU32() {
    const uint8_t* p = Take(4);
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

uint64_t ArchiveReader::ReadU64() {
    const uint64_t low = ReadU32();
    return low | (uint64_t{ReadU32()} << 32);
}

float ArchiveReader::ReadFloat() {
    const uint32_t bits = ReadU32();
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

double ArchiveReader::ReadDouble() {
    const uint64_t bits = ReadU64();
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

std::span<const uint8_t> ArchiveReader::ReadBytes(size_t size) { return {Take(size), size}; }

std::u16string ArchiveReader::ReadUtf16Text(size_t units) {
    if (units > remaining() / 2) Fail(ArchiveError::Cause::EndOfFile, "Unexpected end of file");
    const uint8_t* p = Take(2 * units);
    std::u16string text(units, u'\0');
    for (size_t i = 0; i < units; ++i) text[i] = static_cast<char16_t>(p[2 * i] | (p[2 * i + 1] << 8));
    return text;
}

uint64_t ArchiveReader::ReadCount(size_t minElementBytes) {
    uint64_t count = ReadU16();
    if (count == kWordEscape) {
        count = ReadU32();
        if (count == kDwordEscape) count = ReadU64();
    }
    if (count > remaining() / std::max<size_t>(minElementBytes, 1))
        Fail(ArchiveError::Cause::EndOfFile, "Count larger than the rest of the file");
    return count;
}

std::u16string ArchiveReader::ReadString() {
    bool unicode = false;
    uint64_t length = ReadU8();
    if (length == kByteEscape) {
        length = ReadU16();
        if (length == kUnicodeMarker) {
            unicode = true;
            length = ReadU8();
            if (length == kByteEscape) length = ReadU16();
        }
        if (length == kWordEscape) {
            length = ReadU32();
            if (length == kDwordEscape) length = ReadU64();
        }
    }
    const size_t unitBytes = unicode ? 2 : 1;
    if (length > remaining() / unitBytes) Fail(ArchiveError::Cause::EndOfFile, "String longer than the rest of the file");
    if (unicode) return ReadUtf16Text(static_cast<size_t>(length));
    const auto bytes = ReadBytes(static_cast<size_t>(length));
    return Windows1252ToUtf16({reinterpret_cast<const char*>(bytes.data()), bytes.size()});
}

std::string ArchiveReader::ReadStringUtf8() { return Utf16ToUtf8(ReadString()); }

int64_t ArchiveReader::ReadTime() {
    const uint32_t first = ReadU32();
    if (first == kArchiveTime64Marker) return ReadI64();
    return static_cast<int32_t>(first);
}

uint32_t ArchiveReader::RegisterNewClass() {
    ArchiveClass cls;
    cls.schema = ReadU16();
    const uint16_t nameLength = ReadU16();
    if (nameLength == 0 || nameLength >= kMaxClassName) Fail(ArchiveError::Cause::BadClass, "Bad class name");
    const auto name = ReadBytes(nameLength);
    for (const uint8_t c : name)
        if (c < 0x20 || c > 0x7E) Fail(ArchiveError::Cause::BadClass, "Bad class name");
    cls.name.assign(name.begin(), name.end());
    if (classes_.size() >= kMaxClasses) Fail(ArchiveError::Cause::BadClass, "Too many classes");
    const uint32_t number = nextNumber_++;
    classes_.emplace(number, std::move(cls));
    return number;
}

std::optional<ArchiveClass> ArchiveReader::ReadObjectTag() {
    const uint16_t tag = ReadU16();
    if (tag == kNullTag) return std::nullopt;
    uint32_t classNumber;
    if (tag == kNewClassTag) {
        classNumber = RegisterNewClass();
    } else {
        uint32_t number;
        bool isClass;
        if (tag == kBigTag) {
            const uint32_t big = ReadU32();
            isClass = (big & kBigClassTag) != 0;
            number = big & ~kBigClassTag;
        } else {
            isClass = (tag & kClassTag) != 0;
            number = tag & ~kClassTag;
        }
        if (!isClass) Fail(ArchiveError::Cause::BadFormat, "Reference to an earlier object");
        if (!classes_.contains(number)) Fail(ArchiveError::Cause::BadClass, "Unknown class");
        classNumber = number;
    }
    ++nextNumber_;  // the object itself
    return classes_.at(classNumber);
}

bool ArchiveReader::ReadObjectTag(std::string_view className, uint16_t schema) {
    const auto cls = ReadObjectTag();
    if (!cls) return false;
    if (cls->name != className) Fail(ArchiveError::Cause::BadClass, "Object of an unexpected class");
    if (cls->schema != schema) Fail(ArchiveError::Cause::BadSchema, "Object of an unexpected schema");
    return true;
}

std::map<std::string, std::string> ArchiveReader::ReadStringMap() {
    // The shortest entry is two empty 8-bit strings, one byte each.
    const uint64_t count = ReadCount(2);
    std::map<std::string, std::string> map;
    for (uint64_t i = 0; i < count; ++i) {
        std::string key = ReadStringUtf8();
        map[std::move(key)] = ReadStringUtf8();
    }
    return map;
}

}  // namespace kv

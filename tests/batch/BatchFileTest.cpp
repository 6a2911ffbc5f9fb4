#include "batch/BatchFile.h"

#include <gtest/gtest.h>

#include <string>

#include "common/TestFiles.h"

namespace kv::test {
namespace {

using Bytes = std::vector<uint8_t>;

void Append(Bytes& bytes, std::initializer_list<uint8_t> values) { bytes.insert(bytes.end(), values); }

Bytes Header() {
    Bytes bytes;
    for (const char c : std::string("KARVO ScaleCrafter 2.0 Batch")) Append(bytes, {uint8_t(c), 0});
    return bytes;
}

const std::string kLongPath = "/" + std::string(299, 'p');  // 300 characters

// Two records built by hand from the layout: a 300-character path in the long length form, and a
// short one holding a non-ASCII character.
Bytes HandBuiltFile() {
    Bytes bytes = Header();
    Append(bytes, {0x02, 0x00, 0x00, 0x00});              // two items
    Append(bytes, {0xFF, 0xFE, 0xFF, 0xFF, 0x2C, 0x01});  // Unicode string, 300 code units
    for (const char c : kLongPath) Append(bytes, {uint8_t(c), 0});
    Append(bytes, {0x40, 0x01, 0x00, 0x00});  // width 320
    Append(bytes, {0xC8, 0x00, 0x00, 0x00});  // height 200
    Append(bytes, {0x00, 0x00, 0x91, 0x42});  // 72.5 dpi
    Append(bytes, {0x07, 0x00, 0x00, 0x00});  // algorithm 7
    Append(bytes, {0x01, 0x00, 0x00, 0x00});  // Crop
    Append(bytes, {0xFF, 0xFE, 0xFF, 0x06, '/', 0, 0xE9, 0, '.', 0, 'j', 0, 'p', 0, 'g', 0});  // "/é.jpg"
    Append(bytes, {0x00, 0x00, 0x00, 0x00});  // width 0: never stamped
    Append(bytes, {0x00, 0x00, 0x00, 0x00});
    Append(bytes, {0x00, 0x00, 0x96, 0x43});  // 300 dpi
    Append(bytes, {0x04, 0x00, 0x00, 0x00});
    Append(bytes, {0x00, 0x00, 0x00, 0x00});
    return bytes;
}

std::vector<BatchRecord> HandBuiltRecords() {
    return {
        {kLongPath, {320, 200, 72.5f, 7, SizeCorrection::Crop}},
        {"/\xC3\xA9.jpg", {0, 0, 300.0f, 4, SizeCorrection::KeepAspect}},
    };
}

TEST(BatchFileTest, WrittenByteForByteAsTheLayoutSays) {
    TempDir dir;
    ASSERT_TRUE(WriteBatchFile(dir / "a.qzb", HandBuiltRecords()).ok());
    EXPECT_EQ(ReadBytes(dir / "a.qzb"), HandBuiltFile());
    EXPECT_EQ(DecodeBatchFile(HandBuiltFile()), HandBuiltRecords());
}

TEST(BatchFileTest, ListsLargerThanTheWriteBufferRoundTrip) {
    std::vector<BatchRecord> records;
    for (int i = 0; i < 40; ++i) records.push_back({kLongPath + std::to_string(i), {i, 2 * i, 96.0f, i % 10, SizeCorrection::None}});
    TempDir dir;
    ASSERT_TRUE(WriteBatchFile(dir / "big.qzb", records).ok());
    const Bytes bytes = ReadBytes(dir / "big.qzb");
    ASSERT_GT(bytes.size(), 2 * kBatchFileWriteBuffer);
    EXPECT_EQ(DecodeBatchFile(bytes), records);
}

TEST(BatchFileTest, ReadingKeepsTheRecordsReadWholeAndValidatesValues) {
    const Bytes file = HandBuiltFile();
    const size_t firstRecordEnd = 60 + 6 + 600 + 20;
    const auto records = [](Bytes bytes) { return DecodeBatchFile(bytes); };

    // A file cut anywhere after the header keeps the records that were read whole, and says it
    // ended early.
    for (const size_t cut : {size_t{56}, size_t{59}, size_t{60}, firstRecordEnd - 1, firstRecordEnd, file.size() - 1}) {
        SCOPED_TRACE(cut);
        bool complete = true;
        const auto read = DecodeBatchFile(Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(cut)), &complete);
        ASSERT_TRUE(read);
        EXPECT_EQ(read->size(), cut >= firstRecordEnd ? 1u : 0u);
        EXPECT_FALSE(complete);
    }
    bool complete = false;
    EXPECT_EQ(DecodeBatchFile(file, &complete)->size(), 2u);
    EXPECT_TRUE(complete);

    // A count larger than the records stops at the end; a negative count reads none.
    const auto withCount = [&](uint32_t count) {
        Bytes bytes = file;
        for (size_t i = 0; i < 4; ++i) bytes.at(56 + i) = static_cast<uint8_t>(count >> (8 * i));
        return bytes;
    };
    EXPECT_EQ(records(withCount(0x7FFFFFFF)), HandBuiltRecords());
    EXPECT_EQ(records(withCount(0x80000002))->size(), 0u);

    // A string length past the end of the file stops reading there.
    Bytes impossible = file;
    impossible[64] = 0xFF;
    impossible[65] = 0x7F;
    EXPECT_EQ(records(impossible)->size(), 0u);

    // Values out of range take their defaults; a path with a NUL names no file.
    Bytes odd = Header();
    Append(odd, {0x01, 0, 0, 0, 0xFF, 0xFE, 0xFF, 0x03, 'a', 0, 0, 0, 'b', 0});
    Append(odd, {0x10, 0, 0, 0, 0x10, 0, 0, 0});
    Append(odd, {0x00, 0x00, 0xC0, 0x7F});  // NaN
    Append(odd, {42, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF});
    const auto read = records(odd);
    ASSERT_EQ(read->size(), 1u);
    EXPECT_EQ((*read)[0], (BatchRecord{{}, {16, 16, ResizeSettings::kDefaultDpi, kDefaultResizeAlgorithm, SizeCorrection::KeepAspect}}));
}

TEST(BatchFileTest, AnyOtherHeaderIsNoBatchFile) {
    Bytes settings;
    for (const char c : std::string("KARVO ScaleCrafter 2.0 Settings")) Append(settings, {uint8_t(c), 0});
    Bytes flipped = HandBuiltFile();
    flipped[2] ^= 0x20;
    const Bytes header = Header();
    for (const Bytes& bytes : {Bytes{}, Bytes(header.begin(), header.end() - 1), settings, flipped})
        EXPECT_FALSE(DecodeBatchFile(bytes));
}

TEST(BatchFileTest, AFailedWriteLeavesTheOldFileWhole) {
    TempDir dir;
    WriteBytes(dir / "a.qzb", HandBuiltFile());
    EXPECT_FALSE(WriteBatchFile(dir / "missing" / "a.qzb", HandBuiltRecords()).ok());
    EXPECT_FALSE(WriteBatchFile(dir / "a.qzb" / "b.qzb", HandBuiltRecords()).ok());
    EXPECT_EQ(ReadBytes(dir / "a.qzb"), HandBuiltFile());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

}  // namespace
}  // namespace kv::test

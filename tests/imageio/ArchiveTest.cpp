#include "imageio/Archive.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/TestFiles.h"
#include "imageio/Utf16.h"

namespace kv {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Concat(Bytes head, const Bytes& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

// The UTF-16LE bytes of n copies of one code unit.
Bytes Units(size_t n, char16_t unit) {
    Bytes bytes;
    for (size_t i = 0; i < n; ++i) {
        bytes.push_back(static_cast<uint8_t>(unit));
        bytes.push_back(static_cast<uint8_t>(unit >> 8));
    }
    return bytes;
}

TEST(ArchiveTest, StringLengthForms) {
    struct Case {
        size_t length;
        Bytes prefix;
    };
    const std::vector<Case> cases{
        {0, {0xFF, 0xFE, 0xFF, 0x00}},
        {3, {0xFF, 0xFE, 0xFF, 0x03}},
        {254, {0xFF, 0xFE, 0xFF, 0xFE}},
        {255, {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0x00}},
        {300, {0xFF, 0xFE, 0xFF, 0xFF, 0x2C, 0x01}},
        {0xFFFD, {0xFF, 0xFE, 0xFF, 0xFF, 0xFD, 0xFF}},
        {0xFFFE, {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}},
        {0x10001, {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0x00, 0x01, 0x00}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        const std::u16string text(c.length, u'\u00e9');
        ArchiveWriter writer;
        writer.WriteString(text);
        EXPECT_EQ(writer.bytes(), Concat(c.prefix, Units(c.length, u'\u00e9')));

        ArchiveReader reader(writer.bytes());
        EXPECT_EQ(reader.ReadString(), text);
        EXPECT_TRUE(reader.AtEnd());
    }
}

TEST(ArchiveTest, EightBitStringsAreReadInTheWesternCodePage) {
    // No Unicode marker: one byte a character, in every length form.
    const Bytes shortForm{0x03, 'a', 0x80, 0xE9};
    EXPECT_EQ(ArchiveReader(shortForm).ReadString(), u"a\u20ac\u00e9");

    Bytes longForm{0xFF, 0x2C, 0x01};
    longForm.resize(3 + 300, 'x');
    EXPECT_EQ(ArchiveReader(longForm).ReadString(), std::u16string(300, u'x'));

    Bytes longerForm{0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x01, 0x00};
    longerForm.resize(7 + 0x10000, 'y');
    EXPECT_EQ(ArchiveReader(longerForm).ReadStringUtf8(), std::string(0x10000, 'y'));
}

TEST(ArchiveTest, CountForms) {
    struct Case {
        uint64_t count;
        Bytes bytes;
    };
    const std::vector<Case> cases{
        {0, {0x00, 0x00}},
        {0xFFFE, {0xFE, 0xFF}},
        {0xFFFF, {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00}},
        {0x10000, {0xFF, 0xFF, 0x00, 0x00, 0x01, 0x00}},
    };
    for (const auto& c : cases) {
        ArchiveWriter writer;
        writer.WriteCount(c.count);
        EXPECT_EQ(writer.bytes(), c.bytes) << c.count;
        // Followed by as many one-byte elements.
        Bytes withElements = c.bytes;
        withElements.resize(c.bytes.size() + c.count);
        EXPECT_EQ(ArchiveReader(withElements).ReadCount(1), c.count);
    }
}

TEST(ArchiveTest, CountNeverExceedsWhatTheRestCanHold) {
    // Three elements of four bytes need twelve bytes; eleven are there.
    Bytes bytes{0x03, 0x00};
    bytes.resize(2 + 11);
    EXPECT_THROW(ArchiveReader(bytes).ReadCount(4), ArchiveError);
    bytes.push_back(0);
    EXPECT_EQ(ArchiveReader(bytes).ReadCount(4), 3u);
    // A 64-bit count that would wrap any size computation.
    const Bytes huge{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_THROW(ArchiveReader(huge).ReadCount(1), ArchiveError);
}

TEST(ArchiveTest, IntegersAndFloatsAreLittleEndian) {
    ArchiveWriter writer;
    writer.WriteU16(0x0102);
    writer.WriteI32(-2);
    writer.WriteU64(0x0102030405060708);
    writer.WriteFloat(72.5f);
    writer.WriteDouble(-1.5);
    const Bytes expected{0x02, 0x01, 0xFE, 0xFF, 0xFF, 0xFF, 0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01,
                         0x00, 0x00, 0x91, 0x42, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF8, 0xBF};
    EXPECT_EQ(writer.bytes(), expected);

    ArchiveReader reader(expected);
    EXPECT_EQ(reader.ReadU16(), 0x0102);
    EXPECT_EQ(reader.ReadI32(), -2);
    EXPECT_EQ(reader.ReadU64(), 0x0102030405060708u);
    EXPECT_EQ(reader.ReadFloat(), 72.5f);
    EXPECT_EQ(reader.ReadDouble(), -1.5);
    EXPECT_TRUE(reader.AtEnd());
}

TEST(ArchiveTest, TimesInBothForms) {
    ArchiveWriter writer;
    writer.WriteTime(0x123456789);
    const Bytes expected{0x0A, 0x00, 0x00, 0x80, 0x89, 0x67, 0x45, 0x23, 0x01, 0x00, 0x00, 0x00};
    EXPECT_EQ(writer.bytes(), expected);
    EXPECT_EQ(ArchiveReader(expected).ReadTime(), 0x123456789);
    // A bare 32-bit time is signed.
    EXPECT_EQ(ArchiveReader(Bytes{0x10, 0x00, 0x00, 0x00}).ReadTime(), 16);
    EXPECT_EQ(ArchiveReader(Bytes{0xFF, 0xFF, 0xFF, 0xFF}).ReadTime(), -1);
}

TEST(ArchiveTest, EveryTruncationOfAnArchiveEndsTheRead) {
    ArchiveWriter writer;
    writer.WriteCount(3);
    writer.WriteString(std::u16string(300, u'p'));
    writer.WriteTime(5);
    writer.WriteObjectTag("CThing", 1);
    writer.WriteDouble(2.0);
    const Bytes& whole = writer.bytes();
    const auto readAll = [](ArchiveReader& reader) {
        reader.ReadCount(1);
        reader.ReadString();
        reader.ReadTime();
        reader.ReadObjectTag("CThing", 1);
        reader.ReadDouble();
    };
    for (size_t size = 0; size < whole.size(); ++size) {
        // A copy of exactly that size, so that a read past its end shows under the address sanitizer.
        const Bytes part(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(size));
        ArchiveReader reader(part);
        try {
            readAll(reader);
            ADD_FAILURE() << "read " << size << " bytes without noticing the end";
        } catch (const ArchiveError& e) {
            EXPECT_EQ(e.cause(), ArchiveError::Cause::EndOfFile) << size;
        }
    }
    ArchiveReader reader(whole);
    EXPECT_NO_THROW(readAll(reader));
    EXPECT_TRUE(reader.AtEnd());
}

TEST(ArchiveTest, ImpossibleStringLengthsAreRefusedBeforeAllocating) {
    const std::vector<Bytes> cases{
        {0xFF, 0xFE, 0xFF, 0x05, 'a', 0, 'b', 0},                                       // 5 units, 2 there
        {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F},                   // 2 G units
        {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,                    // 64-bit form
         0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
        {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x0F},  // 8-bit, 64-bit form
    };
    for (const auto& bytes : cases) {
        ArchiveReader reader(bytes);
        EXPECT_THROW(reader.ReadString(), ArchiveError);
    }
}

TEST(ArchiveTest, ObjectTagsNumberClassesAndObjectsTogether) {
    ArchiveWriter writer;
    writer.WriteObjectTag("CA", 1);  // class 1, object 2
    writer.WriteObjectTag("CA", 1);  // object 3
    writer.WriteObjectTag("CB", 7);  // class 4, object 5
    writer.WriteNullObject();
    writer.WriteObjectTag("CB", 7);
    writer.WriteObjectTag("CA", 1);
    const Bytes expected{0xFF, 0xFF, 0x01, 0x00, 0x02, 0x00, 'C', 'A',  //
                         0x01, 0x80,                                    //
                         0xFF, 0xFF, 0x07, 0x00, 0x02, 0x00, 'C', 'B',  //
                         0x00, 0x00,                                    //
                         0x04, 0x80,                                    //
                         0x01, 0x80};
    EXPECT_EQ(writer.bytes(), expected);

    ArchiveReader reader(expected);
    EXPECT_TRUE(reader.ReadObjectTag("CA", 1));
    EXPECT_TRUE(reader.ReadObjectTag("CA", 1));
    const auto b = reader.ReadObjectTag();
    ASSERT_TRUE(b);
    EXPECT_EQ(b->name, "CB");
    EXPECT_EQ(b->schema, 7);
    EXPECT_FALSE(reader.ReadObjectTag("CA", 1));  // the null object
    EXPECT_EQ(reader.ReadObjectTag()->name, "CB");
    EXPECT_EQ(reader.ReadObjectTag()->name, "CA");
    EXPECT_TRUE(reader.AtEnd());
}

TEST(ArchiveTest, ClassNumbersPastTheShortTagUseTheLongForm) {
    ArchiveWriter writer;
    for (int i = 0; i < 0x8000; ++i) writer.WriteObjectTag("CA", 1);  // numbers 1 .. 0x8001
    writer.WriteObjectTag("CB", 1);                                    // class 0x8002
    writer.WriteObjectTag("CB", 1);
    const Bytes& bytes = writer.bytes();
    const Bytes tail(bytes.end() - 6, bytes.end());
    EXPECT_EQ(tail, (Bytes{0xFF, 0x7F, 0x02, 0x80, 0x00, 0x80}));

    ArchiveReader reader(bytes);
    for (int i = 0; i < 0x8000; ++i) ASSERT_TRUE(reader.ReadObjectTag("CA", 1));
    EXPECT_TRUE(reader.ReadObjectTag("CB", 1));
    EXPECT_TRUE(reader.ReadObjectTag("CB", 1));
    EXPECT_TRUE(reader.AtEnd());
}

TEST(ArchiveTest, BadObjectTagsEndTheRead) {
    struct Case {
        const char* what;
        Bytes bytes;
        ArchiveError::Cause cause;
    };
    const std::vector<Case> cases{
        {"unknown class number", {0x05, 0x80}, ArchiveError::Cause::BadClass},
        {"class number naming an object", {0xFF, 0xFF, 1, 0, 2, 0, 'C', 'A', 0x02, 0x80}, ArchiveError::Cause::BadClass},
        {"reference to an object", {0xFF, 0xFF, 1, 0, 2, 0, 'C', 'A', 0x02, 0x00}, ArchiveError::Cause::BadFormat},
        {"empty class name", {0xFF, 0xFF, 1, 0, 0, 0}, ArchiveError::Cause::BadClass},
        {"class name with a control byte", {0xFF, 0xFF, 1, 0, 2, 0, 'C', 0x01}, ArchiveError::Cause::BadClass},
        {"other class", {0xFF, 0xFF, 1, 0, 2, 0, 'C', 'B'}, ArchiveError::Cause::BadClass},
        {"other schema", {0xFF, 0xFF, 2, 0, 2, 0, 'C', 'A'}, ArchiveError::Cause::BadSchema},
    };
    for (const auto& c : cases) {
        ArchiveReader reader(c.bytes);
        try {
            while (reader.ReadObjectTag("CA", 1)) {
            }
            ADD_FAILURE() << c.what;
        } catch (const ArchiveError& e) {
            EXPECT_EQ(e.cause(), c.cause) << c.what;
        }
    }
}

TEST(ArchiveTest, StringMapLayout) {
    ArchiveWriter writer;
    writer.WriteStringMap({{"/a/", "/c/FLD1.tmp"}, {"/b/", ""}});
    Bytes expected{0x02, 0x00, 0xFF, 0xFE, 0xFF, 0x03};
    for (char c : std::string("/a/")) expected.insert(expected.end(), {static_cast<uint8_t>(c), 0});
    expected.insert(expected.end(), {0xFF, 0xFE, 0xFF, 0x0B});
    for (char c : std::string("/c/FLD1.tmp")) expected.insert(expected.end(), {static_cast<uint8_t>(c), 0});
    expected.insert(expected.end(), {0xFF, 0xFE, 0xFF, 0x03, '/', 0, 'b', 0, '/', 0, 0xFF, 0xFE, 0xFF, 0x00});
    EXPECT_EQ(writer.bytes(), expected);

    const auto map = ArchiveReader(expected).ReadStringMap();
    EXPECT_EQ(map, (std::map<std::string, std::string>{{"/a/", "/c/FLD1.tmp"}, {"/b/", ""}}));
}

TEST(ArchiveTest, SaveToWritesTheWholeArchive) {
    test::TempDir dir;
    ArchiveWriter writer;
    writer.WriteStringUtf8("x");
    ASSERT_TRUE(writer.SaveTo(dir / "a.bin").ok());
    EXPECT_EQ(test::ReadBytes(dir / "a.bin"), writer.bytes());
    EXPECT_FALSE(writer.SaveTo(dir / "missing" / "a.bin").ok());
}

TEST(Utf16Test, RoundTripsEveryPath) {
    const std::vector<std::string> texts{
        "plain", "caf\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x93\xb7 photo",
        "bad \xff byte", "\xc3",                    // a truncated sequence
        "\xc0\xaf", "\xed\xa0\x80",                 // overlong '/', an encoded surrogate
        "\xf4\x90\x80\x80", std::string("nul\0in", 6),
    };
    for (const auto& text : texts) EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(text)), text);
    EXPECT_EQ(Utf8ToUtf16("caf\xc3\xa9"), u"caf\u00e9");
    EXPECT_EQ(Utf8ToUtf16("\xf0\x9f\x93\xb7"), u"\U0001F4F7");
    EXPECT_EQ(Utf8ToUtf16("a\xff"), u"a\xdcff");
}

TEST(Utf16Test, LoneSurrogatesFromAFileBecomeReplacementCharacters) {
    EXPECT_EQ(Utf16ToUtf8(u"a\xd800z"), "a\xef\xbf\xbdz");
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, u'\xdc00')), "\xef\xbf\xbd");
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, u'\xd83d')), "\xef\xbf\xbd");
}

}  // namespace
}  // namespace kv

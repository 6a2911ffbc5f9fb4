// The encoder: the segments it writes, its quantisation tables, what it does with the rows it is
// given, and what comes back through the decoder.

#include <gtest/gtest.h>

#include <map>

#include "codecs/HuffEncoder.h"
#include "codecs/JpegTables.h"
#include "codecs/RgbToYcc.h"
#include "codecs/SamplingMap.h"
#include "codecs/JpegTestSupport.h"

namespace {

using namespace kv::test;
using SlimJpeg::Error;

// (marker, length including the marker) of every segment up to and including SOS.
std::vector<std::pair<int, size_t>> Layout(const Bytes& jpeg) {
    std::vector<std::pair<int, size_t>> layout{{0xD8, 2}};
    for (const Segment& s : Split(jpeg).segments) layout.emplace_back(s.marker, s.payload.size() + 4);
    return layout;
}

TEST(JpegEncoder, WritesTheSegmentsInTheirOrderAndLengths) {
    const std::vector<std::pair<int, size_t>> colour = {{0xD8, 2},  {0xE0, 18},  {0xFE, 77},  {0xDB, 69},
                                                        {0xDB, 69}, {0xC0, 19},  {0xC4, 33},  {0xC4, 33},
                                                        {0xC4, 183}, {0xC4, 183}, {0xDA, 14}};
    EXPECT_EQ(Layout(EncodeJpeg(SyntheticPhoto(20, 10))), colour);
    const std::vector<std::pair<int, size_t>> grey = {{0xD8, 2},  {0xE0, 18}, {0xFE, 77},  {0xDB, 69},
                                                      {0xDB, 69}, {0xC0, 13}, {0xC4, 33}, {0xC4, 183}, {0xDA, 10}};
    EXPECT_EQ(Layout(EncodeJpeg(SyntheticPhoto(20, 10, 1))), grey);
    EncodeOptions single;
    single.singleDqt = true;
    EXPECT_EQ(Layout(EncodeJpeg(SyntheticPhoto(20, 10), single))[3], (std::pair<int, size_t>{0xDB, 134}));

    const Bytes jpeg = EncodeJpeg(SyntheticPhoto(20, 10));
    EXPECT_EQ(jpeg.back(), 0xD9);
    EXPECT_EQ(jpeg[jpeg.size() - 2], 0xFF);
}

TEST(JpegEncoder, FrameScanAndJfifFieldsDescribeTheImage) {
    EncodeOptions options;
    options.chroma422 = true;
    options.densityUnit = 3;
    options.xDensity = 118;
    options.yDensity = 119;
    SplitStream split = Split(EncodeJpeg(SyntheticPhoto(300, 2), options));
    EXPECT_EQ(split.Find(0xE0)->payload, (Bytes{'J', 'F', 'I', 'F', 0, 1, 1, 2, 0, 118, 0, 119, 0, 0}));
    EXPECT_EQ(split.Find(0xC0)->payload, (Bytes{8, 0, 2, 0x01, 0x2C, 3, 1, 0x21, 0, 2, 0x11, 1, 3, 0x11, 1}));
    EXPECT_EQ(split.Find(0xDA)->payload, (Bytes{3, 1, 0x00, 2, 0x11, 3, 0x11, 0, 63, 0}));
    EXPECT_EQ(split.Find(0xFE)->payload.size(), 73u);

    for (auto [unit, written] : {std::pair{2, 1}, std::pair{3, 2}, std::pair{0, 0}, std::pair{1, 0}, std::pair{9, 0}}) {
        EncodeOptions o;
        o.densityUnit = unit;
        EXPECT_EQ(Split(EncodeJpeg(SyntheticPhoto(8, 8), o)).Find(0xE0)->payload[7], written) << unit;
    }
}

std::vector<int> ZigzagStart(const SlimJpeg::QuantTable& table, int n) {
    std::vector<int> values;
    for (int k = 0; k < n; ++k) values.push_back(table.values[SlimJpeg::kZigzag[k]]);
    return values;
}

TEST(JpegEncoder, QuantisationTablesScaleWithQuality) {
    using SlimJpeg::ScaleQuantTable;
    const SlimJpeg::QuantTable lum90 = ScaleQuantTable(SlimJpeg::kLuminanceQuant, 90);
    EXPECT_EQ(ZigzagStart(lum90, 3), (std::vector<int>{3, 2, 2}));
    EXPECT_EQ(ScaleQuantTable(SlimJpeg::kChrominanceQuant, 90).values[0], 3);
    for (int q : {100, 101, 1000}) {
        for (uint16_t v : ScaleQuantTable(SlimJpeg::kLuminanceQuant, q).values) ASSERT_EQ(v, 1) << q;
    }
    for (const auto* base : {&SlimJpeg::kLuminanceQuant, &SlimJpeg::kChrominanceQuant}) {
        EXPECT_EQ(ScaleQuantTable(*base, 50).values, *base);
        EXPECT_EQ(ScaleQuantTable(*base, 0).values, ScaleQuantTable(*base, 1).values);
        EXPECT_EQ(ScaleQuantTable(*base, -5).values, ScaleQuantTable(*base, 1).values);
        // At quality 1 every entry is 50 times the base, held to 8 bits.
        for (int k = 0; k < 64; ++k) EXPECT_EQ(ScaleQuantTable(*base, 1).values[k], std::min(50 * (*base)[k], 255));
    }
    // What the stream carries, in zig-zag order.
    SplitStream split = Split(EncodeJpeg(SyntheticPhoto(8, 8)));
    const Bytes& dqt = split.Find(0xDB)->payload;
    EXPECT_EQ(dqt[0], 0x00);
    EXPECT_EQ((std::vector<int>{dqt[1], dqt[2], dqt[3]}), (std::vector<int>{3, 2, 2}));
    EXPECT_EQ(split.segments[3].payload[0], 0x01);
}

TEST(JpegEncoder, HuffmanTablesAreTheStandardOnesCjpegWrites) {
    if (!HaveJpegTools()) GTEST_SKIP() << "cjpeg is not installed";
    TempDir dir;
    WritePnm(dir / "in.ppm", SyntheticPhoto(32, 32));
    ASSERT_TRUE(RunCommand("cjpeg -outfile " + (dir / "ref.jpg").string() + " " + (dir / "in.ppm").string()));
    std::map<int, Bytes> theirs, ours;
    for (const Segment& s : Split(ReadBytes(dir / "ref.jpg")).segments)
        if (s.marker == 0xC4) theirs[s.payload[0]] = s.payload;
    for (const Segment& s : Split(EncodeJpeg(SyntheticPhoto(32, 32))).segments)
        if (s.marker == 0xC4) ours[s.payload[0]] = s.payload;
    EXPECT_EQ(ours.size(), 4u);
    EXPECT_EQ(ours, theirs);
}

TEST(JpegEncoder, PureRedBecomesTheWrittenSamples) {
    // One colour MCU (Y 2x2, Cb and Cr 1x1) of pure red, sampled before the transform.
    std::vector<SlimJpeg::RowSampler::Component> components;
    components.push_back({SlimJpeg::MakeSamplingMap(2, 2, 2, 2, 0), 2, 2});
    components.push_back({SlimJpeg::MakeSamplingMap(1, 1, 2, 2, 4), 1, 1});
    components.push_back({SlimJpeg::MakeSamplingMap(1, 1, 2, 2, 5), 1, 1});
    const SlimJpeg::RowSampler sampler(true, components, 2, 2, 1, 6 * 64);
    Bytes row;
    for (int x = 0; x < 16; ++x) row.insert(row.end(), {255, 0, 0});
    std::vector<const uint8_t*> rows(16, row.data());
    std::vector<int16_t> samples(6 * 64, 0);
    sampler.Sample(rows.data(), samples.data());
    for (int i = 0; i < 4 * 64; ++i) ASSERT_EQ(samples[i], 76) << i;
    for (int i = 4 * 64; i < 5 * 64; ++i) ASSERT_EQ(samples[i], 85) << i;
    for (int i = 5 * 64; i < 6 * 64; ++i) ASSERT_EQ(samples[i], 256) << i;
}

// Decodes a stream as if the image were its padded size, which shows the padding the encoder made.
Image DecodePadded(Bytes jpeg, unsigned width, unsigned height) {
    SplitStream split = Split(jpeg);
    Bytes& frame = split.Find(0xC0)->payload;
    frame[1] = static_cast<uint8_t>(height >> 8), frame[2] = static_cast<uint8_t>(height);
    frame[3] = static_cast<uint8_t>(width >> 8), frame[4] = static_cast<uint8_t>(width);
    return DecodeJpeg(Join(split));
}

TEST(JpegEncoder, PadsRowsAndTheLastMcuRowWithTheEdgePixels) {
    EncodeOptions best;
    best.quality = 100;
    // A single pixel fills its whole 16x16 MCU.
    Image one{1, 1, 3, {200, 40, 90}};
    const Image mcu = DecodePadded(EncodeJpeg(one, best), 16, 16);
    for (size_t i = 0; i < mcu.pixels.size(); i += 3)
        for (int c = 0; c < 3; ++c) ASSERT_NEAR(mcu.pixels[i + c], one.pixels[c], 3) << i;

    // Width 17 and height 5: every row goes on with 15 copies of its last pixel to 32 pixels, and
    // the last row fills the rest of the MCU row. Grey colours, so that only the transform rounds.
    const Image grey = SyntheticPhoto(17, 5, 1);
    Image image{17, 5, 3, {}};
    for (uint8_t v : grey.pixels) image.pixels.insert(image.pixels.end(), {v, v, v});
    const Image padded = DecodePadded(EncodeJpeg(image, best), 32, 16);
    for (unsigned y = 0; y < 16; ++y)
        for (unsigned x = 0; x < 32; ++x) {
            const unsigned sy = std::min(y, 4u), sx = std::min(x, 16u);
            ASSERT_NEAR(padded.Row(y)[3 * x + 1], image.Row(sy)[3 * sx + 1], 4) << x << "," << y;
        }
}

TEST(JpegEncoder, RoundTripGivesTheRowsBackWithinAFewLevels) {
    // Smooth colours, so that chroma subsampling loses little; the finest tables.
    Image image{64, 48, 3, Bytes(64 * 48 * 3)};
    for (unsigned y = 0; y < 48; ++y)
        for (unsigned x = 0; x < 64; ++x) {
            uint8_t* p = image.Row(y) + 3 * x;
            p[0] = static_cast<uint8_t>(40 + 3 * x);
            p[1] = static_cast<uint8_t>(200 - 2 * y);
            p[2] = static_cast<uint8_t>(60 + x + y);
        }
    EncodeOptions best;
    best.quality = 100;
    EXPECT_LE(Compare(DecodeJpeg(EncodeJpeg(image, best)), image).max, 4);
    const Image grey = SyntheticPhoto(40, 30, 1);
    EXPECT_LE(Compare(DecodeJpeg(EncodeJpeg(grey, best)), grey).max, 3);
}

TEST(JpegEncoder, RoundTripOfAPhotographAtQuality90KeepsAPsnrOf38Db) {
    const Image photo = DecodeJpeg(ReadBytes(DataPath("small.jpg")));
    ASSERT_EQ(photo.width, 800u);
    const Image again = DecodeJpeg(EncodeJpeg(photo));
    EXPECT_GE(Psnr(photo, again), 38.0);
}

TEST(JpegEncoder, ThumbnailRowsInMemoryOrderComeBackInTheSameOrder) {
    // A thumbnail cell hands over its rows bottom-up as B, G, R and reads them back the same way.
    Image cell{220, 165, 3, Bytes(220 * 165 * 3)};
    for (unsigned y = 0; y < 165; ++y)
        for (unsigned x = 0; x < 220; ++x) {
            uint8_t* p = cell.Row(y) + 3 * x;
            p[0] = y < 80 ? 230 : 20;  // blue in the first rows handed over
            p[1] = 100;
            p[2] = static_cast<uint8_t>(x);
        }
    const Image back = DecodeJpeg(EncodeJpeg(cell));
    EXPECT_LE(Compare(back, cell).mean, 2.0);
    EXPECT_GT(back.Row(10)[0], 200);
    EXPECT_LT(back.Row(150)[0], 50);
    EXPECT_NEAR(back.Row(100)[3 * 210 + 2], 210, 6);
}

TEST(JpegEncoder, RefusesImpossibleSizesAndRowsAfterTheLast) {
    kv::OQZStream stream;
    for (auto [w, h] : {std::pair{0u, 5u}, std::pair{5u, 0u}, std::pair{65536u, 5u}, std::pair{5u, 70000u}})
        EXPECT_THROW(SlimJpeg::CreateCoder(stream, w, h, true, 90, false, false, 2, 300, 300), Error) << w << "x" << h;
    auto coder = SlimJpeg::CreateCoder(stream, 4, 2, true, 90, false, false, 2, 300, 300);
    const uint8_t row[12] = {};
    coder->WriteRow(row);
    coder->WriteRow(row);
    EXPECT_THROW(coder->WriteRow(row), Error);
}

TEST(JpegEncoder, CoderDeletedEarlyLeavesTheStreamUnfinished) {
    kv::OQZStream stream;
    const Image photo = SyntheticPhoto(64, 64);
    {
        auto coder = SlimJpeg::CreateCoder(stream, 64, 64, true, 90, false, false, 2, 300, 300);
        for (unsigned y = 0; y < 40; ++y) coder->WriteRow(photo.Row(y));
    }
    const Bytes& bytes = stream.bytes();
    EXPECT_FALSE(bytes.size() >= 2 && bytes[bytes.size() - 2] == 0xFF && bytes.back() == 0xD9);
    EXPECT_THROW(DecodeJpeg(bytes), Error);
}

TEST(JpegEncoder, EntropyEncoderTakesItsTablesOnce) {
    kv::OQZStream stream;
    SlimJpeg::HuffEncoder_SNI encoder(stream, {1, 0, 0, 0, 1, 1, 1, 1}, 64);
    SlimJpeg::HuffmanTableSet tables;
    tables.dc[0] = &SlimJpeg::StandardDcLuminance();
    tables.ac[0] = &SlimJpeg::StandardAcLuminance();
    encoder.SetTables(tables);
    EXPECT_THROW(encoder.SetTables(tables), Error);
}

}  // namespace

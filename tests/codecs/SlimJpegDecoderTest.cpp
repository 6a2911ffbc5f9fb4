// The decoder's reading rules, on streams made by the encoder and changed one segment at a time, and
// on a few streams written bit by bit.

#include <gtest/gtest.h>

#include <functional>

#include "codecs/HuffEncoder.h"
#include "codecs/JpegBitWriter.h"
#include "codecs/JpegTables.h"
#include "codecs/YccToRgb.h"
#include "codecs/JpegTestSupport.h"

namespace {

using namespace kv::test;
using SlimJpeg::Error;

const Bytes& ColourStream() {
    static const Bytes bytes = EncodeJpeg(SyntheticPhoto(37, 21));
    return bytes;
}

const Bytes& GreyStream() {
    static const Bytes bytes = EncodeJpeg(SyntheticPhoto(37, 21, 1));
    return bytes;
}

Bytes Changed(const Bytes& jpeg, const std::function<void(SplitStream&)>& change) {
    SplitStream split = Split(jpeg);
    change(split);
    return Join(split);
}

void ExpectRefused(const Bytes& jpeg) {
    try {
        const Image image = DecodeJpeg(jpeg);
        ADD_FAILURE() << "decoded a " << image.width << "x" << image.height << " image";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Jpeg error");
    }
}

TEST(JpegDecoderRules, TheEncodersStreamsDecode) {
    const Image colour = DecodeJpeg(ColourStream());
    EXPECT_EQ(colour.width, 37u);
    EXPECT_EQ(colour.height, 21u);
    EXPECT_EQ(colour.channels, 3);
    const Image grey = DecodeJpeg(GreyStream());
    EXPECT_EQ(grey.channels, 1);
}

struct Damage {
    const char* what;
    std::function<void(SplitStream&)> change;
};

class JpegDecoderRefuses : public testing::TestWithParam<Damage> {};

// Every damaged header is refused before the decoder exists, so no row is ever handed out.
TEST_P(JpegDecoderRefuses, WithJpegError) {
    const Bytes jpeg = Changed(ColourStream(), GetParam().change);
    kv::IQZStreamMem stream(jpeg.data(), jpeg.size());
    try {
        SlimJpeg::CreateDecoder(stream, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
        ADD_FAILURE() << "accepted";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Jpeg error");
    }
}

Segment Repeat(SplitStream& s, uint8_t marker) { return *s.Find(marker); }

void InsertBefore(SplitStream& s, uint8_t marker, Segment segment) {
    for (auto it = s.segments.begin(); it != s.segments.end(); ++it)
        if (it->marker == marker) {
            s.segments.insert(it, std::move(segment));
            return;
        }
}

Segment Adobe(uint8_t transform) {
    return {0xEE, {'A', 'd', 'o', 'b', 'e', 0, 100, 0, 0, 0, 0, transform}};
}

INSTANTIATE_TEST_SUITE_P(
    Damaged, JpegDecoderRefuses,
    testing::Values(
        Damage{"progressive frame", [](SplitStream& s) { s.Find(0xC0)->marker = 0xC2; }},
        Damage{"lossless frame", [](SplitStream& s) { s.Find(0xC0)->marker = 0xC3; }},
        Damage{"arithmetic-coded frame", [](SplitStream& s) { s.Find(0xC0)->marker = 0xC9; }},
        Damage{"12-bit samples", [](SplitStream& s) { s.Find(0xC0)->payload[0] = 12; }},
        Damage{"second frame header", [](SplitStream& s) { InsertBefore(s, 0xC4, Repeat(s, 0xC0)); }},
        Damage{"second JFIF header", [](SplitStream& s) { InsertBefore(s, 0xFE, Repeat(s, 0xE0)); }},
        Damage{"second Adobe header",
               [](SplitStream& s) {
                   InsertBefore(s, 0xC0, Adobe(1));
                   InsertBefore(s, 0xC0, Segment{0xEE, {1, 2}});
               }},
        Damage{"zero width", [](SplitStream& s) { s.Find(0xC0)->payload[3] = s.Find(0xC0)->payload[4] = 0; }},
        Damage{"zero height", [](SplitStream& s) { s.Find(0xC0)->payload[1] = s.Find(0xC0)->payload[2] = 0; }},
        Damage{"sampling factor 0", [](SplitStream& s) { s.Find(0xC0)->payload[7] = 0x02; }},
        Damage{"sampling factor 5", [](SplitStream& s) { s.Find(0xC0)->payload[7] = 0x51; }},
        Damage{"quantisation selector 4", [](SplitStream& s) { s.Find(0xC0)->payload[8] = 4; }},
        Damage{"frame length off by one", [](SplitStream& s) { s.Find(0xC0)->payload.push_back(0); }},
        Damage{"missing quantisation table", [](SplitStream& s) { s.Find(0xC0)->payload[8] = 2; }},
        Damage{"quantisation segment not ending on a table", [](SplitStream& s) { s.Find(0xDB)->payload.push_back(0); }},
        Damage{"quantisation slot 4", [](SplitStream& s) { s.Find(0xDB)->payload[0] = 4; }},
        Damage{"Huffman segment not ending on a table", [](SplitStream& s) { s.Find(0xC4)->payload.push_back(0); }},
        Damage{"Huffman slot 4", [](SplitStream& s) { s.Find(0xC4)->payload[0] = 4; }},
        Damage{"Huffman table of 256 symbols",
               [](SplitStream& s) {
                   Bytes& p = s.Find(0xC4)->payload;
                   p.assign(17 + 256, 0);
                   p[8] = 255;  // 255 codes of length 8 ...
                   p[9] = 1;    // ... and one of length 9
                   for (int i = 0; i < 256; ++i) p[17 + i] = static_cast<uint8_t>(i);
               }},
        Damage{"over-full Huffman code space",
               [](SplitStream& s) {
                   // The DC luminance table the scan uses, its 12 codes recounted so that three
                   // have length 1.
                   Bytes& p = s.Find(0xC4)->payload;
                   p[1] = 3;
                   p[2] = 0;
                   p[3] = 3;
               }},
        Damage{"restart interval segment of length 5", [](SplitStream& s) { InsertBefore(s, 0xDA, Segment{0xDD, {0, 1, 0}}); }},
        Damage{"scan selects a component the frame lacks", [](SplitStream& s) { s.Find(0xDA)->payload[1] = 9; }},
        Damage{"scan names DC table 4", [](SplitStream& s) { s.Find(0xDA)->payload[2] = 0x40; }},
        Damage{"scan names a Huffman table never defined", [](SplitStream& s) { s.Find(0xDA)->payload[4] = 0x22; }},
        Damage{"scan of one component in a three-component frame",
               [](SplitStream& s) { s.Find(0xDA)->payload = {1, 1, 0x00, 0, 63, 0}; }},
        Damage{"scan length off by one", [](SplitStream& s) { s.Find(0xDA)->payload.push_back(0); }},
        Damage{"image ends before its scan",
               [](SplitStream& s) {
                   s.segments.pop_back();
                   s.tail = {0xFF, 0xD9};
               }},
        Damage{"restart marker among the headers", [](SplitStream& s) { InsertBefore(s, 0xDA, Segment{0xD0, {}}); }},
        Damage{"number of lines segment", [](SplitStream& s) { InsertBefore(s, 0xDA, Segment{0xDC, {0, 8}}); }},
        Damage{"scan before any frame header",
               [](SplitStream& s) {
                   std::erase_if(s.segments, [](const Segment& seg) { return seg.marker == 0xC0; });
               }},
        Damage{"two components", [](SplitStream& s) {
                   Bytes& f = s.Find(0xC0)->payload;
                   f[5] = 2;
                   f.resize(6 + 6);
                   s.Find(0xDA)->payload = {2, 1, 0x00, 2, 0x11, 0, 63, 0};
               }}),
    [](const testing::TestParamInfo<Damage>& info) {
        std::string name;
        for (const char* c = info.param.what; *c; ++c) name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
        return name;
    });

TEST(JpegDecoderRules, RefusesStreamsThatDoNotStartWithStartOfImage) {
    Bytes jpeg = ColourStream();
    jpeg[1] = 0xD9;
    ExpectRefused(jpeg);
    ExpectRefused(Bytes(ColourStream().begin() + 2, ColourStream().end()));
    ExpectRefused({});
}

// Frames the decoder must refuse before it reaches any scan data, written out by hand.
TEST(JpegDecoderRules, RefusesLosslessAndFourComponentFramesWrittenByHand) {
    const Bytes lossless = {0xFF, 0xD8, 0xFF, 0xC3, 0x00, 0x0B, 0x08, 0x00, 0x08, 0x00, 0x08, 0x01, 0x01, 0x11, 0x00};
    ExpectRefused(lossless);
    Bytes cmyk = {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x14, 0x08, 0x00, 0x08, 0x00, 0x08, 0x04};
    for (uint8_t id = 1; id <= 4; ++id) cmyk.insert(cmyk.end(), {id, 0x11, 0x00});
    cmyk.insert(cmyk.end(), {0xFF, 0xDA, 0x00, 0x0E, 0x04, 1, 0, 2, 0, 3, 0, 4, 0, 0, 63, 0});
    ExpectRefused(cmyk);
}

TEST(JpegDecoderRules, SkipsCommentsApplicationSegmentsAndFillBytes) {
    const Bytes jpeg = Changed(ColourStream(), [](SplitStream& s) {
        InsertBefore(s, 0xC0, Segment{0xE1, Bytes(300, 0xFF)});
        InsertBefore(s, 0xC0, Segment{0xFE, {}});
        InsertBefore(s, 0xC0, Segment{0xCC, {0, 0}});
        InsertBefore(s, 0xC0, Segment{0xE0, {'J', 'F', 'X', 'X', 0, 0x10, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}});
        InsertBefore(s, 0xC0, Segment{0xEE, {'N', 'o', 't', 'A', 'd', 'o', 'b', 'e', 0, 0, 0, 0}});
    });
    Bytes withFill = jpeg;
    withFill.insert(withFill.begin() + 2, {0xFF, 0xFF});
    EXPECT_EQ(DecodeJpeg(withFill).pixels, DecodeJpeg(ColourStream()).pixels);
}

TEST(JpegDecoderRules, ReportsJfifDensityAndAcceptsNullOutArguments) {
    for (auto [units, code] : {std::pair{0, 1}, std::pair{1, 2}, std::pair{2, 3}, std::pair{7, 0}}) {
        const Bytes jpeg = Changed(ColourStream(), [units = units](SplitStream& s) {
            Bytes& app0 = s.Find(0xE0)->payload;
            app0[7] = static_cast<uint8_t>(units);
            app0[8] = 0x01, app0[9] = 0x2C;   // 300
            app0[10] = 0x00, app0[11] = 0x48;  // 72
        });
        kv::IQZStreamMem stream(jpeg.data(), jpeg.size());
        int unit = -1;
        uint16_t x = 0, y = 0;
        SlimJpeg::CreateDecoder(stream, nullptr, nullptr, nullptr, &unit, &x, &y);
        EXPECT_EQ(unit, code) << "JFIF units " << units;
        EXPECT_EQ(x, 300);
        EXPECT_EQ(y, 72);
    }
    const Bytes noJfif = Changed(ColourStream(), [](SplitStream& s) { s.segments.erase(s.segments.begin()); });
    kv::IQZStreamMem stream(noJfif.data(), noJfif.size());
    int unit = -1;
    SlimJpeg::CreateDecoder(stream, nullptr, nullptr, nullptr, &unit, nullptr, nullptr);
    EXPECT_EQ(unit, 0);
}

// The converted image recomputed from unconverted component samples.
Image ConvertYcc(const Image& samples) {
    const SlimJpeg::YccTables& t = SlimJpeg::DecoderColourTables();
    Image out = samples;
    const auto clamp = [](int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); };
    for (size_t i = 0; i < out.pixels.size(); i += 3) {
        const int y = samples.pixels[i], cb = samples.pixels[i + 1], cr = samples.pixels[i + 2];
        out.pixels[i] = clamp(y + t.r[cr]);
        out.pixels[i + 1] = clamp(y + (t.gr[cr] + t.gb[cb]) / 4);
        out.pixels[i + 2] = clamp(y + t.b[cb]);
    }
    return out;
}

void NameComponentsRgb(SplitStream& s) {
    Bytes& frame = s.Find(0xC0)->payload;
    Bytes& scan = s.Find(0xDA)->payload;
    const uint8_t ids[] = {'R', 'G', 'B'};
    for (int i = 0; i < 3; ++i) frame[6 + 3 * i] = scan[1 + 2 * i] = ids[i];
}

TEST(JpegDecoderRules, ColourConversionFollowsJfifAdobeAndComponentNames) {
    const Image converted = DecodeJpeg(ColourStream());
    const auto decodeWith = [](const std::function<void(SplitStream&)>& change) {
        return DecodeJpeg(Changed(ColourStream(), change));
    };
    // JFIF and components named R, G, B: the samples are the colours.
    const Image rgbNamed = decodeWith(NameComponentsRgb);
    EXPECT_NE(rgbNamed.pixels, converted.pixels);
    EXPECT_EQ(ConvertYcc(rgbNamed).pixels, converted.pixels);
    // Without JFIF the names do not count: converted.
    EXPECT_EQ(decodeWith([](SplitStream& s) {
                  NameComponentsRgb(s);
                  s.segments.erase(s.segments.begin());
              }).pixels,
              converted.pixels);
    // JFIF and an Adobe header: its transform byte decides.
    EXPECT_EQ(decodeWith([](SplitStream& s) { InsertBefore(s, 0xC0, Adobe(0)); }).pixels, rgbNamed.pixels);
    EXPECT_EQ(decodeWith([](SplitStream& s) {
                  NameComponentsRgb(s);
                  InsertBefore(s, 0xC0, Adobe(1));
              }).pixels,
              converted.pixels);
    // An Adobe header without JFIF: converted whatever its transform says.
    EXPECT_EQ(decodeWith([](SplitStream& s) {
                  s.segments.erase(s.segments.begin());
                  InsertBefore(s, 0xC0, Adobe(0));
              }).pixels,
              converted.pixels);
}

TEST(JpegDecoderRules, GreyFrameSamplingFactorsAreIgnored) {
    const Bytes jpeg = Changed(GreyStream(), [](SplitStream& s) { s.Find(0xC0)->payload[7] = 0x22; });
    EXPECT_EQ(DecodeJpeg(jpeg).pixels, DecodeJpeg(GreyStream()).pixels);
}

TEST(JpegDecoderRules, OddSizedImageGivesExactlyItsRowsAndThenThrows) {
    const Bytes jpeg = EncodeJpeg(SyntheticPhoto(17, 9));
    kv::IQZStreamMem stream(jpeg.data(), jpeg.size());
    unsigned width = 0, height = 0;
    uint8_t colour = 0;
    auto decoder = SlimJpeg::CreateDecoder(stream, &width, &height, &colour, nullptr, nullptr, nullptr);
    EXPECT_EQ(width, 17u);
    EXPECT_EQ(height, 9u);
    EXPECT_EQ(colour, 1);
    for (int y = 0; y < 9; ++y) EXPECT_NE(decoder->ReadRow(), nullptr);
    EXPECT_THROW(decoder->ReadRow(), Error);
}

TEST(JpegDecoderRules, TruncatedScanFailsInsteadOfGivingAPartialImage) {
    const Bytes full = EncodeJpeg(SyntheticPhoto(64, 64));
    const size_t scanStart = full.size() - Split(full).tail.size();
    for (size_t keep : {scanStart + 1, scanStart + (full.size() - scanStart) / 2, full.size() - 3}) {
        const Bytes cut(full.begin(), full.begin() + static_cast<ptrdiff_t>(keep));
        kv::IQZStreamMem stream(cut.data(), cut.size());
        auto decoder = SlimJpeg::CreateDecoder(stream, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
        EXPECT_THROW(
            for (int y = 0; y < 64; ++y) decoder->ReadRow(), Error)
            << "kept " << keep << " of " << full.size() << " bytes";
    }
    // Without its EOI, but with every bit of the scan, the image is whole.
    const Bytes noEnd(full.begin(), full.end() - 2);
    EXPECT_EQ(DecodeJpeg(noEnd).pixels, DecodeJpeg(full).pixels);
}

// A grey 8x8 stream with one block, its tables and scan bits written by hand.
struct HandStream {
    std::array<uint16_t, 64> quant{};
    SlimJpeg::HuffmanTable dc = SlimJpeg::StandardDcLuminance();
    SlimJpeg::HuffmanTable ac = SlimJpeg::StandardAcLuminance();

    HandStream() { quant.fill(1); }

    Bytes Build(const std::function<void(SlimJpeg::BitWriter&, const SlimJpeg::HuffmanEncodeTable&,
                                         const SlimJpeg::HuffmanEncodeTable&)>& scan) const {
        kv::OQZStream out;
        out.PutBytes("\xFF\xD8\xFF\xDB\x00\x83\x10", 7);  // one 16-bit table
        for (int k = 0; k < 64; ++k) out.PutWord(quant[SlimJpeg::kZigzag[k]]);
        out.PutBytes("\xFF\xC0\x00\x0B\x08\x00\x08\x00\x08\x01\x01\x11\x00", 13);
        for (int tableClass = 0; tableClass < 2; ++tableClass) {
            const SlimJpeg::HuffmanTable& t = tableClass ? ac : dc;
            out.PutWord(0xFFC4);
            out.PutWord(static_cast<uint16_t>(19 + t.symbolCount()));
            out.PutByte(static_cast<uint8_t>(tableClass << 4));
            for (int count : t.counts) out.PutByte(static_cast<uint8_t>(count));
            out.PutBytes(t.symbols.data(), static_cast<size_t>(t.symbolCount()));
        }
        out.PutBytes("\xFF\xDA\x00\x08\x01\x01\x00\x00\x3F\x00", 10);
        SlimJpeg::BitWriter bits(out);
        scan(bits, SlimJpeg::HuffmanEncodeTable(dc), SlimJpeg::HuffmanEncodeTable(ac));
        bits.Finish();
        out.PutWord(0xFFD9);
        out.Finish();
        return out.bytes();
    }
};

void PutSymbol(SlimJpeg::BitWriter& bits, const SlimJpeg::HuffmanEncodeTable& table, int symbol) {
    ASSERT_GT(table.length[symbol], 0) << "symbol " << symbol;
    bits.Put(table.code[symbol], table.length[symbol]);
}

void PutValue(SlimJpeg::BitWriter& bits, int value, int size) {
    bits.Put(static_cast<uint32_t>(value < 0 ? value - 1 : value), size);
}

int SizeOf(int value) {
    int size = 0;
    for (int m = std::abs(value); m; m >>= 1) ++size;
    return size;
}

TEST(JpegDecoderRules, BlockWithOnlyADcCoefficientIsFlat) {
    struct Case {
        int dc;
        int q;
    };
    for (const Case& c : {Case{0, 1}, Case{100, 3}, Case{-3, 5}, Case{7, 9}, Case{-1000, 10}, Case{1000, 10}, Case{-64, 2}}) {
        HandStream hand;
        hand.quant[0] = static_cast<uint16_t>(c.q);
        const Bytes jpeg = hand.Build([&](SlimJpeg::BitWriter& bits, const auto& dc, const auto& ac) {
            PutSymbol(bits, dc, SizeOf(c.dc));
            PutValue(bits, c.dc, SizeOf(c.dc));
            PutSymbol(bits, ac, 0x00);
        });
        const int expected = std::clamp(((c.dc * c.q * 8192 + 32768) >> 16) + 128, 0, 255);
        const Image image = DecodeJpeg(jpeg);
        EXPECT_EQ(image.pixels, Bytes(64, static_cast<uint8_t>(expected))) << "DC " << c.dc << " Q " << c.q;
    }
}

TEST(JpegDecoderRules, ZeroRunsEndTheBlockOrFailPastTheLastPosition) {
    HandStream hand;
    hand.ac.counts = {};
    hand.ac.counts[1] = 3;  // three codes of length 2: 00 -> F1, 01 -> F0, 10 -> EOB
    hand.ac.symbols[0] = 0xF1;
    hand.ac.symbols[1] = 0xF0;
    hand.ac.symbols[2] = 0x00;
    hand.ac.size = 20;
    const auto scan = [](std::vector<int> symbols) {
        return [symbols](SlimJpeg::BitWriter& bits, const auto& dc, const auto& ac) {
            PutSymbol(bits, dc, 0);
            for (int s : symbols) {
                PutSymbol(bits, ac, s);
                if (s & 15) PutValue(bits, 1, 1);
            }
        };
    };
    // 15 zeros and a 1, three times: positions 16, 32 and 48; then EOB.
    EXPECT_NO_THROW(DecodeJpeg(hand.Build(scan({0xF1, 0xF1, 0xF1, 0x00}))));
    // Three times sixteen zeros reach position 49; a fourth F0 there ends the block.
    EXPECT_NO_THROW(DecodeJpeg(hand.Build(scan({0xF0, 0xF0, 0xF0, 0xF0}))));
    // A fourth run of 15 would write position 64.
    ExpectRefused(hand.Build(scan({0xF1, 0xF1, 0xF1, 0xF1, 0x00})));
}

}  // namespace

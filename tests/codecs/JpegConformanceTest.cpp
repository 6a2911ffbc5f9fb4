// The decoder against libjpeg-turbo's djpeg on real files and on files made by cjpeg, and the
// encoder's streams read by djpeg. Skipped where the JPEG tools are not installed.

#include <gtest/gtest.h>

#include "codecs/JpegTestSupport.h"

namespace {

using namespace kv::test;
using SlimJpeg::Error;

// djpeg with the integer transform rounds as ours does; its fast transform truncates, so its
// results run up to about a level lower and the worst sample differs more.
constexpr int kMaxAgainstAccurate = 3;
constexpr int kMaxAgainstFast = 8;
constexpr double kMeanAgainstFast = 1.25;

class JpegConformance : public testing::Test {
protected:
    void SetUp() override {
        if (!HaveJpegTools()) GTEST_SKIP() << "cjpeg and djpeg are not installed";
    }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    Bytes Compress(const Image& image, const std::string& options) {
        WritePnm(dir_ / "in.pnm", image);
        const std::string out = Path("made.jpg");
        EXPECT_TRUE(RunCommand("cjpeg " + options + " -outfile " + out + " " + Path("in.pnm"))) << options;
        return ReadBytes(out);
    }

    Image Reference(const Bytes& jpeg, const std::string& dct) {
        WriteBytes(dir_ / "ref.jpg", jpeg);
        const std::string out = Path("ref.pnm");
        EXPECT_TRUE(RunCommand("djpeg -dct " + dct + " -nosmooth -outfile " + out + " " + Path("ref.jpg")));
        return ReadPnm(out);
    }

    // Decodes with both and checks the bounds; returns our image.
    Image ExpectClose(const Bytes& jpeg, const std::string& what) {
        const Image ours = DecodeJpeg(jpeg);
        const Difference accurate = Compare(ours, Reference(jpeg, "int"));
        const Difference fast = Compare(ours, Reference(jpeg, "fast"));
        EXPECT_LE(accurate.max, kMaxAgainstAccurate) << what;
        EXPECT_LE(fast.max, kMaxAgainstFast) << what;
        EXPECT_LE(fast.mean, kMeanAgainstFast) << what;
        return ours;
    }

    TempDir dir_;
};

TEST_F(JpegConformance, SamplingLayoutsOfCjpeg) {
    const Image photo = SyntheticPhoto(61, 47);
    for (const char* sampling : {"1x1", "2x1", "2x2", "1x2", "4x1", "2x2,1x2,1x2", "2x1,1x1,2x1"}) {
        SCOPED_TRACE(sampling);
        const Image ours = ExpectClose(Compress(photo, std::string("-quality 85 -sample ") + sampling), sampling);
        EXPECT_EQ(ours.width, 61u);
        EXPECT_EQ(ours.height, 47u);
    }
}

TEST_F(JpegConformance, GreyscaleAndOddSizes) {
    ExpectClose(Compress(SyntheticPhoto(61, 47, 1), "-quality 90"), "grey");
    ExpectClose(Compress(SyntheticPhoto(61, 47), "-quality 90 -grayscale"), "grey from colour");
    for (auto [w, h] : {std::pair{1u, 1u}, std::pair{17u, 9u}, std::pair{1000u, 1u}, std::pair{1u, 300u}}) {
        const Image ours = ExpectClose(Compress(SyntheticPhoto(w, h), "-quality 75 -sample 2x2"), "odd size");
        EXPECT_EQ(ours.width, w);
        EXPECT_EQ(ours.height, h);
    }
}

TEST_F(JpegConformance, RestartIntervalsDecodeLikeTheSameImageWithout) {
    const Image photo = SyntheticPhoto(70, 50);
    const Image plain = DecodeJpeg(Compress(photo, "-quality 80"));
    for (const char* interval : {"1B", "3B", "1", "2"}) {
        const Bytes jpeg = Compress(photo, std::string("-quality 80 -restart ") + interval);
        EXPECT_EQ(DecodeJpeg(jpeg).pixels, plain.pixels) << interval;
    }
    const Image grey = DecodeJpeg(Compress(photo, "-quality 80 -grayscale"));
    EXPECT_EQ(DecodeJpeg(Compress(photo, "-quality 80 -grayscale -restart 5B")).pixels, grey.pixels);
}

TEST_F(JpegConformance, RestartMarkerOutOfSequenceFails) {
    Bytes jpeg = Compress(SyntheticPhoto(70, 50), "-quality 80 -restart 1B");
    const size_t scan = jpeg.size() - Split(jpeg).tail.size();
    size_t markers = 0;
    for (size_t i = scan; i + 1 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] >= 0xD0 && jpeg[i + 1] <= 0xD7 && ++markers == 3) {
            jpeg[i + 1] = 0xD5;  // RST5 where RST2 belongs
            break;
        }
    ASSERT_EQ(markers, 3u);
    EXPECT_THROW(DecodeJpeg(jpeg), Error);
}

TEST_F(JpegConformance, ProgressiveArithmeticAndMultiScanFilesAreRefused) {
    const Image photo = SyntheticPhoto(40, 30);
    EXPECT_THROW(DecodeJpeg(Compress(photo, "-progressive")), Error);
    EXPECT_THROW(DecodeJpeg(Compress(photo, "-arithmetic")), Error);
    std::ofstream(dir_ / "scans.txt") << "0;\n1;\n2;\n";
    EXPECT_THROW(DecodeJpeg(Compress(photo, "-scans " + Path("scans.txt"))), Error);
}

TEST_F(JpegConformance, RgbFileWithoutJfifIsStillConvertedAsYcbcr) {
    // cjpeg -rgb writes components R, G, B with an Adobe header and no JFIF header; without JFIF the
    // decoder converts whatever the names say. djpeg honours the Adobe header, so its output holds
    // the stored samples, and converting those must give ours.
    const Bytes jpeg = Compress(SyntheticPhoto(48, 32), "-rgb -quality 90");
    ASSERT_NE(Split(jpeg).Find(0xEE), nullptr);
    ASSERT_EQ(Split(jpeg).Find(0xE0), nullptr);
    const Image samples = Reference(jpeg, "int");
    Image expected = samples;
    for (size_t i = 0; i < expected.pixels.size(); i += 3) {
        const double y = samples.pixels[i], cb = samples.pixels[i + 1] - 128.0, cr = samples.pixels[i + 2] - 128.0;
        const auto clamp = [](double v) { return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L)); };
        expected.pixels[i] = clamp(y + 1.402 * cr);
        expected.pixels[i + 1] = clamp(y - 0.344136 * cb - 0.714136 * cr);
        expected.pixels[i + 2] = clamp(y + 1.772 * cb);
    }
    EXPECT_LE(Compare(DecodeJpeg(jpeg), expected).max, 4);
}

TEST_F(JpegConformance, IjgTestImagesAndExifThumbnails) {
    for (const char* name : {"testorig.jpg", "testimgint.jpg", "exif-thumb-canon40d.jpg", "exif-thumb-dscn0010.jpg",
                             "exif-thumb-nikond70.jpg", "exif-thumb-kodakdc240.jpg", "small.jpg"}) {
        ExpectClose(ReadBytes(DataPath(name)), name);
    }
}

TEST(JpegRefusedFiles, ArithmeticAndTwelveBitTestImages) {
    for (const char* name : {"testimgari.jpg", "monkey12.jpg"}) {
        const Bytes jpeg = ReadBytes(DataPath(name));
        ASSERT_FALSE(jpeg.empty()) << name;
        EXPECT_THROW(DecodeJpeg(jpeg), Error) << name;
    }
}

TEST_F(JpegConformance, EveryStreamTheEncoderWritesDecodesWithDjpeg) {
    struct Case {
        unsigned width, height;
        int channels;
        EncodeOptions options;
    };
    const Case cases[] = {
        {1, 1, 3, {}},
        {17, 9, 3, {}},
        {220, 165, 3, {}},
        {1000, 1, 3, {.quality = 50}},
        {33, 70, 3, {.quality = 100, .chroma422 = true}},
        {40, 30, 3, {.quality = 1, .singleDqt = true}},
        {45, 29, 1, {.quality = 75}},
        {8, 8, 1, {.quality = 90, .singleDqt = true, .densityUnit = 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << "x" << c.channels << " q" << c.options.quality);
        const Bytes jpeg = EncodeJpeg(SyntheticPhoto(c.width, c.height, c.channels), c.options);
        const Image theirs = Reference(jpeg, "int");
        ASSERT_EQ(theirs.width, c.width);
        ASSERT_EQ(theirs.height, c.height);
        EXPECT_LE(Compare(DecodeJpeg(jpeg), theirs).max, kMaxAgainstAccurate);
    }
}

}  // namespace

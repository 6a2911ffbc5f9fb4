#include "browser/ThumbnailBuild.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <atomic>
#include <fstream>
#include <string>
#include <thread>

#include "browser/BuilderTestSupport.h"
#include "browser/CellTestSupport.h"
#include "browser/FileWriteProbe.h"
#include "browser/ThumbnailJpeg.h"
#include "common/OrientedPhotos.h"
#include "common/TestFiles.h"
#include "imageio/Orientation.h"

namespace kv {
namespace {

namespace fs = std::filesystem;
using test::Bgr;
using test::DataPath;
using Bytes = CPaletteItemImg::Bytes;

TEST(ThumbnailFitTest, FitsIntoTheCellBox) {
    struct Case {
        int32_t width, height;
        PixelSize fitted;
    };
    const Case cases[] = {
        {4000, 3000, {220, 165}}, {3000, 4000, {123, 165}}, {1000, 100, {220, 22}},
        {0, 0, {10, 10}},         {0, 300, {10, 10}},       {100, 68, {220, 149}},  // a small image is enlarged
        {1, 100000, {1, 165}},    // a sliver keeps a pixel across
    };
    for (const Case& c : cases)
        EXPECT_EQ(FitIntoCellBox(c.width, c.height, kThumbBoxWidth, kThumbBoxHeight), c.fitted)
            << c.width << "x" << c.height;
}

TEST(ThumbnailFitTest, BitsPerPixelOfEveryFormat) {
    struct Case {
        PixelFormat format;
        int32_t bits;
    };
    const Case cases[] = {
        {PixelFormat1bppIndexed, 1},      {PixelFormat4bppIndexed, 4},      {PixelFormat8bppIndexed, 8},
        {PixelFormat16bppRGB555, 16},     {PixelFormat16bppRGB565, 16},     {PixelFormat16bppARGB1555, 16},
        {PixelFormat16bppGrayScale, 16},  {PixelFormat24bppRGB, 24},        {PixelFormat32bppRGB, 32},
        {PixelFormat32bppARGB, 24},       {PixelFormat32bppPARGB, 24},      {PixelFormat48bppRGB, 48},
        {PixelFormat64bppARGB, 48},       {PixelFormat64bppPARGB, 48},      {PixelFormat32bppCMYK, 24},
        {PixelFormatUndefined, 24},
    };
    for (const Case& c : cases) EXPECT_EQ(BitsPerPixelOf(c.format), c.bits) << std::hex << c.format;
}

class ThumbnailBuildTest : public testing::Test {
protected:
    std::string Copy(const std::string& dataName, const std::string& as) const {
        const fs::path to = dir_ / as;
        fs::copy_file(DataPath(dataName), to, fs::copy_options::overwrite_existing);
        return to.string();
    }
    std::string Quadrants(const std::string& name, int32_t width, int32_t height, const char* mime = "image/png") const {
        const fs::path path = dir_ / name;
        test::WriteQuadrantImage(path, width, height, mime);
        return path.string();
    }
    void Touch(const std::string& name) const { std::ofstream(dir_ / name).put('x'); }

    test::TempDir dir_;
};

TEST_F(ThumbnailBuildTest, SoundNoteBesideJpegAndTiffOnly) {
    Touch("a.wav");
    Touch("B.WAV");
    Touch("c.wav");
    Touch("d.wav");
    struct Case {
        const char* image;
        bool note;
    };
    const Case cases[] = {{"a.jpg", true},   {"a.JPG", true},  {"B.tif", true},  {"c.png", false},
                          {"d.jpeg", true},  {"d.JPE", true},  {"c.tiff", true}, {"e.jpg", false}};
    for (const Case& c : cases) EXPECT_EQ(HasSoundNote(dir_ / c.image), c.note) << c.image;
}

TEST_F(ThumbnailBuildTest, JpegFirstFromItsEmbeddedPreviewThenFromTheImage) {
    // The Exif block claims 1280 x 960; the image itself is 640 x 480 with a 160 x 120 preview.
    const std::string path = Copy("kodak-dc240.jpg", "kodak.jpg");
    CPaletteItemImg cell;
    ASSERT_TRUE(BuildThumbnail(cell, path, BuildStage::First, nullptr));
    EXPECT_EQ(cell.fullQuality, 0);
    EXPECT_EQ(cell.imageWidth, 1280);
    EXPECT_EQ(cell.bitsPerPixel, 24);
    EXPECT_EQ((PixelSize{cell.displayWidth, cell.displayHeight}), (PixelSize{220, 165}));
    ASSERT_TRUE(cell.Thumbnail());
    EXPECT_EQ(cell.Thumbnail()->width(), 220);
    EXPECT_TRUE(cell.HasCompressedThumbnail());

    ASSERT_TRUE(BuildThumbnail(cell, path, BuildStage::Second, nullptr));
    EXPECT_EQ(cell.fullQuality, 1);
    EXPECT_EQ(cell.imageWidth, 640);  // the image's own size, not the Exif block's
    EXPECT_EQ(cell.imageHeight, 480);
    EXPECT_EQ(cell.Thumbnail()->width(), 220);
    EXPECT_EQ(cell.Thumbnail()->height(), 165);
    ASSERT_TRUE(cell.HasCompressedThumbnail());
}

// A photo stored sideways, with its camera preview stored sideways too, gets an upright thumbnail
// from the preview first and from the image later; kept as stored, both stay sideways. Each cell
// says which way its picture was made.
TEST_F(ThumbnailBuildTest, SidewaysPhotoGetsUprightThumbnailsUnlessKeptAsStored) {
    if (!test::HaveOrientationTools()) GTEST_SKIP() << "ImageMagick or exiftool is not installed";
    const std::string upright = Quadrants("upright.png", 400, 300);
    const fs::path photo = dir_ / "sideways.jpg";
    ASSERT_TRUE(test::MakeOrientedPhoto(upright, 6, photo, 120));
    for (const bool turn : {true, false}) {
        SCOPED_TRACE(turn);
        const TurnPicturesUprightScope scope(turn);
        const PixelSize expected = turn ? PixelSize{220, 165} : PixelSize{123, 165};
        CPaletteItemImg cell;
        for (const BuildStage stage : {BuildStage::First, BuildStage::Second}) {
            ASSERT_TRUE(BuildThumbnail(cell, photo.string(), stage, nullptr));
            EXPECT_EQ(cell.fullQuality, stage == BuildStage::Second ? 1 : 0);
            EXPECT_EQ(cell.pictureStanding, turn ? kPictureUpright : kPictureAsStored);
            EXPECT_EQ((PixelSize{cell.imageWidth, cell.imageHeight}), (turn ? PixelSize{400, 300} : PixelSize{300, 400}));
            const DibImagePtr picture = cell.Thumbnail();
            ASSERT_TRUE(picture);
            ASSERT_EQ((PixelSize{picture->width(), picture->height()}), expected);
            if (!turn) continue;
            const int32_t w = picture->width(), h = picture->height();
            for (auto [x, y] : {std::pair{w / 4, h / 4}, {3 * w / 4, h / 4}, {w / 4, 3 * h / 4}, {3 * w / 4, 3 * h / 4}})
                EXPECT_TRUE(test::Near(test::PixelAt(picture, x, y), test::Quadrant(x, y, w, h), 24)) << x << "," << y;
        }
    }
}

TEST_F(ThumbnailBuildTest, FullImageKeepsOrientationAndColoursThroughTheStream) {
    for (const char* mime : {"image/png", "image/bmp"}) {
        SCOPED_TRACE(mime);
        const std::string path = Quadrants(std::string("q.") + (mime[6] == 'p' ? "png" : "bmp"), 400, 300, mime);
        CPaletteItemImg cell;
        ASSERT_TRUE(BuildThumbnail(cell, path, BuildStage::First, nullptr));
        EXPECT_EQ(cell.fullQuality, 1);
        EXPECT_EQ(cell.imageWidth, 400);
        EXPECT_EQ(cell.bitsPerPixel, 24);
        const DibImagePtr built = cell.Thumbnail();
        const Bytes bytes = cell.CompressedThumbnail();
        ASSERT_TRUE(built);
        ASSERT_TRUE(bytes);
        const DibImagePtr decoded = DecodeThumbnailJpeg(*bytes, cell.displayWidth, cell.displayHeight);
        ASSERT_TRUE(decoded);
        for (const DibImagePtr& picture : {built, decoded}) {
            const int32_t w = picture->width(), h = picture->height();
            EXPECT_EQ(w, 220);
            EXPECT_EQ(h, 165);
            for (auto [x, y] : {std::pair{w / 4, h / 4}, {3 * w / 4, h / 4}, {w / 4, 3 * h / 4}, {3 * w / 4, 3 * h / 4}})
                EXPECT_TRUE(test::Near(test::PixelAt(picture, x, y), test::Quadrant(x, y, w, h), 12)) << x << "," << y;
        }
    }
}

TEST_F(ThumbnailBuildTest, RefusedFiles) {
    const std::string damaged = (dir_ / "damaged.jpg").string();
    test::WriteBytes(damaged, {0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x10, 'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42});
    const std::string otherExtension = Copy("small.jpg", "small.jfif");
    const std::string noExtension = Copy("small.jpg", "small");
    fs::create_directory(dir_ / "folder.jpg");
    ASSERT_EQ(::mkfifo((dir_ / "pipe.jpg").c_str(), 0600), 0);
    for (const fs::path& path : {fs::path(damaged), fs::path(otherExtension), fs::path(noExtension), dir_ / "folder.jpg",
                                 dir_ / "pipe.jpg", dir_ / "missing.png"}) {
        CPaletteItemImg cell;
        EXPECT_FALSE(BuildThumbnail(cell, path.string(), BuildStage::First, nullptr)) << path;
        EXPECT_FALSE(cell.Thumbnail()) << path;
    }
}

TEST_F(ThumbnailBuildTest, SecondStageLeavesTheCellAsItWasWhenItFails) {
    const std::string path = Copy("kodak-dc240.jpg", "wide.jpg");
    CPaletteItemImg cell;
    ASSERT_TRUE(BuildThumbnail(cell, path, BuildStage::First, nullptr));
    const CellFacts before = CellFacts::Of(cell);
    const DibImagePtr picture = cell.Thumbnail();

    cell.imageWidth = kMaxFullImageWidth + 1;  // known to be too wide to decode
    EXPECT_FALSE(ProduceThumbnail(CellFacts::Of(cell), path, BuildStage::Second));
    cell.imageWidth = before.imageWidth;
    test::WriteBytes(path, {0xFF, 0xD8, 0xFF});  // no longer decodes
    EXPECT_FALSE(ProduceThumbnail(CellFacts::Of(cell), path, BuildStage::Second));
    EXPECT_EQ(cell.Thumbnail().get(), picture.get());
    EXPECT_EQ(cell.fullQuality, 0);
}

TEST_F(ThumbnailBuildTest, FullQualityCellKeepingItsFactsIsOnlyChecked) {
    const std::string path = Quadrants("p.png", 40, 30);
    CPaletteItemImg cell;
    ASSERT_TRUE(BuildThumbnail(cell, path, BuildStage::First, nullptr));
    const DibImagePtr picture = cell.Thumbnail();
    cell.displayWidth = 100;  // a fact a refresh would put right
    const auto update = ProduceThumbnail(CellFacts::Of(cell), path, BuildStage::Second);
    ASSERT_TRUE(update);
    EXPECT_FALSE(update->thumbnail);
    EXPECT_EQ(update->facts.displayWidth, 100);

    cell.keepMetadata = 0;
    const auto refreshed = ProduceThumbnail(CellFacts::Of(cell), path, BuildStage::Second);
    ASSERT_TRUE(refreshed);
    EXPECT_TRUE(refreshed->thumbnail);
    EXPECT_EQ(refreshed->facts.displayWidth, 220);
}

TEST_F(ThumbnailBuildTest, FileStillOpenForWritingGetsNoThumbnail) {
    const std::string path = Quadrants("w.png", 40, 30);
    const int writer = ::open(path.c_str(), O_WRONLY | O_APPEND);
    ASSERT_GE(writer, 0);
    CPaletteItemImg cell;
    EXPECT_FALSE(BuildThumbnail(cell, path, BuildStage::First, nullptr));
    ::close(writer);
    EXPECT_TRUE(BuildThumbnail(cell, path, BuildStage::First, nullptr));
}

TEST(FileWriteProbeTest, TellsFreeBusyAndUnreadableFiles) {
    test::TempDir dir;
    const fs::path file = dir / "a.png";
    test::WriteBytes(file, {1, 2, 3});
    EXPECT_EQ(ProbeFileAccess(file), FileAccess::Free);
    {
        const int writer = ::open(file.c_str(), O_WRONLY);
        ASSERT_GE(writer, 0);
        EXPECT_EQ(ProbeFileAccess(file), FileAccess::BeingWritten);
        ::close(writer);
    }
    EXPECT_EQ(ProbeFileAccess(file), FileAccess::Free);
    EXPECT_EQ(ProbeFileAccess(dir / "missing.png"), FileAccess::Unreadable);
    EXPECT_EQ(ProbeFileAccess(dir.path()), FileAccess::Unreadable);
    ASSERT_EQ(::mkfifo((dir / "pipe.png").c_str(), 0600), 0);
    EXPECT_EQ(ProbeFileAccess(dir / "pipe.png"), FileAccess::Unreadable);
}

TEST(FileWriteProbeTest, WithoutLeasesWatchesSizeAndTime) {
    test::TempDir dir;
    const fs::path file = dir / "a.png";
    test::WriteBytes(file, {1, 2, 3});
    const FileWriteProbeOptions options{.useLeases = false, .settleTime = std::chrono::milliseconds(200)};
    // Written just now and left alone: settled after one look.
    EXPECT_EQ(ProbeFileAccess(file, options), FileAccess::Free);

    // An old file is settled at once, whatever the settle time.
    const timespec old[2] = {{1'000'000'000, 0}, {1'000'000'000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), old, 0), 0);
    EXPECT_EQ(ProbeFileAccess(file, {.useLeases = false, .settleTime = std::chrono::hours(1)}), FileAccess::Free);

    // A file that keeps growing is being written.
    std::atomic<bool> done{false};
    std::thread writer([&] {
        std::ofstream out(file, std::ios::binary | std::ios::app);
        while (!done.load()) out.put('x').flush();
    });
    while (fs::file_size(file) < 100) std::this_thread::yield();
    EXPECT_EQ(ProbeFileAccess(file, options), FileAccess::BeingWritten);
    done.store(true);
    writer.join();
}

}  // namespace
}  // namespace kv

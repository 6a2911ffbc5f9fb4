#include <gtest/gtest.h>
#include <sys/resource.h>

#include <tbb/task_arena.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/MemoryBudget.h"
#include "document/DocumentTestSupport.h"
#include "document/SaveImage.h"
#include "imageio/ExternalTools.h"
#include "imageio/ResizeBitmap.h"

namespace kv::test {
namespace {

const std::string kCantCreate = DocumentText::kCantCreateOutput;

class OpenSaveTest : public ::testing::Test {
protected:
    CKVScaleCrafterDoc& doc() { return *rig.document; }
    const std::vector<std::string>& messages() const { return rig.prompt.messages; }
    // The output size as the bar leaves it after the user typed it.
    void SetOutput(int32_t width, int32_t height) {
        rig.settings.width = width;
        rig.settings.height = height;
    }
    // The embedded thumbnail as exiftool extracts it, written beside the file.
    std::filesystem::path ExtractThumbnail(const std::filesystem::path& file) {
        const std::filesystem::path thumbnail = dir / (file.stem().string() + "-thumb.jpg");
        RunTool("exiftool -b -ThumbnailImage " + Quoted(file) + " > " + Quoted(thumbnail));
        return thumbnail;
    }

    TempDir dir;
    DocumentRig rig;
};

TEST_F(OpenSaveTest, OpenTakesTheImageAndItsSizeIntoTheSettings) {
    WritePattern(dir / "photo.png", 300, 200, 150.0f);
    ASSERT_TRUE(doc().OnOpenDocument(dir / "photo.png"));
    EXPECT_EQ(doc().ImageWidth(), 300);
    EXPECT_EQ(doc().ImageHeight(), 200);
    EXPECT_NEAR(doc().HorizontalResolution(), 150.0f, 0.05f);
    EXPECT_EQ(doc().Path(), dir / "photo.png");
    EXPECT_EQ(rig.settings.width, 300);
    EXPECT_EQ(rig.settings.height, 200);
    EXPECT_NEAR(rig.settings.dpi, 150.0f, 0.05f);
    EXPECT_EQ(rig.host.barHandovers, 1);
    EXPECT_EQ(rig.host.shown, &doc());
    EXPECT_TRUE(messages().empty());
}

TEST_F(OpenSaveTest, AnImageReadAndDecodedAheadOpensAsTheFileDoes) {
    WritePattern(dir / "photo.png", 300, 200, 150.0f);
    PreparedImage prepared = PrepareImage(dir / "photo.png", true);
    ASSERT_TRUE(prepared.read.ok());
    // Decoded on this thread already; the document takes the very bitmap.
    const Bitmap* decoded = prepared.bitmap.get();
    ASSERT_TRUE(doc().OnOpenDocument(dir / "photo.png", std::move(prepared)));
    EXPECT_EQ(doc().Image(), decoded);
    EXPECT_EQ(doc().ImageWidth(), 300);
    EXPECT_EQ(rig.settings.width, 300);
    EXPECT_NEAR(rig.settings.dpi, 150.0f, 0.05f);

    // A file that could not be read keeps the image, as with a plain open.
    std::filesystem::remove(dir / "photo.png");
    EXPECT_FALSE(doc().OnOpenDocument(dir / "photo.png", PrepareImage(dir / "photo.png", true)));
    EXPECT_EQ(doc().Image(), decoded);
    EXPECT_EQ(messages().size(), 1u);
}

TEST_F(OpenSaveTest, FileThatDoesNotDecodeLeavesNoImage) {
    WritePattern(dir / "good.png", 40, 30);
    for (const std::string name : {"garbage.jpg", "empty.png", "truncated.png"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(doc().OnOpenDocument(dir / "good.png"));
        std::vector<uint8_t> bytes;
        if (name == "garbage.jpg") bytes.assign(500, 0x5A);
        if (name == "truncated.png") {
            bytes = ReadBytes(dir / "good.png");
            bytes.resize(12);
        }
        WriteBytes(dir / name, bytes);
        rig.prompt.messages.clear();

        EXPECT_FALSE(doc().OnOpenDocument(dir / name));
        EXPECT_FALSE(doc().HasImage());
        EXPECT_FALSE(doc().OpenImageFacts());
        EXPECT_EQ(messages(), std::vector<std::string>{"Can't open file\n" + (dir / name).string() + "!"});
    }
}

TEST_F(OpenSaveTest, FileThatCannotBeReadKeepsThePreviousImage) {
    WritePattern(dir / "good.png", 40, 30);
    ASSERT_TRUE(doc().OnOpenDocument(dir / "good.png"));
    for (const std::filesystem::path& path : {dir / "missing.png", dir.path()}) {
        rig.prompt.messages.clear();
        EXPECT_FALSE(doc().OnOpenDocument(path));
        EXPECT_TRUE(doc().HasImage());
        EXPECT_EQ(doc().Path(), dir / "good.png");
        ASSERT_EQ(messages().size(), 1u);
        EXPECT_NE(messages()[0].find(path.string()), std::string::npos);
    }
}

TEST_F(OpenSaveTest, ExifThumbnailIsKeptForSmallResultsAndRebuiltForLargeOnes) {
    ASSERT_TRUE(HaveTool("exiftool"));
    const std::filesystem::path source = DataPath("Canon_40D.jpg");
    ASSERT_TRUE(doc().OnOpenDocument(source));
    rig.settings.dpi = 240.0f;

    SetOutput(150, 100);
    ASSERT_TRUE(doc().OnResizeAndSave(dir / "small.jpg"));
    EXPECT_EQ(ReadBytes(ExtractThumbnail(dir / "small.jpg")), ReadBytes(ExtractThumbnail(source)));

    SetOutput(400, 300);
    ASSERT_TRUE(doc().OnResizeAndSave(dir / "large.jpg"));
    const auto thumbnail = ExifToolTags(ExtractThumbnail(dir / "large.jpg"));
    EXPECT_EQ(thumbnail.at("File:ImageWidth"), "20");
    EXPECT_EQ(thumbnail.at("File:ImageHeight"), "15");

    const auto large = ExifToolTags(dir / "large.jpg");
    EXPECT_EQ(large.at("File:ImageWidth"), "400");
    EXPECT_EQ(large.at("IFD0:Software"), "KARVO Imaging  Resizer");
    EXPECT_EQ(large.at("IFD0:XResolution"), "240");
    EXPECT_EQ(large.at("IFD0:YResolution"), "240");
    EXPECT_EQ(large.at("IFD1:Compression"), "6");
    EXPECT_EQ(large.at("IFD1:XResolution"), "1");
    // The camera's own details travel unchanged.
    EXPECT_EQ(large.at("IFD0:Model"), ExifToolTags(source).at("IFD0:Model"));
    EXPECT_TRUE(messages().empty());
}

TEST_F(OpenSaveTest, SourceWithoutItemsGetsNoSoftwareTagButTheSettingsResolution) {
    ASSERT_TRUE(HaveTool("exiftool"));
    WritePattern(dir / "plain.png", 60, 40, 72.0f);
    ASSERT_TRUE(doc().OnOpenDocument(dir / "plain.png"));
    rig.settings.dpi = 200.0f;
    SetOutput(90, 60);
    ASSERT_TRUE(doc().OnResizeAndSave(dir / "out.png"));
    const auto tags = ExifToolTags(dir / "out.png");
    EXPECT_EQ(tags.count("IFD0:Software"), 0u);
    EXPECT_EQ(tags.at("PNG-pHYs:PixelsPerUnitX"), "7874");  // 200 dots per inch
}

// Every spelling of a format writes that format; a name no format is written under says so, and
// which names are, instead of blaming memory, and writes nothing.
TEST_F(OpenSaveTest, TheExtensionChoosesTheFormatAndAnUnknownOneIsExplained) {
    WritePattern(dir / "in.png", 60, 40);
    ASSERT_TRUE(doc().OnOpenDocument(dir / "in.png"));
    const struct {
        const char* name;
        ImageFormat format;
    } written[] = {{"out.jpeg", ImageFormat::Jpeg}, {"out.JPE", ImageFormat::Jpeg}, {"out.tiff", ImageFormat::Tiff},
                   {"out.Tif", ImageFormat::Tiff}};
    for (const auto& w : written) {
        ASSERT_TRUE(doc().OnResizeAndSave(dir / w.name)) << w.name;
        EXPECT_EQ(Bitmap::FromFile(dir / w.name)->GetRawFormat(), w.format) << w.name;
        std::filesystem::remove(dir / w.name);
    }
    EXPECT_TRUE(messages().empty());
    for (const std::string name : {"out", "out.webp"}) {
        for (const int32_t width : {60, 90}) {  // the plain copy and the resize
            SCOPED_TRACE(name + " " + std::to_string(width));
            rig.prompt.messages.clear();
            SetOutput(width, 40);
            EXPECT_FALSE(doc().OnResizeAndSave(dir / name));
            EXPECT_EQ(messages(), std::vector<std::string>{name + (name == "out" ? " cannot be saved without an extension"
                                                                                 : " cannot be saved as .webp") +
                                                           "; use .jpg, .jpeg, .jpe, .tif, .tiff, .bmp, .gif or .png."});
            EXPECT_EQ(FileNamesIn(dir.path()), std::vector<std::string>{"in.png"});
        }
    }
}

TEST_F(OpenSaveTest, UnwritableOutputIsReportedWithTheSystemsReasonAndNothingIsCreated) {
    WritePattern(dir / "in.png", 60, 40);
    std::filesystem::create_directory(dir / "taken.png");
    ASSERT_TRUE(doc().OnOpenDocument(dir / "in.png"));
    SetOutput(90, 60);
    const struct {
        std::filesystem::path path;
        std::string reason;
    } cases[] = {
        {dir / "no-such-folder" / "out.png", "No such file or directory"},
        {dir / "taken.png", "Is a directory"},
        {dir / "in.png" / "out.png", "Not a directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.string());
        rig.prompt.messages.clear();
        EXPECT_FALSE(doc().OnResizeAndSave(c.path));
        EXPECT_EQ(messages(), (std::vector<std::string>{"Can't save file " + c.path.string() + ".\n" + c.reason, kCantCreate}));
    }
    EXPECT_EQ(FileNamesIn(dir.path()), (std::vector<std::string>{"in.png", "taken.png"}));
    EXPECT_TRUE(std::filesystem::is_empty(dir / "taken.png"));
}

TEST_F(OpenSaveTest, OwnSizeKeepsThePixelFormatAnyOtherSizeIsColour) {
    Bitmap gif(40, 30, PixelFormat8bppIndexed);
    std::vector<uint32_t> palette(256);
    for (uint32_t i = 0; i < 256; ++i) palette[i] = 0xFF000000u | (i << 16) | ((255 - i) << 8) | (i * 7 & 0xFF);
    ASSERT_EQ(gif.SetPalette(palette), Status::Ok);
    BitmapData data;
    ASSERT_EQ(gif.LockBits({0, 0, 40, 30}, ImageLockMode::Write, PixelFormat8bppIndexed, &data), Status::Ok);
    for (int32_t y = 0; y < 30; ++y)
        for (int32_t x = 0; x < 40; ++x) data.scan0[y * data.stride + x] = static_cast<uint8_t>(x * 6 + y);
    gif.UnlockBits(&data);
    ASSERT_EQ(gif.Save(dir / "in.gif", "image/gif"), Status::Ok);
    ASSERT_TRUE(doc().OnOpenDocument(dir / "in.gif"));
    ASSERT_EQ(doc().Image()->GetPixelFormat(), PixelFormat8bppIndexed);

    ASSERT_TRUE(doc().OnResizeAndSave(dir / "same.bmp"));
    SetOutput(60, 45);
    ASSERT_TRUE(doc().OnResizeAndSave(dir / "larger.bmp"));
    EXPECT_EQ(Bitmap::FromFile(dir / "same.bmp")->GetPixelFormat(), PixelFormat8bppIndexed);
    EXPECT_EQ(Bitmap::FromFile(dir / "larger.bmp")->GetPixelFormat(), PixelFormat24bppRGB);
    const auto same = Bitmap::FromFile(dir / "same.bmp");
    EXPECT_EQ(PixelsOf(*same), PixelsOf(*doc().Image()));
}

TEST_F(OpenSaveTest, ResultIsTheResizeOfTheImageWithTheSettingsAlgorithmAndCorrection) {
    WritePattern(dir / "in.png", 80, 40);
    ASSERT_TRUE(doc().OnOpenDocument(dir / "in.png"));
    SetOutput(50, 50);
    const struct {
        SizeCorrection correction;
        ResizeAlgorithm algorithm;
    } cases[] = {{SizeCorrection::Crop, 3}, {SizeCorrection::None, 3}, {SizeCorrection::Crop, 6}, {SizeCorrection::None, 7}};
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.correction) * 10 + c.algorithm);
        rig.settings.correction = c.correction;
        rig.settings.algorithm = c.algorithm;
        ASSERT_TRUE(doc().OnResizeAndSave(dir / "out.png"));
        Bitmap expected(50, 50, PixelFormat24bppRGB);
        ASSERT_TRUE(ResizeBitmap(*doc().Image(), expected, c.algorithm, c.correction == SizeCorrection::Crop, nullptr));
        EXPECT_EQ(PixelsOf(*Bitmap::FromFile(dir / "out.png")), PixelsOf(expected));
    }
}

TEST_F(OpenSaveTest, SavingOverTheOpenFileWorksFromTheImageInMemory) {
    WritePattern(dir / "photo.png", 120, 80);
    ASSERT_TRUE(doc().OnOpenDocument(dir / "photo.png"));
    const std::vector<uint8_t> original = PixelsOf(*doc().Image());

    SetOutput(60, 40);
    ASSERT_TRUE(doc().OnResizeAndSave(dir / "photo.png"));
    EXPECT_EQ(Bitmap::FromFile(dir / "photo.png")->GetWidth(), 60);
    // The document still holds the image it opened.
    SetOutput(120, 80);
    ASSERT_TRUE(doc().OnResizeAndSave(dir / "copy.png"));
    EXPECT_EQ(PixelsOf(*Bitmap::FromFile(dir / "copy.png")), original);
    EXPECT_EQ(FileNamesIn(dir.path()), (std::vector<std::string>{"copy.png", "photo.png"}));
}

TEST_F(OpenSaveTest, FailedWriteLeavesTheFileItWouldReplace) {
    WritePattern(dir / "in.png", 300, 200);
    WritePattern(dir / "old.png", 20, 20);
    const std::vector<uint8_t> old = ReadBytes(dir / "old.png");
    // A file size limit makes the write fail part way, as a full disk would.
    const auto saveUnderLimit = [&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        if (!doc().OnOpenDocument(dir / "in.png")) std::_Exit(2);
        SetOutput(600, 400);
        const bool saved = doc().OnResizeAndSave(dir / "old.png");
        const std::string said = "Can't save file " + (dir / "old.png").string() + ".";
        const bool told = messages().size() == 2 && messages()[0].rfind(said, 0) == 0 && messages()[1] == kCantCreate;
        std::_Exit(!saved && told ? 0 : 1);
    };
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(saveUnderLimit(), ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(ReadBytes(dir / "old.png"), old);
    EXPECT_EQ(FileNamesIn(dir.path()), (std::vector<std::string>{"in.png", "old.png"}));
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kAddressSpaceLimits = false;  // the sanitizers reserve address space of their own
#else
constexpr bool kAddressSpaceLimits = true;
#endif

// Bytes of address space the process holds now.
rlim_t AddressSpace() {
    unsigned long pages = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%lu", &pages) != 1) pages = 0;
        std::fclose(statm);
    }
    return static_cast<rlim_t>(pages) * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE));
}

// Memory runs out inside the drawing of a standard algorithm: the 24-bit view of an 8-bit picture
// cannot be made. The resize used to report success with a black result written over the output;
// now it fails, says why, and the file at the output stays as it was.
TEST_F(OpenSaveTest, MemoryRunningOutWhileDrawingFailsAndLeavesTheOutput) {
    if (!kAddressSpaceLimits) GTEST_SKIP() << "address-space limits do not work under this sanitizer";
    Bitmap indexed(3000, 3000, PixelFormat8bppIndexed);
    ASSERT_EQ(indexed.Save(dir / "in.png", "image/png"), Status::Ok);
    WritePattern(dir / "old.png", 20, 20);
    const std::vector<uint8_t> old = ReadBytes(dir / "old.png");
    const auto resizeUnderLimit = [&] {
        if (!doc().OnOpenDocument(dir / "in.png")) std::_Exit(2);
        // Decoded now: 9 MB of pixels. Their 24-bit view would take 27 MB more than there is.
        if (!doc().Image()->Clone(Rect{0, 0, 1, 1}, PixelFormatUndefined)) std::_Exit(3);
        SetMemoryBudget(uint64_t{64} << 30);  // so that the estimate lets the resize start
        SetOutput(100, 100);
        bool saved = true;
        tbb::task_arena alone(1);  // no worker threads, whose stacks would need room too
        alone.initialize();
        alone.execute([&] {
            const rlimit limit{AddressSpace() + (rlim_t{12} << 20), RLIM_INFINITY};
            ::setrlimit(RLIMIT_AS, &limit);
            saved = doc().OnResizeAndSave(dir / "old.png");
        });
        const bool told = messages().size() == 2 && messages()[0] == "Not enough memory to lock the bitmap" &&
                          messages()[1] == kCantCreate;
        std::_Exit(saved ? 4 : (told ? 1 : 5));
    };
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(resizeUnderLimit(), ::testing::ExitedWithCode(1), "");
    EXPECT_EQ(ReadBytes(dir / "old.png"), old);
    EXPECT_EQ(FileNamesIn(dir.path()), (std::vector<std::string>{"in.png", "old.png"}));
}

// A resize whose estimate exceeds the budget never starts: nothing is decoded, nothing written.
// (Opening decodes the pixels only when that alone fits the budget: here it does not.)
TEST_F(OpenSaveTest, AResizeBeyondTheBudgetIsRefusedWithTheNumbers) {
    WritePattern(dir / "in.png", 300, 200);
    SetMemoryBudget(uint64_t{4} << 20);
    ASSERT_TRUE(doc().OnOpenDocument(dir / "in.png"));
    EXPECT_GT(doc().Image()->PendingDecodeBytes(), 0u);
    SetMemoryBudget(uint64_t{64} << 20);
    SetOutput(6000, 4000);
    EXPECT_FALSE(doc().OnResizeAndSave(dir / "out.png"));
    SetMemoryBudget(std::nullopt);
    ASSERT_EQ(messages().size(), 2u);
    EXPECT_EQ(messages()[0].rfind("Not enough memory: resizing 300 x 200 pixels to 6000 x 4000 needs about ", 0), 0u)
        << messages()[0];
    EXPECT_NE(messages()[0].find(", and 64 MB are available."), std::string::npos) << messages()[0];
    EXPECT_EQ(messages()[1], kCantCreate);
    EXPECT_GT(doc().Image()->PendingDecodeBytes(), 0u);  // never decoded
    EXPECT_EQ(FileNamesIn(dir.path()), std::vector<std::string>{"in.png"});
}

TEST_F(OpenSaveTest, QuietSaveFailsWithoutAWord) {
    WritePattern(dir / "in.png", 30, 20);
    ASSERT_TRUE(doc().OnOpenDocument(dir / "in.png"));
    Bitmap result(30, 20, PixelFormat24bppRGB);
    EXPECT_EQ(doc().SaveImage(result, dir / "none" / "out.png", 1, *doc().Image(), 75), 0);
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(doc().SaveImage(result, dir / "none" / "out.png", 0, *doc().Image(), 75), 0);
    EXPECT_EQ(messages(), std::vector<std::string>{"Can't save file " + (dir / "none" / "out.png").string() + "."});
    EXPECT_EQ(doc().SaveImage(result, dir / "out.png", 0, *doc().Image(), 75), 1);
}

TEST(OutputMimeType, FollowsTheExtensionInAnyCase) {
    const struct {
        const char* path;
        std::string_view mime;
    } cases[] = {
        {"a.jpg", "image/jpeg"}, {"a.JpG", "image/jpeg"}, {"a.bmp", "image/bmp"},  {"a.gif", "image/gif"},
        {"a.TIF", "image/tiff"}, {"a.png", "image/png"},  {"/x.png/a.jpeg", "image/jpeg"}, {"a.tiff", "image/tiff"},
        {"a.jpe", "image/jpeg"}, {"a.jpg.", ""},          {"jpg", ""},             {"dir.jpg/a", ""},
        {".jpg", "image/jpeg"},  {"a.tiffs", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(OutputMimeType(c.path), c.mime) << c.path;
}

}  // namespace
}  // namespace kv::test

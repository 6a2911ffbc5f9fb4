// What a photo holds survives kvscale, judged by readers other than our own (exiftool): maker notes
// of Canon, Nikon, Olympus and Fujifilm files, XMP, IPTC and the comment, the Exif pixel
// dimensions, colour profiles that match the pixels; and what fails says so: damaged files, a
// missing output folder, the same name from two folders in one batch.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "cli/KvscaleProcess.h"
#include "common/TestFiles.h"
#include "imageio/Bitmap.h"
#include "imageio/ExternalTools.h"

namespace kv::test {
namespace {

namespace fs = std::filesystem;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class NothingLostTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveTool("exiftool")) GTEST_SKIP() << "exiftool is not installed";
    }
    ProcessRun Run(std::vector<std::string> words) { return RunKvscaleProcess(scratch.path(), std::move(words)); }
    // Resizes a file into dir as name; asserts that kvscale succeeded.
    fs::path Resize(const fs::path& input, const std::string& name, const std::string& size = "200") {
        const fs::path out = dir / name;
        const ProcessRun run = Run({"resize", input.string(), "-o", out.string(), "--percent", size});
        EXPECT_EQ(run.status, 0) << run.err;
        return out;
    }

    TempDir dir;
    TempDir scratch;
};

std::string Warnings(const fs::path& file) { return RunTool("exiftool -a -s -s -s -warning " + Quoted(file)); }

TEST_F(NothingLostTest, MakerNotesReadBackWithoutWarningsAndWithTheSameValues) {
    const char* sources[] = {"makernotes/canon-makernote.jpg", "makernotes/olympus-makernote.jpg", "DSCN0010.jpg",
                             "Fujifilm_FinePix_E500.jpg"};
    for (const char* source : sources) {
        const fs::path input = DataPath(source);
        const auto before = ExifToolTags(input, "-MakerNotes:all");
        ASSERT_GT(before.size(), 5u) << source;
        ASSERT_EQ(Warnings(input), "") << source;
        for (const char* ext : {".jpg", ".tif", ".png"}) {
            SCOPED_TRACE(std::string(source) + " to " + ext);
            const fs::path out = Resize(input, fs::path(source).stem().string() + ext);
            EXPECT_EQ(Warnings(out), "");
            EXPECT_EQ(ExifToolTags(out, "-MakerNotes:all"), before);
        }
    }
}

TEST_F(NothingLostTest, XmpIptcAndTheCommentSurviveAResizeToEveryFormatThatHoldsThem) {
    const fs::path input = dir / "tagged.jpg";
    fs::copy_file(DataPath("small.jpg"), input);
    ASSERT_EQ(RunTool("exiftool -q -overwrite_original -XMP-dc:Creator='Ana Lopes' -XMP-dc:Rights='(c) 2024 Ana Lopes' "
                      "-XMP-dc:Subject=harbour -IPTC:Keywords=harbour -IPTC:Keywords=boats "
                      "-IPTC:CopyrightNotice='(c) Ana' -Comment='Evening at the harbour' -EXIF:Artist='Ana Lopes' " +
                      Quoted(input) + " && echo ok"),
              "ok\n");
    const std::map<std::string, std::string> wanted = {
        {"XMP-dc:Creator", "Ana Lopes"},
        {"XMP-dc:Rights", "(c) 2024 Ana Lopes"},
        {"XMP-dc:Subject", "harbour"},
        {"IFD0:Artist", "Ana Lopes"},
    };
    for (const char* ext : {".jpg", ".tif", ".png"}) {
        SCOPED_TRACE(ext);
        const fs::path out = Resize(input, std::string("out") + ext, "50");
        EXPECT_EQ(Warnings(out), "");
        const auto tags = ExifToolTags(out);
        for (const auto& [tag, value] : wanted) EXPECT_EQ(tags.count(tag) ? tags.at(tag) : "(none)", value) << tag;
        // IPTC wherever the format keeps it (a TIFF file inside its Photoshop resources); both
        // keywords, in their order.
        EXPECT_EQ(RunTool("exiftool -s -s -s -IPTC:Keywords -IPTC:CopyrightNotice " + Quoted(out)), "harbour, boats\n(c) Ana\n");
        // A TIFF file has no place for a comment.
        if (std::string(ext) != ".tif") {
            const std::string comment = tags.count("File:Comment") ? tags.at("File:Comment")
                                        : tags.count("PNG:Comment") ? tags.at("PNG:Comment")
                                                                     : "(none)";
            EXPECT_EQ(comment, "Evening at the harbour");
        }
    }
}

TEST_F(NothingLostTest, ExifPixelDimensionsFollowTheResultAndTheRestStays) {
    const fs::path input = DataPath("DSCN0010.jpg");
    const auto before = ExifToolTags(input);
    ASSERT_EQ(before.at("ExifIFD:ExifImageWidth"), "640");
    const fs::path out = Resize(input, "half.jpg", "50");
    const auto after = ExifToolTags(out);
    EXPECT_EQ(after.at("ExifIFD:ExifImageWidth"), "320");
    EXPECT_EQ(after.at("ExifIFD:ExifImageHeight"), "240");
    for (const char* tag : {"IFD0:Orientation", "ExifIFD:DateTimeOriginal", "GPS:GPSLatitude", "GPS:GPSLongitude",
                            "IFD0:Make", "IFD0:Model", "ExifIFD:ExposureTime", "InteropIFD:InteropIndex"})
        EXPECT_EQ(after.count(tag) ? after.at(tag) : "(none)", before.at(tag)) << tag;
    // A source without them gets none.
    const fs::path plain = Resize(DataPath("small.jpg"), "plain.jpg", "50");
    EXPECT_EQ(ExifToolTags(plain).count("ExifIFD:ExifImageWidth"), 0u);
}

TEST_F(NothingLostTest, ACmykPhotoWithItsProfileBecomesSrgbWithoutTheCmykProfile) {
    const fs::path input = DataPath("cmyk/cmyk-profile.jpg");
    ASSERT_EQ(ExifToolTags(input).at("ICC-header:ColorSpaceData"), "CMYK");
    for (const char* ext : {".png", ".jpg", ".tif"}) {
        SCOPED_TRACE(ext);
        const fs::path out = Resize(input, std::string("rgb") + ext);
        EXPECT_EQ(Warnings(out), "");
        EXPECT_EQ(ExifToolTags(out).count("ICC-header:ColorSpaceData"), 0u);
        // The gradient from #d03020 at the top to #20a0f0 at the bottom, through the profile and
        // back as ImageMagick with Little CMS reads it: (207, 43, 30) to (56, 159, 237).
        const auto image = Bitmap::FromFile(out);
        ASSERT_EQ(image->GetLastStatus(), Status::Ok) << image->GetLastErrorMessage();
        BitmapData data;
        ASSERT_EQ(image->LockBits({0, 0, image->GetWidth(), image->GetHeight()}, ImageLockMode::Read, PixelFormat24bppRGB,
                                  &data),
                  Status::Ok);
        const uint8_t* top = data.scan0 + 3 * static_cast<ptrdiff_t>(data.width / 2);
        const uint8_t* bottom = top + static_cast<ptrdiff_t>(data.height - 1) * data.stride;
        const int first[3] = {30, 43, 207}, last[3] = {237, 159, 56};  // B, G, R
        for (int c = 0; c < 3; ++c) {
            EXPECT_NEAR(top[c], first[c], 8) << "channel " << c;
            EXPECT_NEAR(bottom[c], last[c], 8) << "channel " << c;
        }
        image->UnlockBits(&data);
    }
}

TEST_F(NothingLostTest, TruncatedFilesOfEveryFormatFailWithExitOne) {
    for (const char* ext : {".jpg", ".png", ".gif", ".bmp", ".tif"}) {
        SCOPED_TRACE(ext);
        const fs::path whole = Resize(DataPath("small.jpg"), std::string("whole") + ext, "40");
        const std::vector<uint8_t> bytes = ReadBytes(whole);
        const fs::path cut = dir / (std::string("cut") + ext);
        WriteBytes(cut, std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(bytes.size() * 6 / 10)));
        const ProcessRun run = Run({"resize", cut.string(), "-o", (dir / "x.png").string(), "--percent", "50"});
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(Contains(run.err, "Can't open file " + cut.string() + "!")) << run.err;
        EXPECT_FALSE(fs::exists(dir / "x.png"));
        const ProcessRun batch = Run({"batch", cut.string(), "--out", (dir / "batch").string(), "--percent", "50"});
        EXPECT_EQ(batch.status, 1);
        EXPECT_TRUE(Contains(batch.out, "Can't open file")) << batch.out;
    }
}

TEST_F(NothingLostTest, AFailedWriteSaysTheSystemsReasonAndTheFileInsteadOfGuessingMemory) {
    const fs::path out = dir / "missing" / "out.jpg";
    const ProcessRun run = Run({"resize", DataPath("small.jpg").string(), "-o", out.string(), "--percent", "50"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Contains(run.err, "Can't save file " + out.string() + ". No such file or directory")) << run.err;
    EXPECT_FALSE(Contains(run.err, "Maybe not enough memory")) << run.err;
}

TEST_F(NothingLostTest, TheSameNameFromTwoFoldersInOneBatchKeepsBothResults) {
    fs::create_directories(dir / "a");
    fs::create_directories(dir / "b");
    fs::copy_file(DataPath("small.jpg"), dir / "a" / "photo.jpg");
    fs::copy_file(DataPath("Canon_40D.jpg"), dir / "b" / "photo.jpg");
    for (const char* jobs : {"1", "2"}) {
        SCOPED_TRACE(std::string("--jobs ") + jobs);
        const fs::path out = dir / (std::string("out") + jobs);
        const ProcessRun run = Run({"batch", (dir / "a" / "photo.jpg").string(), (dir / "b" / "photo.jpg").string(), "--out",
                                    out.string(), "--percent", "50", "--policy", "overwrite", "--jobs", jobs});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(Bitmap::FromFile(out / "photo.jpg")->GetWidth(), 400);
        EXPECT_EQ(Bitmap::FromFile(out / "photo_1.jpg")->GetWidth(), 50);
        EXPECT_TRUE(Contains(run.out, "Output file photo.jpg was written earlier in this run!")) << run.out;
    }
}

}  // namespace
}  // namespace kv::test

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "app/SettingsFile.h"
#include "batch/BatchFile.h"
#include "common/RecordingTargets.h"
#include "cli/KvscaleProcess.h"
#include "common/TestFiles.h"
#include "imageio/Bitmap.h"

namespace kv::test {
namespace {

namespace fs = std::filesystem;

// kvscale as its own process; fileSizeLimit plays a disk that fills up after that many bytes of one
// file (the write fails instead of the signal ending kvscale).
ProcessRun Kvscale(const TempDir& dir, std::vector<std::string> words, std::optional<rlim_t> fileSizeLimit = std::nullopt) {
    return RunKvscaleProcess(dir.path(), std::move(words), {.fileSizeLimit = fileSizeLimit});
}

void MakeImage(const fs::path& path, int32_t width, int32_t height) {
    Bitmap image(width, height, PixelFormat24bppRGB);
    BitmapData data;
    ASSERT_EQ(image.LockBits({0, 0, width, height}, ImageLockMode::Write, PixelFormat24bppRGB, &data), Status::Ok);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < 3 * width; ++x) data.scan0[y * data.stride + x] = static_cast<uint8_t>(x ^ y);
    image.UnlockBits(&data);
    image.SetResolution(72, 72);
    ASSERT_EQ(image.Save(path, "image/tiff"), Status::Ok);
}

std::pair<int32_t, int32_t> SizeOf(const fs::path& path) {
    const auto image = Bitmap::FromFile(path);
    return {image->GetWidth(), image->GetHeight()};
}

std::vector<std::string> NamesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A wide 1000 x 500 and a tall 300 x 600 picture at 72 dots per inch.
class BatchCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(in);
        MakeImage(wide, 1000, 500);
        MakeImage(tall, 300, 600);
    }
    ProcessRun Batch(std::vector<std::string> options, std::vector<std::string> files = {}) {
        if (files.empty()) files = {wide.string(), tall.string()};
        std::vector<std::string> words{"batch"};
        words.insert(words.end(), files.begin(), files.end());
        words.insert(words.end(), {"--out", out.string()});
        words.insert(words.end(), options.begin(), options.end());
        return Kvscale(dir, words);
    }

    TempDir dir;
    fs::path in = dir / "in";
    fs::path out = dir / "out";
    fs::path wide = in / "wide.tif";
    fs::path tall = in / "tall.tif";
};

TEST_F(BatchCommandTest, FilesAreStampedAsApplyToAllWithTheFirstImageOpen) {
    // The options act on the bar with the first image open; the record is then fitted to each image.
    const struct {
        std::vector<std::string> options;
        std::pair<int32_t, int32_t> wide, tall;
    } cases[] = {
        {{}, {1000, 500}, {250, 500}},
        {{"--width", "400"}, {400, 200}, {100, 200}},
        {{"--percent", "50"}, {500, 250}, {150, 300}},
        {{"--size", "640x480"}, {640, 320}, {160, 320}},
        {{"--size", "640x480", "--correction", "none"}, {640, 480}, {640, 480}},
        {{"--dpi", "36"}, {500, 250}, {125, 250}},
    };
    for (const auto& c : cases) {
        std::string trace;
        for (const std::string& o : c.options) trace += o + " ";
        SCOPED_TRACE(trace);
        fs::remove_all(out);
        const ProcessRun run = Batch(c.options);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(SizeOf(out / "wide.tif"), c.wide);
        EXPECT_EQ(SizeOf(out / "tall.tif"), c.tall);
    }
}

TEST_F(BatchCommandTest, AResultIsTheFileResizeWritesForTheSameSettings) {
    const fs::path photo = DataPath("Canon_40D.jpg");
    for (const char* algorithm : {"4", "6"}) {
        SCOPED_TRACE(algorithm);
        fs::remove_all(out);
        ASSERT_EQ(Kvscale(dir, {"resize", photo.string(), "-o", (dir / "one.jpg").string(), "--percent", "150",
                                "--algorithm", algorithm, "--quality", "90"})
                      .status,
                  0);
        const ProcessRun run = Batch({"--percent", "150", "--algorithm", algorithm, "--quality", "90"}, {photo.string()});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(ReadBytes(out / "Canon_40D.jpg"), ReadBytes(dir / "one.jpg"));
    }
}

TEST_F(BatchCommandTest, LogGoesToStdoutInListOrderWhateverTheJobs) {
    const ProcessRun one = Batch({"--percent", "20", "--jobs", "1", "--new-name", "--format", "png"},
                          {wide.string(), (in / "gone.tif").string(), tall.string()});
    EXPECT_EQ(one.status, 1);
    const std::string inFolder = in.string() + "/", outFolder = out.string() + "/";
    EXPECT_EQ(one.out,
              "File 1 from 3\nInput file\nFolder: " + inFolder + "\nName: wide.tif\nOutput file\nFolder: " + outFolder +
                  "\nName:wide_RESIZED_TO_200x100.png\nSize: 200x100 pixels, 72 DPI\nAlgorithm: High Quality Bicubic\n\n"
                  "File 2 from 3\nInput file\nFolder: " + inFolder + "\nName: gone.tif\nCan't open file\n" + inFolder +
                  "gone.tif!\n\n"
                  "File 3 from 3\nInput file\nFolder: " + inFolder + "\nName: tall.tif\nOutput file\nFolder: " + outFolder +
                  "\nName:tall_RESIZED_TO_60x120.png\nSize: 60x120 pixels, 72 DPI\nAlgorithm: High Quality Bicubic\n\n");
    EXPECT_EQ(one.err, "kvscale: 1 of 3 images were not resized\n");

    fs::remove_all(out);
    const ProcessRun three = Batch({"--percent", "20", "--jobs", "3", "--new-name", "--format", "png"},
                            {wide.string(), (in / "gone.tif").string(), tall.string()});
    EXPECT_EQ(three.status, 1);
    EXPECT_EQ(three.out, one.out);
}

TEST_F(BatchCommandTest, AListKeepsItsValuesUnlessAnOptionStampsAgain) {
    const std::vector<BatchRecord> records = {{wide, {30, 20, 50, 7, SizeCorrection::None}},
                                              {in / "gone.tif", {10, 10, 72, 4, SizeCorrection::None}},
                                              {tall, {40, 50, 72, 1, SizeCorrection::None}}};
    ASSERT_TRUE(WriteBatchFile(dir / "list.qzb", records).ok());
    const auto list = [&](std::vector<std::string> options) {
        fs::remove_all(out);
        std::vector<std::string> words{"batch", "--list", (dir / "list.qzb").string(), "--out", out.string()};
        words.insert(words.end(), options.begin(), options.end());
        return Kvscale(dir, words);
    };

    ProcessRun run = list({});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("1 images of the list no longer exist"), std::string::npos) << run.err;
    EXPECT_EQ(SizeOf(out / "wide.tif"), (std::pair{30, 20}));
    EXPECT_EQ(SizeOf(out / "tall.tif"), (std::pair{40, 50}));
    EXPECT_NE(run.out.find("Algorithm: Advanced for Natural Scenes"), std::string::npos);

    // A named settings file alone does not stamp a list; a size does.
    ResizeSettings preset;
    preset.width = 320;
    preset.height = 200;
    RecordingUserPrompt prompt;
    ASSERT_TRUE(SaveSettingsFile(dir / "p.qzr", preset, prompt));
    run = list({"--settings", (dir / "p.qzr").string()});
    EXPECT_EQ(SizeOf(out / "wide.tif"), (std::pair{30, 20}));
    run = list({"--width", "100"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(SizeOf(out / "wide.tif"), (std::pair{100, 50}));
    EXPECT_EQ(SizeOf(out / "tall.tif"), (std::pair{25, 50}));
    EXPECT_EQ(run.out.find("Advanced"), std::string::npos);

    WriteBytes(dir / "wrong.qzb", std::vector<uint8_t>(100, 'x'));
    run = Kvscale(dir, {"batch", "--list", (dir / "wrong.qzb").string(), "--out", out.string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "kvscale: Wrong file!\n");
}

TEST_F(BatchCommandTest, NamedSettingsFileActsAsLoadingItWithTheImageOpen) {
    ResizeSettings preset;
    preset.width = 320;
    preset.height = 200;
    preset.algorithm = 6;
    RecordingUserPrompt prompt;
    ASSERT_TRUE(SaveSettingsFile(dir / "p.qzr", preset, prompt));
    const std::string qzr = (dir / "p.qzr").string();

    ProcessRun run = Kvscale(dir, {"resize", wide.string(), "-o", (dir / "r.tif").string(), "--settings", qzr});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(SizeOf(dir / "r.tif"), (std::pair{320, 200}));
    run = Kvscale(dir, {"resize", wide.string(), "-o", (dir / "r.tif").string(), "--settings", qzr, "--width", "100"});
    EXPECT_EQ(SizeOf(dir / "r.tif"), (std::pair{100, 50}));

    run = Batch({"--settings", qzr});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(SizeOf(out / "wide.tif"), (std::pair{320, 160}));
    EXPECT_EQ(SizeOf(out / "tall.tif"), (std::pair{100, 200}));
    EXPECT_NE(run.out.find("Algorithm: Smart for Natural Scenes"), std::string::npos);

    WriteBytes(dir / "bad.qzr", std::vector<uint8_t>(102, 'x'));
    for (const std::string command : {"resize", "batch"}) {
        run = Kvscale(dir, {command, wide.string(), "-o", (dir / "r2.tif").string(), "--settings", (dir / "bad.qzr").string()});
        EXPECT_EQ(run.status, 1) << command;
        EXPECT_EQ(run.err, "kvscale: Wrong file!\n");
    }
    EXPECT_FALSE(fs::exists(dir / "r2.tif"));
}

TEST_F(BatchCommandTest, UsageErrorsExitWithTwo) {
    const std::vector<std::vector<std::string>> cases = {
        {"batch", "--out", out.string()},
        {"batch", wide.string()},
        {"batch", wide.string(), "--list", "x.qzb", "--out", out.string()},
        {"batch", wide.string(), "--out", out.string(), "--policy", "rename"},
        {"batch", wide.string(), "--out", out.string(), "--format", "gif"},
        {"batch", wide.string(), "--out", out.string(), "--jobs", "0"},
        {"batch", wide.string(), "--out", out.string(), "--quality", "0"},
        {"batch", wide.string(), "--out", out.string(), "--width", "2"},
        {"batch", wide.string(), "--out", out.string(), "--unit", "mm"},
        {"batch", wide.string(), "--out", out.string(), "--bogus"},
    };
    for (const auto& words : cases) {
        SCOPED_TRACE(words.back());
        const ProcessRun run = Kvscale(dir, words);
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find("usage:"), std::string::npos);
    }
    EXPECT_FALSE(fs::exists(out));
}

TEST_F(BatchCommandTest, SameFolderAndACreatedOutputFolder) {
    ProcessRun run = Kvscale(dir, {"batch", wide.string(), "--same-folder", "--size", "100x100", "--format", "bmp"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(SizeOf(in / "wide_RESIZED_TO_100x50.bmp"), (std::pair{100, 50}));

    // The output folder is made with its parents, as answering Yes in the settings dialog does.
    const fs::path deep = dir / "a" / "b";
    run = Kvscale(dir, {"batch", wide.string(), "--out", deep.string(), "--percent", "10"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(SizeOf(deep / "wide.tif"), (std::pair{100, 50}));

    // One that cannot be made stops the run.
    WriteBytes(dir / "file", {1});
    run = Kvscale(dir, {"batch", wide.string(), "--out", (dir / "file" / "sub").string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "Can't open output folder!\n");
    EXPECT_NE(run.err.find("Can't create output folder!"), std::string::npos) << run.err;
}

TEST_F(BatchCommandTest, AWriteFailureOnFileThreeOfTenLeavesTheRestAlone) {
    std::vector<std::string> files;
    for (int i = 0; i < 10; ++i) {
        files.push_back((in / ("f" + std::to_string(i) + ".tif")).string());
        fs::copy_file(tall, files.back());
    }
    for (const char* jobs : {"1", "2"}) {
        SCOPED_TRACE(jobs);
        fs::remove_all(out);
        fs::create_directories(out / "f2.tif");
        const ProcessRun run = Batch({"--percent", "10", "--jobs", jobs}, files);
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.out.find("File 3 from 10"), std::string::npos);
        EXPECT_NE(run.out.find("Can't write file\n" + (out / "f2.tif").string() + "!\n"), std::string::npos) << run.out;
        EXPECT_EQ(run.out.find("File 4 from 10"), std::string::npos);
        EXPECT_EQ(NamesIn(out), (std::vector<std::string>{"f0.tif", "f1.tif", "f2.tif"}));
        EXPECT_EQ(run.err, "kvscale: the batch run stopped\n");
    }
}

TEST_F(BatchCommandTest, AFullDiskKeepsTheOldOutputAndLeavesNoPartialFile) {
    for (const char* jobs : {"1", "2"}) {
        SCOPED_TRACE(jobs);
        fs::remove_all(out);
        fs::create_directories(out);
        WriteBytes(out / "wide.tif", {1, 2, 3});
        const ProcessRun run = Kvscale(dir, {"batch", wide.string(), "--out", out.string(), "--jobs", jobs}, 64 * 1024);
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.out.find("Can't write file\n" + (out / "wide.tif").string() + "!\n"), std::string::npos) << run.out;
        EXPECT_EQ(ReadBytes(out / "wide.tif"), (std::vector<uint8_t>{1, 2, 3}));
        EXPECT_EQ(NamesIn(out), std::vector<std::string>{"wide.tif"});
    }
}

}  // namespace
}  // namespace kv::test

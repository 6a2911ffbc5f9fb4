// kvscale against what an adversarial user or file can do: pixels that do not decode, tiny files
// that claim huge pictures, resizes larger than the memory allows, signals and a full disk while
// writing, long names, concurrent runs into one folder, and arguments that used to pass silently.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/SettingsFile.h"
#include "batch/BatchFile.h"
#include "cli/KvscaleProcess.h"
#include "common/RecordingTargets.h"
#include "common/TestFiles.h"
#include "imageio/Bitmap.h"

namespace kv::test {
namespace {

namespace fs = std::filesystem;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kPlainBuild = false;  // the sanitizers keep memory and address space of their own
#else
constexpr bool kPlainBuild = true;
#endif

fs::path Hostile(const std::string& name) { return DataPath("hostile/" + name); }

std::vector<std::string> NamesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A picture with some detail, at 72 dots per inch, in the format of the path's extension.
void MakeImage(const fs::path& path, int32_t width, int32_t height) {
    Bitmap image(width, height, PixelFormat24bppRGB);
    BitmapData data;
    ASSERT_EQ(image.LockBits({0, 0, width, height}, ImageLockMode::Write, PixelFormat24bppRGB, &data), Status::Ok);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < 3 * width; ++x) data.scan0[static_cast<size_t>(y) * data.stride + x] = static_cast<uint8_t>(x ^ y);
    image.UnlockBits(&data);
    image.SetResolution(72, 72);
    const std::string ext = path.extension().string();
    ASSERT_EQ(image.Save(path, ext == ".jpg" ? "image/jpeg" : ext == ".bmp" ? "image/bmp" : "image/tiff"), Status::Ok);
}

std::pair<int32_t, int32_t> SizeOf(const fs::path& path) {
    const auto image = Bitmap::FromFile(path);
    return {image->GetWidth(), image->GetHeight()};
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class HardeningTest : public ::testing::Test {
protected:
    ProcessRun Run(std::vector<std::string> words, ProcessOptions options = {}) {
        return RunKvscaleProcess(scratch.path(), std::move(words), options);
    }

    TempDir dir;
    TempDir scratch;  // the caught output of the processes, apart from the folders they write
};

// Each kind of damage the adversarial sweep found made algorithms 0 to 4 write a black picture and
// exit 0. Every algorithm must fail as a file that cannot be opened, say why, and leave the output,
// even the input itself, alone.
TEST_F(HardeningTest, PixelsThatDoNotDecodeFailEveryAlgorithmAndTouchNothing) {
    const std::vector<uint8_t> old{'o', 'l', 'd'};
    for (const char* name : {"png-cut-idat.png", "png-bad-idat.png", "gif-cut.gif", "tiff-bad-lzw.tif", "jpeg-scan-cap.jpg"}) {
        for (const char* algorithm : {"0", "4", "6", "9"}) {
            SCOPED_TRACE(std::string(name) + " with algorithm " + algorithm);
            WriteBytes(dir / "out.jpg", old);
            const ProcessRun run = Run({"resize", Hostile(name).string(), "-o", (dir / "out.jpg").string(), "--width",
                                        "50", "--algorithm", algorithm});
            EXPECT_EQ(run.status, 1);
            EXPECT_TRUE(Contains(run.err, "Can't open file " + Hostile(name).string() + "!")) << run.err;
            EXPECT_FALSE(Contains(run.err, "Can't create output image!")) << run.err;
            EXPECT_EQ(ReadBytes(dir / "out.jpg"), old);
            EXPECT_EQ(NamesIn(dir.path()), std::vector<std::string>{"out.jpg"});
        }
        // Resized onto itself, as a user shrinking a photo in place does.
        const fs::path self = dir / (std::string("self") + fs::path(name).extension().string());
        fs::copy_file(Hostile(name), self);
        EXPECT_EQ(Run({"resize", self.string(), "-o", self.string(), "--percent", "50"}).status, 1) << name;
        EXPECT_EQ(ReadBytes(self), ReadBytes(Hostile(name))) << name;
        fs::remove(self);
    }
    // The reason reaches the user, not only the file name.
    const ProcessRun png = Run({"resize", Hostile("png-bad-idat.png").string(), "-o", (dir / "x.jpg").string()});
    EXPECT_TRUE(Contains(png.err, "The PNG file cannot be read")) << png.err;
}

// Files of a few bytes that describe gigapixels: refused at once with the reason, or, where the
// picture is real and fits, resized.
TEST_F(HardeningTest, TinyFilesClaimingHugePicturesEndWithinTheirLimits) {
    const struct {
        const char* name;
        std::vector<std::string> options;
        int status;
    } cases[] = {
        {"bmp-tall-rle.bmp", {"--size", "100x100", "--correction", "none"}, 0},  // 1 x 20,000,000 pixels
        {"bmp-tall-rle-gigapixel.bmp", {"--size", "100x100", "--correction", "none"}, 1},
        {"gif-huge-screen.gif", {"--width", "100"}, 1},
        {"jpeg-progressive-huge.jpg", {"--width", "100"}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> words{"resize", Hostile(c.name).string(), "-o", (dir / "out.png").string()};
        words.insert(words.end(), c.options.begin(), c.options.end());
        const ProcessRun run = Run(words, {.watchdogSeconds = 30});
        ASSERT_EQ(run.signal, 0);
        EXPECT_EQ(run.status, c.status) << run.err;
        if (c.status == 0) {
            EXPECT_EQ(SizeOf(dir / "out.png"), (std::pair{100, 100}));
        } else {
            EXPECT_TRUE(Contains(run.err, "too large to decode")) << run.err;
            EXPECT_FALSE(fs::exists(dir / "out.png"));
        }
        if (kPlainBuild) { EXPECT_LT(run.peakKilobytes, 1 << 20) << "peak resident size in KB"; }
        fs::remove(dir / "out.png");
    }
}

TEST_F(HardeningTest, AResizeBeyondTheMemoryBudgetIsRefusedBeforeItStarts) {
    MakeImage(dir / "in.tif", 400, 300);
    const ProcessRun run = Run({"resize", (dir / "in.tif").string(), "-o", (dir / "out.jpg").string(), "--size",
                                "40000x30000", "--algorithm", "9", "--max-memory", "1G"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Contains(run.err, "Not enough memory: resizing 400 x 300 pixels to 40000 x 30000 needs about")) << run.err;
    EXPECT_TRUE(Contains(run.err, "1.0 GB are available")) << run.err;
    EXPECT_FALSE(fs::exists(dir / "out.jpg"));
    if (kPlainBuild) { EXPECT_LT(run.peakKilobytes, 200 << 10); }
    // The default budget is what the process may still have: RLIMIT_AS counts.
    if (kPlainBuild) {
        const ProcessRun limited = Run({"resize", (dir / "in.tif").string(), "-o", (dir / "out.jpg").string(), "--size",
                                        "40000x30000", "--algorithm", "9"},
                                       {.addressSpaceLimit = rlim_t{3} << 30});
        EXPECT_EQ(limited.status, 1);
        EXPECT_TRUE(Contains(limited.err, "Not enough memory")) << limited.err;
    }
}

// The list the sweep used: 152 bytes asking 32768 x 32768 with algorithm 9.
TEST_F(HardeningTest, ABatchItemBeyondTheBudgetIsLoggedAndTheRunGoesOn) {
    MakeImage(dir / "a.tif", 300, 200);
    MakeImage(dir / "b.tif", 300, 200);
    const std::vector<BatchRecord> records = {{dir / "a.tif", {32768, 32768, 72, 9, SizeCorrection::None}},
                                              {dir / "b.tif", {30, 20, 72, 4, SizeCorrection::None}}};
    ASSERT_TRUE(WriteBatchFile(dir / "list.qzb", records).ok());
    for (const char* jobs : {"1", "2"}) {
        SCOPED_TRACE(jobs);
        fs::remove_all(dir / "out");
        const ProcessRun run = Run({"batch", "--list", (dir / "list.qzb").string(), "--out", (dir / "out").string(),
                                    "--jobs", jobs, "--max-memory", "1G"});
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(Contains(run.out, "Can't create output image!\nMaybe not enough memory!")) << run.out;
        EXPECT_EQ(NamesIn(dir / "out"), std::vector<std::string>{"b.tif"});
        if (kPlainBuild) { EXPECT_LT(run.peakKilobytes, 200 << 10); }
    }
}

// Eight jobs at once on pictures of about 200 MB of work each, in a budget of 450 MB: they take
// turns instead of taking 1.6 GB.
TEST_F(HardeningTest, ParallelJobsShareTheMemoryBudget) {
    std::vector<std::string> words{"batch", "--out", (dir / "out").string(), "--percent", "200", "--jobs", "8",
                                   "--max-memory", "450M"};
    for (int i = 0; i < 8; ++i) {
        const fs::path image = dir / ("p" + std::to_string(i) + ".tif");
        MakeImage(image, 1600, 1200);
        words.push_back(image.string());
    }
    const ProcessRun run = Run(words);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(NamesIn(dir / "out").size(), 8u);
    EXPECT_EQ(SizeOf(dir / "out" / "p7.tif"), (std::pair{3200, 2400}));
    if (kPlainBuild) { EXPECT_LT(run.peakKilobytes, 600 << 10); }
}

// The writing process as it shows in /proc: a descriptor open on an unnamed file of the folder, or
// on a temporary of ours there.
bool IsWritingInto(pid_t pid, const fs::path& folder) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
        const std::string target = fs::read_symlink(entry.path(), error).string();
        if (error || target.rfind(folder.string() + "/", 0) != 0) continue;
        if (Contains(target, "(deleted)") || Contains(target, "/.kvsc-")) return true;
    }
    return false;
}

// A signal while the result is being written: no file, no temporary, the old output intact.
TEST_F(HardeningTest, ASignalWhileWritingLeavesNothingBehind) {
    MakeImage(dir / "in.tif", 2400, 1600);
    fs::create_directories(dir / "out");
    const std::vector<uint8_t> old{'o', 'l', 'd'};
    for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
        for (const bool batch : {false, true}) {
            SCOPED_TRACE(std::to_string(sig) + (batch ? " batch" : " resize"));
            WriteBytes(dir / "out" / "in.bmp", old);
            std::vector<std::string> words =
                batch ? std::vector<std::string>{"batch", (dir / "in.tif").string(), "--out", (dir / "out").string(),
                                                 "--format", "bmp", "--percent", "300", "--policy", "overwrite"}
                      : std::vector<std::string>{"resize", (dir / "in.tif").string(), "-o", (dir / "out" / "in.bmp").string(),
                                                 "--percent", "300"};
            KvscaleProcess process(scratch.path(), words);
            bool seen = false;
            for (int poll = 0; poll < 20000 && !seen; ++poll) {
                seen = IsWritingInto(process.pid(), dir / "out");
                if (!seen) std::this_thread::sleep_for(std::chrono::microseconds(500));
            }
            ::kill(process.pid(), sig);
            const ProcessRun run = process.Wait();
            ASSERT_TRUE(seen) << "the result was never being written";
            EXPECT_EQ(run.signal, 0);
            EXPECT_EQ(run.status, 1) << run.err;
            EXPECT_TRUE(Contains(run.err, "interrupted")) << run.err;
            EXPECT_EQ(NamesIn(dir / "out"), std::vector<std::string>{"in.bmp"});
            EXPECT_EQ(ReadBytes(dir / "out" / "in.bmp"), old);
        }
    }
}

// Under a file-size limit a write fails with EFBIG like any other; the signal must not end kvscale
// with its temporary left behind.
TEST_F(HardeningTest, AFileSizeLimitIsAFailedWriteNotADeath) {
    MakeImage(dir / "in.tif", 400, 300);
    fs::create_directories(dir / "out");
    WriteBytes(dir / "out" / "r.bmp", {'o', 'l', 'd'});
    const ProcessRun resize = Run({"resize", (dir / "in.tif").string(), "-o", (dir / "out" / "r.bmp").string()},
                                  {.fileSizeLimit = 100000});
    EXPECT_EQ(resize.signal, 0);
    EXPECT_EQ(resize.status, 1);
    EXPECT_TRUE(Contains(resize.err, "File too large")) << resize.err;
    const ProcessRun batch = Run({"batch", (dir / "in.tif").string(), "--out", (dir / "out").string(), "--format", "bmp"},
                                 {.fileSizeLimit = 100000});
    EXPECT_EQ(batch.signal, 0);
    EXPECT_EQ(batch.status, 1);
    EXPECT_TRUE(Contains(batch.out, "Can't write file")) << batch.out;
    EXPECT_EQ(NamesIn(dir / "out"), std::vector<std::string>{"r.bmp"});
    EXPECT_EQ(ReadBytes(dir / "out" / "r.bmp"), (std::vector<uint8_t>{'o', 'l', 'd'}));
}

// A name of 250 bytes (and in a batch the suffix that takes a name to 250): the temporary needs
// no room in the name.
TEST_F(HardeningTest, NamesOfTwoHundredFiftyBytesAreWritten) {
    MakeImage(dir / "in.tif", 400, 300);
    const std::string name = std::string(246, 'r') + ".jpg";
    const ProcessRun resize = Run({"resize", (dir / "in.tif").string(), "-o", (dir / name).string(), "--width", "40"});
    EXPECT_EQ(resize.status, 0) << resize.err;
    EXPECT_EQ(SizeOf(dir / name), (std::pair{40, 30}));
    const std::string input = std::string(229, 'b') + ".tif";  // + "_RESIZED_TO_40x30": 250 bytes
    fs::copy_file(dir / "in.tif", dir / input);
    const ProcessRun batch = Run({"batch", (dir / input).string(), "--same-folder", "--width", "40"});
    EXPECT_EQ(batch.status, 0) << batch.err;
    const std::string result = std::string(229, 'b') + "_RESIZED_TO_40x30.tif";
    EXPECT_EQ(result.size(), 250u);
    EXPECT_EQ(SizeOf(dir / result), (std::pair{40, 30}));
}

TEST_F(HardeningTest, ArgumentsThatUsedToPassSilently) {
    MakeImage(dir / "-pic.tif", 400, 300);
    MakeImage(dir / "small.tif", 100, 50);
    // "--" ends the options: a file named like one is still a file.
    EXPECT_EQ(Run({"resize", "-o", "out.jpg", "--width", "40", "--", "-pic.tif"}, {.workingFolder = dir.path()}).status, 0);
    EXPECT_EQ(SizeOf(dir / "out.jpg"), (std::pair{40, 30}));
    EXPECT_EQ(Run({"batch", "--out", "o", "--width", "40", "--", "-pic.tif"}, {.workingFolder = dir.path()}).status, 0);
    EXPECT_EQ(SizeOf(dir / "o" / "-pic.tif"), (std::pair{40, 30}));
    EXPECT_EQ(Run({"info", "--", "-pic.tif"}, {.workingFolder = dir.path()}).status, 0);

    // A resolution the bar would hold at 3 x 3 pixels: 100 x 50 at 72 dpi is 1 x 1 at 1 dpi.
    const ProcessRun dpi = Run({"resize", (dir / "small.tif").string(), "-o", (dir / "d.jpg").string(), "--dpi", "1"});
    EXPECT_EQ(dpi.status, 2);
    EXPECT_TRUE(Contains(dpi.err, "--dpi 1 gives 1 x 1 pixels for this image; the smallest side is 3 pixels")) << dpi.err;
    EXPECT_EQ(Run({"batch", (dir / "small.tif").string(), "--out", "", "--width", "40"}).status, 2);
    EXPECT_EQ(Run({"batch", (dir / "small.tif").string(), "--out", (dir / "q").string(), "--quality", "0"}).status, 2);

    // A named pipe as input is refused at once instead of waiting for a writer.
    ASSERT_EQ(::mkfifo((dir / "pipe.jpg").c_str(), 0600), 0);
    for (const std::vector<std::string>& words :
         {std::vector<std::string>{"resize", (dir / "pipe.jpg").string(), "-o", (dir / "p.jpg").string()},
          std::vector<std::string>{"batch", (dir / "pipe.jpg").string(), "--out", (dir / "p").string()},
          std::vector<std::string>{"info", (dir / "pipe.jpg").string()},
          std::vector<std::string>{"thumb", (dir / "pipe.jpg").string(), "-o", (dir / "t.jpg").string()},
          std::vector<std::string>{"jpeg", "decode", (dir / "pipe.jpg").string(), (dir / "p.ppm").string()}}) {
        const ProcessRun run = Run(words, {.watchdogSeconds = 20});
        EXPECT_EQ(run.signal, 0) << words[0];
        EXPECT_EQ(run.status, 1) << words[0] << ": " << run.err;
    }
}

TEST_F(HardeningTest, ReplacingInputsTakesAnExplicitOverwrite) {
    MakeImage(dir / "a.tif", 400, 300);
    MakeImage(dir / "b.tif", 300, 400);
    const std::vector<uint8_t> a = ReadBytes(dir / "a.tif");
    const std::vector<std::string> words{"batch", (dir / "a.tif").string(), (dir / "b.tif").string(), "--out",
                                         dir.path().string(), "--width", "40"};
    const ProcessRun refused = Run(words);
    EXPECT_EQ(refused.status, 2);
    EXPECT_TRUE(Contains(refused.err, "would replace the input file " + (dir / "a.tif").string())) << refused.err;
    EXPECT_EQ(ReadBytes(dir / "a.tif"), a);

    std::vector<std::string> unique = words;
    unique.insert(unique.end(), {"--policy", "unique"});
    EXPECT_EQ(Run(unique).status, 0);
    EXPECT_EQ(SizeOf(dir / "a_1.tif"), (std::pair{40, 30}));
    EXPECT_EQ(ReadBytes(dir / "a.tif"), a);

    std::vector<std::string> overwrite = words;
    overwrite.insert(overwrite.end(), {"--policy", "overwrite"});
    EXPECT_EQ(Run(overwrite).status, 0);
    EXPECT_EQ(SizeOf(dir / "a.tif"), (std::pair{40, 30}));
    EXPECT_EQ(SizeOf(dir / "b.tif"), (std::pair{22, 30}));  // the 40 x 30 box fitted to it
}

// A damaged list or settings file keeps what was read, as the window does, but the run says so and
// fails.
TEST_F(HardeningTest, ListsAndSettingsFilesThatEndEarlyAreToldAndFail) {
    std::vector<BatchRecord> records;
    for (int i = 0; i < 5; ++i) {
        const fs::path image = dir / ("i" + std::to_string(i) + ".tif");
        MakeImage(image, 60, 40);
        records.push_back({image, {30, 20, 72, 4, SizeCorrection::None}});
    }
    ASSERT_TRUE(WriteBatchFile(dir / "whole.qzb", records).ok());
    std::vector<uint8_t> bytes = ReadBytes(dir / "whole.qzb");
    ASSERT_GT(bytes.size(), 252u);
    bytes.resize(252);
    WriteBytes(dir / "cut.qzb", bytes);
    const ProcessRun list = Run({"batch", "--list", (dir / "cut.qzb").string(), "--out", (dir / "out").string()});
    EXPECT_EQ(list.status, 1);
    EXPECT_TRUE(Contains(list.err, "the list " + (dir / "cut.qzb").string() + " ends early")) << list.err;
    EXPECT_FALSE(NamesIn(dir / "out").empty());
    EXPECT_LT(NamesIn(dir / "out").size(), 5u);

    ResizeSettings preset;
    preset.width = 30;
    preset.height = 20;
    RecordingUserPrompt prompt;
    ASSERT_TRUE(SaveSettingsFile(dir / "p.qzr", preset, prompt));
    std::vector<uint8_t> qzr = ReadBytes(dir / "p.qzr");
    qzr.resize(80);  // the size and the resolution, nothing after
    WriteBytes(dir / "p.qzr", qzr);
    const ProcessRun settings = Run({"resize", (dir / "i0.tif").string(), "-o", (dir / "s.tif").string(), "--settings",
                                     (dir / "p.qzr").string()});
    EXPECT_EQ(settings.status, 1);
    EXPECT_TRUE(Contains(settings.err, "ends early")) << settings.err;
    EXPECT_EQ(SizeOf(dir / "s.tif"), (std::pair{30, 20}));
}

// The name of each result, as the logs of runs give it: the last "Name:" entry of every file.
std::vector<std::string> LoggedNames(const std::string& log) {
    std::map<std::string, std::string> byFile;
    std::istringstream lines(log);
    std::string line, file;
    while (std::getline(lines, line)) {
        if (line.rfind("File ", 0) == 0) file = line;
        if (line.rfind("Name:", 0) == 0 && line.size() > 5 && line[5] != ' ') byFile[file] = line.substr(5);
    }
    std::vector<std::string> names;
    for (const auto& [key, name] : byFile) names.push_back(name);
    return names;
}

// Twenty runs of three images each into one folder under unique names: sixty files, each named by
// exactly one run, every run successful. Half run their single worker, half their parallel jobs.
TEST_F(HardeningTest, UniqueNamesHoldAcrossTwentyRunsAtOnce) {
    std::vector<std::string> images;
    for (const char* name : {"x.tif", "y.tif", "z.tif"}) {
        MakeImage(dir / name, 120, 90);
        images.push_back((dir / name).string());
    }
    fs::create_directories(dir / "out");
    std::vector<std::unique_ptr<KvscaleProcess>> runs;
    for (int i = 0; i < 20; ++i) {
        std::vector<std::string> words{"batch", "--out", (dir / "out").string(), "--policy", "unique", "--width", "60",
                                       "--jobs", i % 2 ? "2" : "1"};
        words.insert(words.end(), images.begin(), images.end());
        runs.push_back(std::make_unique<KvscaleProcess>(scratch.path(), words));
    }
    std::multiset<std::string> logged;
    for (auto& run : runs) {
        const ProcessRun done = run->Wait();
        EXPECT_EQ(done.status, 0) << done.err;
        for (const std::string& name : LoggedNames(done.out)) logged.insert(name);
    }
    const std::vector<std::string> files = NamesIn(dir / "out");
    EXPECT_EQ(files.size(), 60u);
    EXPECT_EQ(logged.size(), 60u);
    EXPECT_EQ(std::set<std::string>(logged.begin(), logged.end()).size(), 60u) << "a name was logged by two runs";
    for (const std::string& name : logged) EXPECT_TRUE(fs::exists(dir / "out" / name)) << name;
}

}  // namespace
}  // namespace kv::test

// Checks the memory estimate of resize jobs against what they really take. Every case runs in a
// fresh process that reads the source file, opens it, resizes it and encodes the result in memory,
// as kvscale does; the peak resident size it reaches beyond its start is compared with the
// estimate. Run by hand:
//
//   build/bench/job_memory_bench [FILTER]     one line per case: measured, estimated, ratio
//
// A ratio above 1 means the estimate is short of the real peak.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "base/AtomicFile.h"
#include "document/SaveImage.h"
#include "imageio/Bitmap.h"
#include "imageio/ResizeBitmap.h"
#include "imageio/ResizeJobMemory.h"

namespace {

using namespace kv;

struct Case {
    const char* name;
    const char* mime;     // of the source
    PixelFormat format;   // of the source
    int32_t sw, sh, dw, dh;
    ResizeAlgorithm algorithm;
    bool crop;
    const char* output;   // extension of the result
};

// Resident bytes now.
uint64_t Resident() {
    unsigned long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%lu %lu", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return static_cast<uint64_t>(resident) * static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
}

void MakeSource(const Case& c, const std::filesystem::path& path) {
    Bitmap image(c.sw, c.sh, c.format);
    BitmapData data;
    if (image.LockBits({0, 0, c.sw, c.sh}, ImageLockMode::Write, PixelFormat24bppRGB, &data) != Status::Ok) std::exit(3);
    uint32_t noise = 12345;
    for (int32_t y = 0; y < c.sh; ++y)
        for (int32_t x = 0; x < 3 * c.sw; ++x) {
            noise = noise * 1103515245 + 12345;
            data.scan0[static_cast<size_t>(y) * data.stride + x] = static_cast<uint8_t>((x + y) / 4 + ((noise >> 16) & 31));
        }
    image.UnlockBits(&data);
    if (image.Save(path, c.mime, 90) != Status::Ok) std::exit(3);
}

int RunJob(const Case& c, const std::filesystem::path& path) {
    const uint64_t start = Resident();
    auto bytes = std::make_shared<std::vector<uint8_t>>();
    if (!ReadWholeFile(path, *bytes).ok()) return 3;
    const uint64_t fileBytes = bytes->size();
    auto source = Bitmap::FromMemory(std::shared_ptr<const std::vector<uint8_t>>(bytes));
    bytes.reset();
    const std::string out = std::string("x.") + c.output;
    const ResizeJob job = ResizeJobOf(*source, fileBytes, c.dw, c.dh, c.algorithm, c.crop, OutputMimeType(out));
    const uint64_t estimate = EstimateResizeJob(job).peak();
    std::vector<uint8_t> encoded;
    if (job.copy) {
        auto result = source->Clone(source->GetPixelFormat());
        if (!result || EncodeSaveImage(*result, out, *source, 90, 72, encoded) != 1) return 4;
    } else {
        Bitmap result(c.dw, c.dh, PixelFormat24bppRGB);
        if (!ResizeBitmap(*source, result, c.algorithm, c.crop, nullptr)) return 4;
        if (EncodeSaveImage(result, out, *source, 90, 72, encoded) != 1) return 4;
    }
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const uint64_t peak = static_cast<uint64_t>(usage.ru_maxrss) * 1024 - start;
    std::printf("%-34s measured %8.1f MB  estimated %8.1f MB  ratio %.2f\n", c.name, peak / 1048576.0,
                estimate / 1048576.0, static_cast<double>(peak) / static_cast<double>(estimate));
    return 0;
}

const std::vector<Case>& Cases() {
    static const std::vector<Case> cases = {
        {"jpeg 4000x3000 -> 1000x750 a4", "image/jpeg", PixelFormat24bppRGB, 4000, 3000, 1000, 750, 4, false, "jpg"},
        {"jpeg 4000x3000 -> 100x75 a4", "image/jpeg", PixelFormat24bppRGB, 4000, 3000, 100, 75, 4, false, "jpg"},
        {"jpeg 4000x3000 -> 100x75 a0", "image/jpeg", PixelFormat24bppRGB, 4000, 3000, 100, 75, 0, false, "jpg"},
        {"jpeg 1000x750 -> 4000x3000 a4", "image/jpeg", PixelFormat24bppRGB, 1000, 750, 4000, 3000, 4, false, "jpg"},
        {"jpeg 1000x750 -> 4000x3000 a3 png", "image/jpeg", PixelFormat24bppRGB, 1000, 750, 4000, 3000, 3, false, "png"},
        {"jpeg 1000x750 -> 4000x3000 a1 tif", "image/jpeg", PixelFormat24bppRGB, 1000, 750, 4000, 3000, 1, false, "tif"},
        {"jpeg 1000x750 -> 4000x3000 a2 bmp", "image/jpeg", PixelFormat24bppRGB, 1000, 750, 4000, 3000, 2, false, "bmp"},
        {"jpeg 1000x750 -> 2000x1500 a4 gif", "image/jpeg", PixelFormat24bppRGB, 1000, 750, 2000, 1500, 4, false, "gif"},
        {"jpeg 1000x750 -> 3000x3000 crop", "image/jpeg", PixelFormat24bppRGB, 1000, 750, 3000, 3000, 4, true, "jpg"},
        {"jpeg 1000x750 -> 3000x2250 a5", "image/jpeg", PixelFormat24bppRGB, 1000, 750, 3000, 2250, 5, false, "jpg"},
        {"jpeg 1000x750 -> 3000x2250 a6", "image/jpeg", PixelFormat24bppRGB, 1000, 750, 3000, 2250, 6, false, "jpg"},
        {"jpeg 1000x750 -> 3000x2250 a7", "image/jpeg", PixelFormat24bppRGB, 1000, 750, 3000, 2250, 7, false, "jpg"},
        {"jpeg 1000x750 -> 3000x2250 a8", "image/jpeg", PixelFormat24bppRGB, 1000, 750, 3000, 2250, 8, false, "jpg"},
        {"jpeg 1000x750 -> 3000x2250 a9", "image/jpeg", PixelFormat24bppRGB, 1000, 750, 3000, 2250, 9, false, "jpg"},
        {"jpeg 3000x2250 -> 1000x750 a5", "image/jpeg", PixelFormat24bppRGB, 3000, 2250, 1000, 750, 5, false, "jpg"},
        {"jpeg 3000x2250 -> 1000x750 a7", "image/jpeg", PixelFormat24bppRGB, 3000, 2250, 1000, 750, 7, false, "jpg"},
        {"jpeg 3000x2250 -> 1000x750 a9", "image/jpeg", PixelFormat24bppRGB, 3000, 2250, 1000, 750, 9, false, "jpg"},
        {"jpeg 3000x2250 -> 2000x1500 a6", "image/jpeg", PixelFormat24bppRGB, 3000, 2250, 2000, 1500, 6, false, "jpg"},
        {"jpeg 1000x750 -> 3000x1000 a5", "image/jpeg", PixelFormat24bppRGB, 1000, 750, 3000, 1000, 5, false, "jpg"},
        {"jpeg 1000x750 -> 1000x3000 a6", "image/jpeg", PixelFormat24bppRGB, 1000, 750, 1000, 3000, 6, false, "jpg"},
        {"jpeg 4000x3000 same size", "image/jpeg", PixelFormat24bppRGB, 4000, 3000, 4000, 3000, 4, false, "jpg"},
        {"png8 4000x3000 -> 1000x750 a4", "image/png", PixelFormat8bppIndexed, 4000, 3000, 1000, 750, 4, false, "png"},
        {"gif 4000x3000 -> 1000x750 a4", "image/gif", PixelFormat8bppIndexed, 4000, 3000, 1000, 750, 4, false, "gif"},
        {"gif 2000x1500 same size gif", "image/gif", PixelFormat8bppIndexed, 2000, 1500, 2000, 1500, 4, false, "gif"},
        {"png32 3000x2000 -> 1500x1000 a4", "image/png", PixelFormat32bppARGB, 3000, 2000, 1500, 1000, 4, false, "png"},
        {"png48 2000x1500 -> 1000x750 a4", "image/png", PixelFormat48bppRGB, 2000, 1500, 1000, 750, 4, false, "png"},
        {"tif 4000x3000 -> 1000x750 a4", "image/tiff", PixelFormat24bppRGB, 4000, 3000, 1000, 750, 4, false, "tif"},
        {"bmp 4000x3000 -> 1000x750 a4", "image/bmp", PixelFormat24bppRGB, 4000, 3000, 1000, 750, 4, false, "bmp"},
        {"bmp 2x3000000 -> 100x100 a4", "image/bmp", PixelFormat24bppRGB, 2, 3000000, 100, 100, 4, false, "jpg"},
        {"bmp 300000x8 -> 100x100 a4", "image/bmp", PixelFormat24bppRGB, 300000, 8, 100, 100, 4, false, "jpg"},
        {"bmp 8x300000 -> 100x100 a5", "image/bmp", PixelFormat24bppRGB, 8, 300000, 100, 100, 5, false, "jpg"},
        {"bmp 8x300000 -> 100x100 a7", "image/bmp", PixelFormat24bppRGB, 8, 300000, 100, 100, 7, false, "jpg"},
        {"bmp 8x100000 -> 100x100 a9", "image/bmp", PixelFormat24bppRGB, 8, 100000, 100, 100, 9, false, "jpg"},
        {"bmp 3000x2000 -> 300x200 crop a6", "image/bmp", PixelFormat24bppRGB, 3000, 2000, 300, 300, 6, true, "jpg"},
    };
    return cases;
}

}  // namespace

int main(int argc, char** argv) {
    InitialiseImaging();
    if (argc == 4 && std::strcmp(argv[1], "--case") == 0) return RunJob(Cases()[std::strtoul(argv[2], nullptr, 10)], argv[3]);
    const std::string filter = argc > 1 ? argv[1] : "";
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / ("job_memory_bench." + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    for (size_t i = 0; i < Cases().size(); ++i) {
        const Case& c = Cases()[i];
        if (std::string(c.name).find(filter) == std::string::npos) continue;
        const std::filesystem::path source = folder / "source";
        // The source is made in a process of its own: a child's peak resident size counts its
        // parent's at the fork, which must stay small.
        std::fflush(stdout);
        if (const pid_t maker = ::fork(); maker == 0) {
            MakeSource(c, source);
            ::_exit(0);
        } else {
            ::waitpid(maker, nullptr, 0);
        }
        const pid_t pid = ::fork();
        if (pid == 0) {
            const std::string index = std::to_string(i);
            ::execl("/proc/self/exe", argv[0], "--case", index.c_str(), source.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::printf("%-34s failed (%d)\n", c.name, status);
    }
    std::filesystem::remove_all(folder);
    return 0;
}

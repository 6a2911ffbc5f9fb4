// Thumbnails of the browser as the builder threads make them.
//
// BM_FolderOfPhotos: a folder of photos without embedded previews ($KV_BENCH_PHOTOS, else the 60
// photos of the corpus' photos60/), from SetFiles until the last announced thumbnail, with an empty
// cache each time. Real time.
//
// BM_OnePhoto/<way>: one 220x165 thumbnail of a camera photo with an embedded preview
// ($KV_BENCH_EXIF_PHOTO, else the shared 12-megapixel street photo with its 160x120 preview), made
// the three ways a cell can get one: 0 the first stage (the embedded preview), 1 the second stage
// (the image decoded at reduced scale), 2 the image decoded at full resolution and shrunk by area
// averaging. Each includes compressing the thumbnail for the cache.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "browser/ThumbnailBuild.h"
#include "browser/ThumbnailJpeg.h"
#include "browser/ThumbsBuilderThreads.h"
#include "imageio/Bitmap.h"
#include "imageio/ResizeBitmap.h"

namespace {

namespace fs = std::filesystem;

fs::path Photos() {
    if (const char* env = std::getenv("KV_BENCH_PHOTOS")) return env;
    if (const char* env = std::getenv("KV_BENCH_CORPUS")) return fs::path(env) / "photos60";
    const char* cache = std::getenv("XDG_CACHE_HOME");
    const fs::path base = cache ? fs::path(cache) : fs::path(std::getenv("HOME")) / ".cache";
    return base / "kvscale-bench/corpus/photos60";
}

fs::path CameraPhoto() {
    if (const char* env = std::getenv("KV_BENCH_EXIF_PHOTO")) return env;
    return fs::path(__FILE__).parent_path() / "../../shared/bench/photos/street_4032x3024.jpg";
}

// Counts the announced thumbnails.
class Counter final : public kv::IThumbUpdate {
public:
    void OnThumbReady(std::string, int) override {
        std::lock_guard lock(mutex_);
        ++count_;
        changed_.notify_all();
    }
    void WaitFor(size_t count) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return count_ >= count; });
    }
    void Reset() {
        std::lock_guard lock(mutex_);
        count_ = 0;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    size_t count_ = 0;
};

void BM_FolderOfPhotos(benchmark::State& state) {
    std::vector<std::string> files;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(Photos(), error))
        if (entry.path().extension() == ".jpg") files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    if (files.empty()) {
        state.SkipWithError(("no photos in " + Photos().string() + " (bench/thumbs_compare.sh makes them)").c_str());
        return;
    }
    const fs::path scratch = fs::temp_directory_path() / "kv-thumbs-bench";
    for (auto _ : state) {
        fs::remove_all(scratch);
        kv::CMapStringToObPlus cache(scratch);
        Counter counter;
        kv::CThumbsBuilderThreads pool(cache);
        pool.AddListener(&counter);
        const auto start = std::chrono::steady_clock::now();
        pool.SetFiles(files);
        counter.WaitFor(files.size());
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        pool.RemoveListener(&counter);
    }
    fs::remove_all(scratch);
    state.counters["files"] = static_cast<double>(files.size());
}
BENCHMARK(BM_FolderOfPhotos)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

bool FullResolutionThumbnail(const fs::path& photo) {
    const auto image = kv::Bitmap::FromFile(photo);
    kv::BitmapData data;
    if (image->LockBits({0, 0, image->GetWidth(), image->GetHeight()}, kv::ImageLockMode::Read,
                        kv::PixelFormat24bppRGB, &data) != kv::Status::Ok)
        return false;
    kv::DibImagePtr dib(new kv::DibImage(data.AsRaster(), 72, 72));
    image->UnlockBits(&data);
    const kv::PixelSize size = kv::FitIntoCellBox(image->GetWidth(), image->GetHeight(), 220, 165);
    if (!dib->Resize(size.width, size.height)) return false;
    return !kv::EncodeThumbnailJpeg(*dib.get()).empty();
}

void BM_OnePhoto(benchmark::State& state) {
    const fs::path photo = CameraPhoto();
    const int way = static_cast<int>(state.range(0));
    for (auto _ : state) {
        bool made;
        if (way == 2) {
            made = FullResolutionThumbnail(photo);
        } else {
            kv::CPaletteItemImg cell;
            const auto stage = way == 0 ? kv::BuildStage::First : kv::BuildStage::Second;
            made = kv::BuildThumbnail(cell, photo.string(), stage, nullptr) && cell.fullQuality == (way == 0 ? 0 : 1);
        }
        if (!made) {
            state.SkipWithError(("no thumbnail of that kind from " + photo.string()).c_str());
            return;
        }
    }
}
BENCHMARK(BM_OnePhoto)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

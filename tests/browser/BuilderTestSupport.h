#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <string>
#include <vector>

#include "browser/CellTestSupport.h"
#include "browser/ThumbUpdate.h"
#include "browser/ThumbnailCache.h"
#include "imageio/Bitmap.h"

namespace kv::test {

// Writes a 24-bit image of the four quadrants (see Quadrant) in a format the imaging layer encodes
// ("image/png", "image/bmp", ...).
inline void WriteQuadrantImage(const std::filesystem::path& path, int32_t width, int32_t height,
                               const char* mimeType = "image/png") {
    Bitmap image(width, height, PixelFormat24bppRGB);
    BitmapData data;
    if (image.LockBits({0, 0, width, height}, ImageLockMode::Write, PixelFormat24bppRGB, &data) != Status::Ok) return;
    for (int32_t y = 0; y < height; ++y) {
        uint8_t* row = data.scan0 + static_cast<ptrdiff_t>(y) * data.stride;
        for (int32_t x = 0; x < width; ++x) {
            const Bgr c = Quadrant(x, y, width, height);
            row[3 * x] = c.b;
            row[3 * x + 1] = c.g;
            row[3 * x + 2] = c.r;
        }
    }
    image.UnlockBits(&data);
    image.Save(path, mimeType);
}

// Holds a builder thread inside a notification until the test lets it go.
class Gate {
public:
    // Called on the builder thread.
    void Enter() {
        std::unique_lock lock(mutex_);
        entered_ = true;
        changed_.notify_all();
        changed_.wait(lock, [&] { return open_; });
    }
    void WaitEntered() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return entered_; });
    }
    void Open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool entered_ = false;
    bool open_ = false;
};

// Records every finished thumbnail with what its cell showed at that moment.
class RecordingListener final : public IThumbUpdate {
public:
    struct Notice {
        std::string path;
        bool inCache = false;
        int32_t fullQuality = -1;
        int32_t imageWidth = 0;
        PixelSize display;
        PixelSize picture;
    };

    explicit RecordingListener(CMapStringToObPlus& cache) : cache_(cache) {}

    // Runs on the builder thread before the notice is recorded, so a wait for the notice also waits
    // for it; set it before any work is queued.
    std::function<void(const std::string& path)> onNotice;

    void OnThumbReady(std::string path, int flag) override {
        EXPECT_EQ(flag, 0);
        Notice notice{path};
        {
            const auto guard = cache_.Lock();
            CMapStringToObPlus::Cell cell;
            if (cache_.Lookup(path, cell)) {
                notice.inCache = true;
                notice.fullQuality = cell->fullQuality;
                notice.imageWidth = cell->imageWidth;
                notice.display = {cell->displayWidth, cell->displayHeight};
                if (const DibImagePtr picture = cell->Thumbnail()) notice.picture = {picture->width(), picture->height()};
            }
        }
        if (onNotice) onNotice(path);
        {
            std::lock_guard lock(mutex_);
            notices_.push_back(notice);
        }
        changed_.notify_all();
    }

    std::vector<Notice> Notices() const {
        std::lock_guard lock(mutex_);
        return notices_;
    }
    std::vector<std::string> Paths() const {
        std::vector<std::string> paths;
        for (const Notice& notice : Notices()) paths.push_back(notice.path);
        return paths;
    }
    size_t CountOf(const std::string& path) const {
        size_t count = 0;
        for (const Notice& notice : Notices()) count += notice.path == path;
        return count;
    }

    // Waits until the path has been announced `count` times. The minute is only a guard against a
    // hang; no test relies on how long anything takes.
    bool WaitFor(const std::string& path, size_t count = 1) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::minutes(1), [&] {
            size_t seen = 0;
            for (const Notice& notice : notices_) seen += notice.path == path;
            return seen >= count;
        });
    }

private:
    CMapStringToObPlus& cache_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Notice> notices_;
};

}  // namespace kv::test

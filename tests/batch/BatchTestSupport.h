#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "batch/BatchRunner.h"
#include "batch/CItem.h"
#include "common/TestFiles.h"
#include "imageio/Bitmap.h"

namespace kv::test {

// A picture of a given size, written in the format its extension names, at 72 dots per inch.
inline void MakeImage(const std::filesystem::path& path, int32_t width, int32_t height, uint8_t seed = 0) {
    Bitmap image(width, height, PixelFormat24bppRGB);
    BitmapData data;
    ASSERT_EQ(image.LockBits({0, 0, width, height}, ImageLockMode::Write, PixelFormat24bppRGB, &data), Status::Ok);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < 3 * width; ++x) data.scan0[y * data.stride + x] = static_cast<uint8_t>(x * 7 + y * 3 + seed);
    image.UnlockBits(&data);
    image.SetResolution(72, 72);
    std::string ext = path.extension().string();
    std::string mime = ext == ".png" ? "image/png" : ext == ".tif" ? "image/tiff" : ext == ".bmp" ? "image/bmp" : "image/jpeg";
    ASSERT_EQ(image.Save(path, mime, 90), Status::Ok);
}

inline CItem ItemOf(const std::filesystem::path& path, int32_t width, int32_t height, ResizeAlgorithm algorithm = 4,
                    float dpi = 96) {
    CItem item{ResizeSettings{}, path};
    item.batch.width = width;
    item.batch.height = height;
    item.batch.algorithm = algorithm;
    item.batch.dpi = dpi;
    return item;
}

// The names in a folder, sorted.
inline std::vector<std::string> NamesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The progress dialog, played by the test's thread: the worker's posts are queued and Pump handles
// them as the dialog's thread would, logging every report until the run has ended.
class DialogHost final : public IBatchRunHost {
public:
    void PostNewImage() override { Post(false); }
    void PostRunEnded() override { Post(true); }
    // The dialog reads the position when the notice arrives; the test takes it at once, on the
    // worker, so that it sees every position.
    void PostProgress() override {
        const int32_t position = runner_.load()->ProgressPosition();
        if (onProgress) onProgress(position);
        std::lock_guard lock(mutex_);
        positions.push_back(position);
    }

    void Start(BatchRunner& runner) {
        runner_.store(&runner);
        runner.Start();
    }

    // Handles notices until the run ended, as the dialog would. False when nothing arrives for a
    // minute.
    bool Pump(BatchRunner& runner) {
        for (;;) {
            bool ended;
            {
                std::unique_lock lock(mutex_);
                if (!posted_.wait_for(lock, std::chrono::minutes(1), [&] { return !notices_.empty(); })) return false;
                ended = notices_.front();
                notices_.pop_front();
            }
            if (ended) {
                while (auto late = runner.TakeReport()) updates.push_back(*late);
                runner.OnRunEnded();
                return true;
            }
            if (beforeTake) beforeTake(updates.size());
            // The worker waits for this report to be taken, so the bar stands where it left it.
            positionsAtReports.push_back(runner.ProgressPosition());
            if (auto update = runner.TakeReport()) updates.push_back(*update);
        }
    }

    std::vector<BatchStatus> Statuses() const {
        std::vector<BatchStatus> statuses;
        for (const BatchLogUpdate& u : updates) statuses.push_back(u.report.status);
        return statuses;
    }

    std::vector<BatchLogUpdate> updates;
    std::vector<int32_t> positions;
    std::vector<int32_t> positionsAtReports;
    // Called on the worker thread with each position the progress sink sets.
    std::function<void(int32_t)> onProgress;
    // Called with the number of reports taken so far, before the next is taken: the worker waits
    // for it meanwhile.
    std::function<void(size_t)> beforeTake;

private:
    void Post(bool ended) {
        {
            std::lock_guard lock(mutex_);
            notices_.push_back(ended);
        }
        posted_.notify_one();
    }

    std::atomic<BatchRunner*> runner_{nullptr};
    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<bool> notices_;
};

}  // namespace kv::test

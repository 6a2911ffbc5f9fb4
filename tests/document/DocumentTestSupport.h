#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/ResizeSettings.h"
#include "base/CommandTarget.h"
#include "common/RecordingTargets.h"
#include "common/TestFiles.h"
#include "document/IDocumentHost.h"
#include "document/KVScaleCrafterDoc.h"
#include "imageio/Bitmap.h"

namespace kv::test {

// Records the commands posted to it and lets a test wait for one, from any thread.
class NoticeWaiter final : public ICommandTarget {
public:
    void PostCommand(int id) override {
        {
            std::lock_guard lock(mutex_);
            commands_.push_back(id);
        }
        changed_.notify_all();
    }
    // Waits until id was posted count times in all; false after a generous limit, so a broken
    // pipeline fails the test instead of hanging it.
    bool WaitFor(int id, size_t count = 1) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(120), [&] { return Count(id) >= count; });
    }
    size_t CountOf(int id) const {
        std::lock_guard lock(mutex_);
        return Count(id);
    }
    std::vector<int> commands() const {
        std::lock_guard lock(mutex_);
        return commands_;
    }

private:
    size_t Count(int id) const { return static_cast<size_t>(std::count(commands_.begin(), commands_.end(), id)); }

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<int> commands_;
};

class RecordingHost final : public IDocumentHost {
public:
    void UpdateAllViews() override { ++viewUpdates; }
    void ShowInSettingsBar(IResizeDocument& document) override {
        ++barHandovers;
        shown = &document;
    }
    int viewUpdates = 0;
    int barHandovers = 0;
    IResizeDocument* shown = nullptr;
};

// A 24-bit picture with detail everywhere, so that a wrong offset or a wrong algorithm shows in
// the bytes.
inline std::unique_ptr<Bitmap> PatternBitmap(int32_t width, int32_t height, float dpi = 72.0f) {
    auto bitmap = std::make_unique<Bitmap>(width, height, PixelFormat24bppRGB);
    BitmapData data;
    EXPECT_EQ(bitmap->LockBits({0, 0, width, height}, ImageLockMode::Write, PixelFormat24bppRGB, &data), Status::Ok);
    uint32_t seed = 12345;
    for (int32_t y = 0; y < height; ++y) {
        uint8_t* row = data.scan0 + static_cast<ptrdiff_t>(y) * data.stride;
        for (int32_t x = 0; x < width; ++x) {
            seed = seed * 1103515245u + 12345u;
            const uint8_t noise = static_cast<uint8_t>(seed >> 27);
            row[3 * x] = static_cast<uint8_t>(x * 255 / width + noise);
            row[3 * x + 1] = static_cast<uint8_t>(y * 255 / height);
            row[3 * x + 2] = static_cast<uint8_t>(((x / 7 + y / 5) % 2) * 200 + noise);
        }
    }
    bitmap->UnlockBits(&data);
    bitmap->SetResolution(dpi, dpi);
    return bitmap;
}

inline void WritePattern(const std::filesystem::path& path, int32_t width, int32_t height, float dpi = 72.0f,
                         std::string_view mime = "image/png") {
    ASSERT_EQ(PatternBitmap(width, height, dpi)->Save(path, mime), Status::Ok);
}

// The pixels of a rectangle of a bitmap as packed 24-bit rows.
inline std::vector<uint8_t> PixelsOf(Bitmap& bitmap, Rect rect) {
    BitmapData data;
    if (bitmap.LockBits(rect, ImageLockMode::Read, PixelFormat24bppRGB, &data) != Status::Ok) return {};
    std::vector<uint8_t> bytes;
    for (int32_t y = 0; y < rect.height; ++y) {
        const uint8_t* row = data.scan0 + static_cast<ptrdiff_t>(y) * data.stride;
        bytes.insert(bytes.end(), row, row + 3 * rect.width);
    }
    bitmap.UnlockBits(&data);
    return bytes;
}

inline std::vector<uint8_t> PixelsOf(Bitmap& bitmap) {
    return PixelsOf(bitmap, {0, 0, bitmap.GetWidth(), bitmap.GetHeight()});
}

inline std::vector<std::string> FileNamesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A document over its own settings record, with everything it says and posts recorded.
struct DocumentRig {
    explicit DocumentRig(PreviewOptions options = {})
        : document(std::make_unique<CKVScaleCrafterDoc>(settings, &prompt, &frame, std::move(options))) {
        document->SetHost(&host);
    }
    ResizeSettings settings;
    RecordingUserPrompt prompt;
    NoticeWaiter frame;
    RecordingHost host;
    std::unique_ptr<CKVScaleCrafterDoc> document;
};

}  // namespace kv::test

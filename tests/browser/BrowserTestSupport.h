#pragma once

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/ResizeSettings.h"
#include "batch/CItemList.h"
#include "browser/IFileClipboard.h"
#include "browser/IThumbsView.h"
#include "browser/ThumbnailCache.h"
#include "browser/ThumbsBrowser.h"

namespace kv::test {

// The view a browser is hosted in, played by the test: a client area of a given size with a
// vertical scroll position kept in range, recording what the browser asks of it.
class RecordingView final : public IThumbsView {
public:
    PixelSize client{800, 600};
    PixelPoint scroll;
    PixelSize content{1, 1};
    PixelSize line;
    int repaintAll = 0;
    std::vector<PixelRect> repainted;
    std::atomic<int> thumbsReady{0};
    bool autoScrolling = false;
    int autoScrollStarts = 0;
    struct Rename {
        PixelRect label;
        std::filesystem::path file;
        std::string name;
    };
    std::optional<Rename> rename;
    std::vector<std::vector<std::filesystem::path>> drags;
    std::function<void()> duringDrag;  // runs inside StartDrag, as the drag's own event loop would
    std::optional<ContextMenu> menu;
    std::vector<std::filesystem::path> properties;
    BrowserStatus status;
    int statusUpdates = 0;
    int busy = 0;

    PixelSize ClientSize() const override { return client; }
    PixelPoint ScrollPosition() const override { return scroll; }
    void SetScrollSizes(PixelSize c, PixelSize l) override {
        content = c;
        line = l;
        ScrollTo(scroll);
    }
    void ScrollTo(PixelPoint position) override {
        scroll.x = 0;
        scroll.y = std::clamp(position.y, 0, std::max(0, content.height - client.height));
    }
    void RepaintAll() override { ++repaintAll; }
    void RepaintRect(const PixelRect& area) override { repainted.push_back(area); }
    void PostThumbReady() override { ++thumbsReady; }
    void StartAutoScroll() override {
        autoScrolling = true;
        ++autoScrollStarts;
    }
    void StopAutoScroll() override { autoScrolling = false; }
    void BeginRename(const PixelRect& label, const std::filesystem::path& file, const std::string& name) override {
        rename = Rename{label, file, name};
    }
    void StartDrag(const std::vector<std::filesystem::path>& files) override {
        drags.push_back(files);
        if (duringDrag) duringDrag();
    }
    void ShowContextMenu(const ContextMenu& m, PixelPoint) override { menu = m; }
    void ShowProperties(const std::filesystem::path& file) override { properties.push_back(file); }
    void ShowStatus(const BrowserStatus& s) override {
        status = s;
        ++statusUpdates;
    }
    void SetBusy(bool b) override { busy += b ? 1 : 0; }
};

// A clipboard within the test: the formats another program would have put there.
class MemoryClipboard final : public IFileClipboard {
public:
    std::vector<MimePart> parts;

    bool HoldsFileList() const override {
        std::vector<std::string> types;
        for (const MimePart& part : parts) types.push_back(part.type);
        return OffersFileList(types);
    }
    std::optional<FileList> ReadFileList() const override {
        return DecodeFileList([this](std::string_view type) -> std::optional<std::string> {
            for (const MimePart& part : parts)
                if (part.type == type) return part.data;
            return std::nullopt;
        });
    }
    void WriteFileList(const std::vector<std::filesystem::path>& files, bool cut) override {
        parts = EncodeFileList(files, cut);
    }
    void Clear() override { parts.clear(); }
};

// Items named a0.jpg, a1.jpg, ... under a folder (no files are made).
inline void FillItems(CItemList& items, size_t count, const std::filesystem::path& folder = "/pics") {
    for (size_t i = 0; i < count; ++i)
        items.Append(std::make_unique<CItem>(ResizeSettings{}, folder / ("a" + std::to_string(i) + ".jpg")));
}

inline std::vector<size_t> Selected(const CItemList& items) { return items.SelectedIndices(); }

// The client point at the middle of an item's picture.
inline PixelPoint CentreOf(const CThumbsBrowser& browser, size_t index, const RecordingView& view) {
    const PixelRect cell = browser.Grid().CellRect(index);
    return {(cell.left + cell.right) / 2 - view.scroll.x, (cell.top + cell.bottom) / 2 - 20 - view.scroll.y};
}

}  // namespace kv::test

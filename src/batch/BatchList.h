#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "app/IBatchStamping.h"
#include "app/ResizeSettings.h"
#include "base/UserPrompt.h"
#include "batch/BatchFile.h"
#include "batch/CItem.h"
#include "batch/CItemList.h"
#include "batch/IBatchListListener.h"

namespace kv {

// The texts the batch list shows the user.
namespace BatchListText {
inline constexpr const char* kDuplicateQuestion =
    "File\n%s\nis already selected for batch.\nDo you want to have multiple copies of this file?";
inline constexpr const char* kWrongFile = "Wrong file!";
inline constexpr const char* kCantOpenFile = "Can't open file\n%s!";
inline constexpr const char* kCantWriteFile = "Can't write file\n%s!";
inline constexpr const char* kTooltip = "Resize to: %dx%d\nResolution: %g DPI\n%s";
inline constexpr size_t kTooltipMaxChars = 80;
}  // namespace BatchListText

// The images a batch run processes, in the order they were added, each with the output values
// stamped on it. Lives on the user-interface thread; a batch run works on a copy of the items.
// Paths are compared exactly, as the file system does.
class BatchList final : public IBatchStamping {
public:
    // settings is the application's record: new items start from it and stamping reads it.
    BatchList(ResizeSettings& settings, IUserPrompt* prompt);
    BatchList(const BatchList&) = delete;
    BatchList& operator=(const BatchList&) = delete;

    void SetListener(IBatchListListener* listener) { listener_ = listener; }

    size_t size() const { return items_.size(); }
    bool empty() const { return items_.empty(); }
    CItem& item(size_t index) { return items_[index]; }
    const CItem& item(size_t index) const { return items_[index]; }
    std::vector<std::filesystem::path> Paths() const { return items_.Paths(); }
    // The items in list order, for the browser that shows them and may reorder them.
    CItemList& Items() { return items_; }
    const CItemList& Items() const { return items_; }

    // Dropped or pasted files, in order. A path already in the list asks whether another copy is
    // wanted and is skipped on No. A new item is stamped with the current settings when "apply to
    // new" is on, else with its image's own size. Files are not checked for existence or type.
    void AddFiles(std::span<const std::filesystem::path> paths);
    // Files named on the command line replace the list: those that exist become items with no
    // output size yet (0 x 0) until they are stamped.
    void ReplaceWithFiles(std::span<const std::filesystem::path> paths);
    // Deletes every selected item.
    void RemoveSelected();
    bool HasSelection() const;
    void Clear();

    // After each completed change of the settings in batch mode, and "Apply to All": the rule
    // for a given image, applied to each item's file.
    void StampSelected() override;
    void StampAll() override;

    // A click chose the item: its values become the current settings when it has a size, then
    // the frame shows the document again (browsing window showing) or opens the item's image,
    // with the record marked so that opening keeps the values just copied.
    void ChooseItem(size_t index, IBatchItemHost& host);

    // "Resize to: WxH", the resolution and the algorithm's name.
    static std::string Tooltip(const CItem& item);

    // Tells the listener the whole list again.
    void Rebuild();

    // Saves the list as a batch file; a failure is told to the user and leaves any old file whole.
    bool Save(const std::filesystem::path& path);
    // Replaces the list with a batch file's items whose images still exist. A file that cannot be
    // read or has another header is told to the user and changes nothing; one that ends early
    // keeps the items read up to there.
    bool Load(const std::filesystem::path& path);

    std::vector<BatchRecord> Records() const;

private:
    void Stamp(CItem& item, StampSource source) const;
    void Say(const std::string& text);

    ResizeSettings& settings_;
    IUserPrompt* prompt_;
    IBatchListListener* listener_ = nullptr;
    CItemList items_;
};

}  // namespace kv

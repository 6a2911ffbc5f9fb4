#include "batch/BatchList.h"

#include <cstdio>

#include "base/AtomicFile.h"
#include "base/FileStatus.h"
#include "batch/BatchText.h"

namespace kv {

BatchList::BatchList(ResizeSettings& settings, IUserPrompt* prompt) : settings_(settings), prompt_(prompt) {}

void BatchList::AddFiles(std::span<const std::filesystem::path> paths) {
    for (const std::filesystem::path& path : paths) {
        bool present = false;
        for (size_t i = 0; i < items_.size(); ++i) present = present || items_[i].path == path;
        if (present && !(prompt_ && prompt_->AskYesNo(Format(BatchListText::kDuplicateQuestion, path.c_str()))))
            continue;
        auto item = std::make_unique<CItem>(settings_, path);
        Stamp(*item, settings_.applyToNew ? StampSource::CurrentSettings : StampSource::ImageOwnSize);
        items_.Append(std::move(item));
    }
    if (listener_) listener_->OnItemsChanged();
}

void BatchList::ReplaceWithFiles(std::span<const std::filesystem::path> paths) {
    items_.Clear();
    for (const std::filesystem::path& path : paths)
        if (FileExists(path)) items_.Append(std::make_unique<CItem>(settings_, path));
    Rebuild();
    if (!items_.empty() && listener_) listener_->OnBatchModeWanted();
}

void BatchList::RemoveSelected() {
    items_.RemoveSelected();
    if (listener_) listener_->OnItemsChanged();
}

bool BatchList::HasSelection() const { return items_.FirstSelected().has_value(); }

void BatchList::Clear() { items_.Clear(); }

void BatchList::Stamp(CItem& item, StampSource source) const { StampSize(settings_, item.path, source, item.batch); }

void BatchList::StampSelected() {
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i].selected) Stamp(items_[i], StampSource::CurrentSettings);
}

void BatchList::StampAll() {
    for (size_t i = 0; i < items_.size(); ++i) Stamp(items_[i], StampSource::CurrentSettings);
}

void BatchList::ChooseItem(size_t index, IBatchItemHost& host) {
    const CItem& chosen = items_.at(index);
    if (chosen.batch.width != 0 && chosen.batch.height != 0) {
        settings_.width = chosen.batch.width;
        settings_.height = chosen.batch.height;
        settings_.dpi = chosen.batch.dpi;
        settings_.algorithm = chosen.batch.algorithm;
        settings_.correction = chosen.batch.correction;
    }
    if (host.BrowseWindowShowing()) {
        host.ShowCurrentDocument();
        return;
    }
    // Opening would otherwise apply the rule for a newly opened image over the values just copied.
    struct Marker {
        explicit Marker(bool& flag) : flag_(flag) { flag_ = true; }
        ~Marker() { flag_ = false; }
        bool& flag_;
    } marker(settings_.openingFromBatchList);
    const std::filesystem::path path = chosen.path;  // the host may change the list while opening
    host.OpenDocument(path);
}

std::string BatchList::Tooltip(const CItem& item) {
    const StampedSettings& b = item.batch;
    std::string text = Format(BatchListText::kTooltip, b.width, b.height, static_cast<double>(b.dpi),
                              AlgorithmLogName(b.algorithm));
    if (text.size() > BatchListText::kTooltipMaxChars) text.resize(BatchListText::kTooltipMaxChars);
    return text;
}

void BatchList::Rebuild() {
    if (listener_) listener_->OnRebuild(Paths());
}

std::vector<BatchRecord> BatchList::Records() const {
    std::vector<BatchRecord> records;
    records.reserve(items_.size());
    for (size_t i = 0; i < items_.size(); ++i) records.push_back({items_[i].path, items_[i].batch});
    return records;
}

bool BatchList::Save(const std::filesystem::path& path) {
    if (WriteBatchFile(path, Records()).ok()) return true;
    Say(Format(BatchListText::kCantWriteFile, path.c_str()));
    return false;
}

bool BatchList::Load(const std::filesystem::path& path) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes, kMaxBatchFileBytes).ok()) {
        Say(Format(BatchListText::kCantOpenFile, path.c_str()));
        return false;
    }
    const std::optional<std::vector<BatchRecord>> records = DecodeBatchFile(bytes);
    if (!records) {
        Say(BatchListText::kWrongFile);
        return false;
    }
    items_.Clear();
    for (const BatchRecord& record : *records) {
        if (record.path.empty() || !FileExists(record.path)) continue;
        auto item = std::make_unique<CItem>(settings_, record.path);
        item->batch = record.values;
        items_.Append(std::move(item));
    }
    Rebuild();
    if (!items_.empty() && listener_) listener_->OnBatchModeWanted();
    return true;
}

void BatchList::Say(const std::string& text) {
    if (prompt_) prompt_->ShowMessage(text);
}

}  // namespace kv

#include "browser/SortModes.h"

#include <QString>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <numeric>
#include <tuple>
#include <vector>

#include "base/CommandIds.h"
#include "base/FileStatus.h"
#include "platform/PrivateProfile.h"

namespace kv {

namespace {

int64_t Seconds(const timespec& time) { return static_cast<int64_t>(time.tv_sec); }

QString Folded(const std::string& text) { return QString::fromStdString(text).toCaseFolded(); }

// What an item is ordered by: a case-folded text, then a number, then the full path.
struct SortKey {
    QString text;
    int64_t number = 0;
    double size = 0;
    QString folded;      // the full path, case-folded, for the tie-break
    std::string exact;   // and as it is, so that paths differing in case still have an order
};

SortKey KeyOf(const CItem& item, SortMode mode, const CellSizeLookup& cellSize) {
    SortKey key;
    const std::filesystem::path& path = item.path;
    switch (mode) {
        case SortMode::Created: key.number = item.created; break;
        case SortMode::Modified: key.number = item.modified; break;
        case SortMode::Extension: key.text = Folded(path.extension().string()); break;
        case SortMode::FileSize: key.size = item.size; break;
        case SortMode::NameTail: {
            const std::string stem = path.stem().string();
            key.text = Folded(stem.size() > 4 ? stem.substr(4) : std::string());
            break;
        }
        case SortMode::Dimensions:
        case SortMode::Width:
        case SortMode::Height: {
            const std::optional<PixelSize> size = cellSize ? cellSize(path) : std::nullopt;
            const int64_t width = size ? size->width : 0;
            const int64_t height = size ? size->height : 0;
            key.number = mode == SortMode::Width    ? width
                         : mode == SortMode::Height ? height
                                                    : ((width & 0xFFFF) << 16) + (height & 0xFFFF);
            break;
        }
        case SortMode::Name:
        case SortMode::NameAgain: key.text = Folded(path.filename().string()); break;
    }
    return key;
}

bool BreaksTiesByPath(SortMode mode) {
    switch (mode) {
        case SortMode::Created:
        case SortMode::Modified:
        case SortMode::Extension:
        case SortMode::FileSize:
        case SortMode::NameTail: return true;
        default: return false;
    }
}

bool NeedsDetails(SortMode mode) {
    return mode == SortMode::Created || mode == SortMode::Modified || mode == SortMode::FileSize;
}

}  // namespace

SortMode SortModeOf(int32_t value) {
    return value >= 0 && value <= static_cast<int32_t>(SortMode::NameTail) ? static_cast<SortMode>(value) : SortMode::Name;
}

std::optional<SortMode> SortModeOfCommand(int id) {
    switch (id) {
        case CommandId::ID_SORT_NAME: return SortMode::Name;
        case CommandId::ID_SORT_DATE: return SortMode::Modified;
        case CommandId::ID_SORT_FORMAT: return SortMode::Extension;
        case CommandId::ID_SORT_WIDTH: return SortMode::Width;
        case CommandId::ID_SORT_HEIGHT: return SortMode::Height;
        case CommandId::ID_SORT_SIZE: return SortMode::FileSize;
        default: return std::nullopt;
    }
}

bool SortsOnRefresh(SortMode mode) {
    return mode != SortMode::NameAgain && mode != SortMode::Width && mode != SortMode::Height;
}

SortMode ReadSortMode(const std::filesystem::path& winIni) {
    const std::optional<std::string> text = ReadPrivateProfileString(winIni, "BROWSER", "SORT");
    if (!text) return SortMode::Name;
    // As the desktop's profile reader takes a whole number: its leading digits, a negative one as 0.
    const char* begin = text->data();
    const char* end = begin + text->size();
    int32_t value = 0;
    if (std::from_chars(begin, end, value).ec != std::errc() || value < 0) return SortMode::Name;
    return SortModeOf(value);
}

void LoadDetails(CItem& item) {
    if (const std::optional<FileStatus> status = GetFileStatus(item.path)) SetDetails(item, *status);
}

void SetDetails(CItem& item, const FileStatus& status) {
    item.size = static_cast<double>(status.size);
    item.created = Seconds(status.created);
    item.modified = Seconds(status.modified);
    item.accessed = Seconds(status.accessed);
    item.detailsLoaded = 1;
}

void SortItems(CItemList& items, SortMode mode, const CellSizeLookup& cellSize) {
    if (NeedsDetails(mode))
        for (size_t i = 0; i < items.size(); ++i)
            if (!items[i].detailsLoaded) LoadDetails(items[i]);

    const bool byPath = BreaksTiesByPath(mode);
    std::vector<SortKey> keys;
    keys.reserve(items.size());
    for (size_t i = 0; i < items.size(); ++i) {
        keys.push_back(KeyOf(items[i], mode, cellSize));
        if (byPath) {
            keys.back().folded = Folded(items[i].path.string());
            keys.back().exact = items[i].path.string();
        }
    }
    std::vector<size_t> order(items.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        const SortKey& x = keys[a];
        const SortKey& y = keys[b];
        if (const int text = x.text.compare(y.text); text != 0) return text < 0;
        if (x.number != y.number) return x.number < y.number;
        if (x.size != y.size) return x.size < y.size;
        if (const int folded = x.folded.compare(y.folded); folded != 0) return folded < 0;
        return x.exact < y.exact;
    });
    items.Reorder(order);
}

}  // namespace kv

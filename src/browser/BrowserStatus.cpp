#include "browser/BrowserStatus.h"

#include <QDateTime>
#include <QLocale>

#include "app/SizeArithmetic.h"
#include "base/FileStatus.h"
#include "batch/BatchText.h"
#include "browser/PaletteItem.h"
#include "browser/SortModes.h"

namespace kv {

namespace {

double SizeOf(CItem& item) {
    if (!item.detailsLoaded) LoadDetails(item);
    return item.size;
}

std::string TotalFiles(size_t count) { return Format("Total %zu files", count); }

}  // namespace

std::string FormatBrowserSize(double bytes) {
    return FormatByteSize(bytes > 0 ? static_cast<uint64_t>(bytes) : 0, 2);
}

std::string FormatFileTime(int64_t secondsSince1970) {
    const QDateTime time = QDateTime::fromSecsSinceEpoch(secondsSince1970);
    return QLocale::system().toString(time, QLocale::ShortFormat).toStdString();
}

BrowserStatus MakeBrowserStatus(CItemList& items, const CPaletteItem* selectedCell) {
    BrowserStatus status;
    const std::vector<size_t> selected = items.SelectedIndices();
    if (selected.size() == 1) {
        CItem& item = items[selected.front()];
        status.files = item.path.filename().string();
        status.size = FormatBrowserSize(SizeOf(item));
        if (item.detailsLoaded) status.date = FormatFileTime(item.modified);
        if (selectedCell && selectedCell->imageWidth > 0)
            status.image = Format("%dx%d, %d bits", selectedCell->imageWidth, selectedCell->imageHeight,
                                  selectedCell->bitsPerPixel);
        return status;
    }
    double total = 0;
    if (selected.empty()) {
        for (size_t i = 0; i < items.size(); ++i) total += SizeOf(items[i]);
        status.files = TotalFiles(items.size());
    } else {
        for (const size_t i : selected) total += SizeOf(items[i]);
        status.files = TotalFiles(selected.size());
    }
    status.size = FormatBrowserSize(total);
    return status;
}

std::string ThumbTooltip(CItem& item, const CPaletteItem* cell) {
    if (!cell || !FileExists(item.path)) return {};
    return Format("File: %s\nSize: %dx%d\nFile size: %s", item.path.filename().c_str(), cell->imageWidth,
                  cell->imageHeight, FormatBrowserSize(SizeOf(item)).c_str());
}

}  // namespace kv

#pragma once

#include <QDialog>
#include <filesystem>
#include <vector>

#include "imageio/ImageInfoItems.h"

class QTableWidget;

namespace kv::ui {

// What "Image Info" shows of one file: its path, size, colours and named camera details.
struct ImageInfo {
    std::filesystem::path path;
    uint32_t width = 0;
    uint32_t height = 0;
    PixelFormat pixelFormat = PixelFormatUndefined;
    std::vector<ImageInfoItem> items;
};

// Reads a file's facts header-only; a file that does not open gives 0 X 0, one colour and no items.
ImageInfo ReadImageInfo(const std::filesystem::path& path);

// The "Image Info" dialog: the file name, "W X H", the number of colours and a two-column list of
// the camera details. Rows are selected whole; Ctrl+C copies the selected rows as "name<TAB>value"
// lines.
class CJFIFDlg final : public QDialog {
    Q_OBJECT
public:
    CJFIFDlg(const ImageInfo& info, QWidget* parent = nullptr);

    QTableWidget& Details() { return *details_; }
    // The selected rows as text, as Ctrl+C copies them.
    QString SelectedText() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTableWidget* details_ = nullptr;
};

// Opens the file and runs the dialog modally.
void ShowImageInfo(const std::filesystem::path& path, QWidget* parent);

}  // namespace kv::ui

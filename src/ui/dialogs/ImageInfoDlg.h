#pragma once

#include <QDialog>
#include <filesystem>

#include "ui/bridge/ImageDetails.h"

class QTableWidget;

namespace kv::ui {

// The "Image Info" dialog: the file name, "W X H", the number of colours and a two-column list of
// the camera details. Rows are selected whole; Ctrl+C copies the selected rows as "name<TAB>value"
// lines.
class CJFIFDlg final : public QDialog {
    Q_OBJECT
public:
    CJFIFDlg(const ImageDetails& facts, QWidget* parent = nullptr);

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

#pragma once

#include <QDialog>

#include "ui/bridge/FileDialogs.h"

class QCheckBox;
class QSlider;
class QSpinBox;

namespace kv::ui {

// The JPEG options of a single save, asked once its name is chosen: the quality from 1 to 100 and,
// where the original is a JPEG, "Same as the original" with the quality it was written at.
class CJpegOptionsDlg final : public QDialog {
    Q_OBJECT
public:
    CJpegOptionsDlg(const JpegSaveChoice& choice, QWidget* parent = nullptr);

    // The choice as the dialog shows it.
    JpegSaveChoice Choice() const;

private:
    void ShowSameAsOriginal();

    JpegSaveChoice initial_;
    QSlider* slider_ = nullptr;
    QSpinBox* quality_ = nullptr;
    QCheckBox* same_ = nullptr;
};

}  // namespace kv::ui

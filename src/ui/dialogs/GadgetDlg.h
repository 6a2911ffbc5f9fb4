#pragma once

#include <QDialog>

#include "app/PresetPicker.h"

class QLineEdit;
class QListWidget;

namespace kv::ui {

// The small dialog that names a preset: a "Name:" box over the sorted list of the presets present,
// OK, Cancel and Delete. The picker decides; the dialog shows it.
class CGadgetDlg final : public QDialog {
    Q_OBJECT
public:
    CGadgetDlg(PresetPicker& picker, QWidget* parent = nullptr);

    QLineEdit& NameBox() { return *name_; }
    QListWidget& List() { return *list_; }
    void Ok();
    void Delete();

private:
    void ShowNames();

    PresetPicker& picker_;
    QLineEdit* name_ = nullptr;
    QListWidget* list_ = nullptr;
};

}  // namespace kv::ui

#include "ui/dialogs/JpegOptionsDlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

namespace kv::ui {

namespace {
constexpr int kLowest = 1;
constexpr int kHighest = 100;
}  // namespace

CJpegOptionsDlg::CJpegOptionsDlg(const JpegSaveChoice& choice, QWidget* parent) : QDialog(parent), initial_(choice) {
    setWindowTitle(QStringLiteral("JPEG Options"));
    auto* column = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    column->addLayout(grid);

    auto* label = new QLabel(QStringLiteral("&Quality:"), this);
    slider_ = new QSlider(Qt::Horizontal, this);
    slider_->setRange(kLowest, kHighest);
    slider_->setPageStep(5);
    slider_->setAccessibleName(QStringLiteral("Quality slider"));
    slider_->setMinimumWidth(200);
    quality_ = new QSpinBox(this);
    quality_->setRange(kLowest, kHighest);
    quality_->setAccessibleName(QStringLiteral("Quality"));
    label->setBuddy(quality_);
    const int quality = std::clamp(choice.quality, kLowest, kHighest);
    slider_->setValue(quality);
    quality_->setValue(quality);
    connect(slider_, &QSlider::valueChanged, quality_, &QSpinBox::setValue);
    connect(quality_, qOverload<int>(&QSpinBox::valueChanged), slider_, &QSlider::setValue);
    grid->addWidget(label, 0, 0);
    grid->addWidget(slider_, 0, 1);
    grid->addWidget(quality_, 0, 2);
    auto* hint = new QLabel(QStringLiteral("Higher keeps more detail and makes a larger file."), this);
    hint->setEnabled(false);
    grid->addWidget(hint, 1, 1, 1, 2);

    // Offered only where there is an original quality to keep.
    if (choice.original) {
        same_ = new QCheckBox(QStringLiteral("Same as the &original (%1)").arg(*choice.original), this);
        same_->setAccessibleName(QStringLiteral("Same as the original"));
        same_->setChecked(choice.sameAsOriginal);
        connect(same_, &QCheckBox::toggled, this, &CJpegOptionsDlg::ShowSameAsOriginal);
        grid->addWidget(same_, 2, 0, 1, 3);
    }

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, this);
    column->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    ShowSameAsOriginal();
    quality_->setFocus();
    quality_->selectAll();
}

void CJpegOptionsDlg::ShowSameAsOriginal() {
    const bool same = same_ && same_->isChecked();
    // The original's quality is shown while it is the one that counts; the user's own number
    // comes back when the box is cleared.
    slider_->setEnabled(!same);
    quality_->setEnabled(!same);
    const QSignalBlocker blockSlider(slider_), blockSpin(quality_);
    const int shown = same ? *initial_.original : std::clamp(initial_.quality, kLowest, kHighest);
    if (same) initial_.quality = quality_->value();
    slider_->setValue(shown);
    quality_->setValue(shown);
}

JpegSaveChoice CJpegOptionsDlg::Choice() const {
    JpegSaveChoice choice = initial_;
    choice.sameAsOriginal = same_ ? same_->isChecked() : initial_.sameAsOriginal;
    if (!(same_ && same_->isChecked())) choice.quality = quality_->value();
    return choice;
}

}  // namespace kv::ui

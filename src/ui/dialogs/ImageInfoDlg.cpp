#include "ui/dialogs/ImageInfoDlg.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QFile>
#include <QFormLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace kv::ui {

CJFIFDlg::CJFIFDlg(const ImageDetails& facts, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Image Info"));
    auto* column = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    auto* path = new QLineEdit(QFile::decodeName(facts.path.string().c_str()), this);
    path->setReadOnly(true);
    path->setAccessibleName(QStringLiteral("File Name"));
    auto* dimensions = new QLabel(QString::fromStdString(facts.dimensions), this);
    dimensions->setAccessibleName(QStringLiteral("Dimensions"));
    auto* colours = new QLabel(QString::fromStdString(facts.colors), this);
    colours->setAccessibleName(QStringLiteral("Colors"));
    form->addRow(QStringLiteral("File Name :"), path);
    form->addRow(QStringLiteral("Dimensions :"), dimensions);
    form->addRow(QStringLiteral("Colors :"), colours);
    column->addLayout(form);

    details_ = new QTableWidget(static_cast<int>(facts.camera.size()), 2, this);
    auto* detailsLabel = new QLabel(QStringLiteral("&Camera details:"), this);
    detailsLabel->setBuddy(details_);
    details_->setAccessibleName(QStringLiteral("Camera details"));
    details_->horizontalHeader()->hide();
    details_->verticalHeader()->hide();
    details_->setShowGrid(true);
    details_->setSelectionBehavior(QAbstractItemView::SelectRows);
    details_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    details_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    details_->setWordWrap(false);
    details_->installEventFilter(this);
    for (int row = 0; row < static_cast<int>(facts.camera.size()); ++row) {
        details_->setItem(row, 0, new QTableWidgetItem(QString::fromStdString(facts.camera[row].name)));
        details_->setItem(row, 1, new QTableWidgetItem(QString::fromStdString(facts.camera[row].value)));
    }
    details_->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    details_->horizontalHeader()->setStretchLastSection(true);
    details_->setMinimumSize(460, 260);
    // The name column takes half the width less 25 pixels, the value column the rest.
    details_->setColumnWidth(0, details_->minimumWidth() / 2 - 25);
    if (facts.camera.empty()) {
        details_->setEnabled(false);
        detailsLabel->setEnabled(false);
    }
    column->addWidget(detailsLabel);
    column->addWidget(details_, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("&OK"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    column->addWidget(buttons);
}

QString CJFIFDlg::SelectedText() const {
    QStringList lines;
    for (int row = 0; row < details_->rowCount(); ++row) {
        if (!details_->item(row, 0)->isSelected()) continue;
        lines << details_->item(row, 0)->text() + QLatin1Char('\t') + details_->item(row, 1)->text();
    }
    return lines.join(QLatin1Char('\n'));
}

bool CJFIFDlg::eventFilter(QObject* watched, QEvent* event) {
    // The list would copy only its current cell; the dialog copies whole rows.
    if (watched == details_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        QApplication::clipboard()->setText(SelectedText());
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void ShowImageInfo(const std::filesystem::path& path, QWidget* parent) {
    CJFIFDlg dialog(ReadImageDetails(path), parent);
    dialog.exec();
}

}  // namespace kv::ui

#include "ui/dialogs/GadgetDlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace kv::ui {

CGadgetDlg::CGadgetDlg(PresetPicker& picker, QWidget* parent) : QDialog(parent), picker_(picker) {
    setWindowTitle(QString::fromStdString(picker_.title()));
    auto* column = new QVBoxLayout(this);
    name_ = new QLineEdit(this);
    name_->setAccessibleName(QStringLiteral("Name"));
    auto* label = new QLabel(QStringLiteral("&Name:"), this);
    label->setBuddy(name_);
    list_ = new QListWidget(this);
    list_->setAccessibleName(QStringLiteral("Names"));
    column->addWidget(label);
    column->addWidget(name_);
    column->addWidget(list_, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* remove = buttons->addButton(QStringLiteral("&Delete"), QDialogButtonBox::ActionRole);
    remove->setAccessibleName(QStringLiteral("Delete"));
    column->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &CGadgetDlg::Ok);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(remove, &QPushButton::clicked, this, &CGadgetDlg::Delete);
    // Choosing a name in the list puts it in the box; a double click also confirms it.
    connect(list_, &QListWidget::currentTextChanged, name_, &QLineEdit::setText);
    connect(list_, &QListWidget::itemDoubleClicked, this, &CGadgetDlg::Ok);
    ShowNames();
    resize(320, 360);
}

void CGadgetDlg::ShowNames() {
    list_->clear();
    for (const std::string& name : picker_.names()) list_->addItem(QString::fromStdString(name));
}

void CGadgetDlg::Ok() {
    if (picker_.Accept(name_->text().toStdString())) accept();
}

void CGadgetDlg::Delete() {
    if (picker_.Delete(name_->text().toStdString())) {
        ShowNames();
        name_->clear();
    }
}

}  // namespace kv::ui

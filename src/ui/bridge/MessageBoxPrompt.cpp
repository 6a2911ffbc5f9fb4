#include "ui/bridge/MessageBoxPrompt.h"

#include <QApplication>
#include <QMessageBox>

namespace kv::ui {

namespace {
const QString kTitle = QStringLiteral("KARVO Scale Crafter");

// The program's texts end lines with "\r\n" in places; a message box wants plain line breaks.
QString BoxText(const std::string& text) {
    QString box = QString::fromStdString(text);
    box.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return box.trimmed();
}
}  // namespace

void MessageBoxPrompt::ShowMessage(const std::string& text) {
    QApplication::beep();
    QMessageBox::warning(parent_(), kTitle, BoxText(text));
}

bool MessageBoxPrompt::AskYesNo(const std::string& question) {
    return QMessageBox::question(parent_(), kTitle, BoxText(question), QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

void MessageBoxPrompt::Beep() { QApplication::beep(); }

}  // namespace kv::ui

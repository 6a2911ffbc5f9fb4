#include "ui/browser/PopupEdit.h"

#include <QApplication>
#include <QKeyEvent>

namespace kv::ui {

CPopupEdit::CPopupEdit(QWidget* parent, const QString& name, std::function<void(const QString&)> commit,
                       std::function<void()> cancel)
    : QLineEdit(name, parent), commit_(std::move(commit)), cancel_(std::move(cancel)) {
    QFont font = QApplication::font();
    font.setPointSize(8);
    setFont(font);
    setAlignment(Qt::AlignCenter);
    setFrame(true);
    setAccessibleName(QStringLiteral("File name"));
    selectAll();
}

void CPopupEdit::Commit() {
    if (finished_) return;
    finished_ = true;
    hide();
    // The name is handed on after the editor has stepped aside: renaming may ask questions, whose
    // boxes take the focus from it.
    if (commit_) commit_(text());
    deleteLater();
}

void CPopupEdit::Cancel() {
    if (finished_) return;
    finished_ = true;
    hide();
    if (cancel_) cancel_();
    deleteLater();
}

void CPopupEdit::keyPressEvent(QKeyEvent* event) {
    if (finished_) return;
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter: Commit(); return;
        case Qt::Key_Escape: Cancel(); return;
        default: QLineEdit::keyPressEvent(event);
    }
}

void CPopupEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // A context menu of the edit itself takes the focus for a moment; that is not leaving it.
    if (event->reason() != Qt::PopupFocusReason) Commit();
}

}  // namespace kv::ui

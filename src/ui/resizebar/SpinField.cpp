#include "ui/resizebar/SpinField.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionSpinBox>

namespace kv::ui {

namespace {
bool IsStepKey(int key) {
    return key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp || key == Qt::Key_PageDown;
}
}  // namespace

SpinField::SpinField(QWidget* parent) : QAbstractSpinBox(parent) {
    setKeyboardTracking(true);
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
    setAlignment(Qt::AlignRight);
    // Any change of the text that the bar did not make itself is the user's: typed, pasted, or set
    // through the accessibility interface.
    connect(lineEdit(), &QLineEdit::textChanged, this, [this](const QString& text) {
        if (!showing_) emit Edited(text);
    });
}

void SpinField::ShowText(const QString& text) {
    if (lineEdit()->text() == text) return;
    showing_ = true;
    const bool typing = hasFocus() && !stepping_;
    const int cursor = lineEdit()->cursorPosition();
    lineEdit()->setText(text);
    if (typing) lineEdit()->setCursorPosition(std::min<int>(cursor, text.size()));
    showing_ = false;
}

QAbstractSpinBox::StepEnabled SpinField::stepEnabled() const {
    return isEnabled() && !isReadOnly() ? (StepUpEnabled | StepDownEnabled) : StepNone;
}

void SpinField::stepBy(int steps) {
    stepping_ = true;
    emit Stepped(steps);
}

void SpinField::EndStepping() {
    if (!stepping_) return;
    stepping_ = false;
    emit Released();
}

void SpinField::keyPressEvent(QKeyEvent* event) {
    if (IsStepKey(event->key())) keyHeld_ = true;
    QAbstractSpinBox::keyPressEvent(event);
}

void SpinField::keyReleaseEvent(QKeyEvent* event) {
    QAbstractSpinBox::keyReleaseEvent(event);
    if (IsStepKey(event->key()) && !event->isAutoRepeat()) {
        keyHeld_ = false;
        EndStepping();
    }
}

void SpinField::mouseReleaseEvent(QMouseEvent* event) {
    QAbstractSpinBox::mouseReleaseEvent(event);
    EndStepping();
}

void SpinField::wheelEvent(QWheelEvent* event) {
    QAbstractSpinBox::wheelEvent(event);
    // A wheel notch is a whole step: pressed and let go at once.
    EndStepping();
}

void SpinField::focusOutEvent(QFocusEvent* event) {
    QAbstractSpinBox::focusOutEvent(event);
    keyHeld_ = false;
    EndStepping();
    emit Left();
}

QSize SpinField::sizeHint() const {
    ensurePolished();
    const QFontMetrics metrics(font());
    QStyleOptionSpinBox option;
    initStyleOption(&option);
    const QSize text(metrics.horizontalAdvance(QStringLiteral("100000.00")) + 4, lineEdit()->sizeHint().height());
    return style()->sizeFromContents(QStyle::CT_SpinBox, &option, text, this);
}

}  // namespace kv::ui

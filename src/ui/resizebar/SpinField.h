#pragma once

#include <QAbstractSpinBox>

namespace kv::ui {

// A field of the settings bar with its spin button: the desktop's spin box, but its text and its
// steps belong to the settings bar. A step (arrow, key or wheel) is only reported; the bar writes
// the new text. Letting go of the arrow or the key is reported too, since the preview waits for it.
class SpinField final : public QAbstractSpinBox {
    Q_OBJECT
public:
    explicit SpinField(QWidget* parent = nullptr);

    void stepBy(int steps) override;
    // Whether a step key is held down (the bar's timer must not end the stepping then).
    bool KeyHeld() const { return keyHeld_; }
    QLineEdit* Editor() const { return lineEdit(); }
    // Shows a text without taking it for an edit.
    void ShowText(const QString& text);

signals:
    void Stepped(int steps);
    void Released();
    void Edited(const QString& text);
    void Left();

protected:
    StepEnabled stepEnabled() const override;
    QValidator::State validate(QString&, int&) const override { return QValidator::Acceptable; }
    void fixup(QString&) const override {}
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

private:
    void EndStepping();

    bool showing_ = false;
    bool stepping_ = false;
    bool keyHeld_ = false;
};

}  // namespace kv::ui

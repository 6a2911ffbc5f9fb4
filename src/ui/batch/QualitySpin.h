#pragma once

#include <QAbstractSpinBox>
#include <optional>

namespace kv::ui {

// The JPEG quality field of "Batch Settings": its arrows step from 1 to 100, and it keeps whatever
// number is typed, so that a value out of range reaches "OK" and is answered there by a message
// instead of being changed silently.
class CQualitySpin final : public QAbstractSpinBox {
    Q_OBJECT
public:
    static constexpr int kMinimum = 1;
    static constexpr int kMaximum = 100;

    explicit CQualitySpin(int value, QWidget* parent = nullptr);

    QString Text() const;
    void SetValue(int value);

    void stepBy(int steps) override;
    QValidator::State validate(QString& input, int& position) const override;
    QSize sizeHint() const override;

protected:
    StepEnabled stepEnabled() const override;

private:
    // The number in the field, or nothing.
    std::optional<int> Value() const;
};

}  // namespace kv::ui

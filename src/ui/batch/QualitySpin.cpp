#include "ui/batch/QualitySpin.h"

#include <QFontMetrics>
#include <QLineEdit>
#include <QStyleOptionSpinBox>
#include <algorithm>

namespace kv::ui {

CQualitySpin::CQualitySpin(int value, QWidget* parent) : QAbstractSpinBox(parent) {
    SetValue(value);
    setAccelerated(true);
}

QString CQualitySpin::Text() const { return lineEdit()->text(); }

void CQualitySpin::SetValue(int value) { lineEdit()->setText(QString::number(value)); }

std::optional<int> CQualitySpin::Value() const {
    bool ok = false;
    const int value = lineEdit()->text().trimmed().toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

void CQualitySpin::stepBy(int steps) {
    const int from = std::clamp(Value().value_or(kMaximum), kMinimum, kMaximum);
    SetValue(std::clamp(from + steps, kMinimum, kMaximum));
    lineEdit()->selectAll();
}

QAbstractSpinBox::StepEnabled CQualitySpin::stepEnabled() const {
    const std::optional<int> value = Value();
    if (!value) return StepUpEnabled | StepDownEnabled;
    StepEnabled enabled = StepNone;
    if (*value < kMaximum) enabled |= StepUpEnabled;
    if (*value > kMinimum) enabled |= StepDownEnabled;
    return enabled;
}

QValidator::State CQualitySpin::validate(QString& input, int& position) const {
    (void)position;
    // Digits, with blanks around them, at most ten: whatever number, right or wrong, stays typed.
    const QString digits = input.trimmed();
    if (digits.size() > 10) return QValidator::Invalid;
    for (const QChar c : digits)
        if (!c.isDigit()) return QValidator::Invalid;
    return QValidator::Acceptable;
}

QSize CQualitySpin::sizeHint() const {
    QSize hint = QAbstractSpinBox::sizeHint();
    hint.setWidth(std::max(hint.width(), fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 40));
    return hint;
}

}  // namespace kv::ui

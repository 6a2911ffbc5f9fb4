#include "ui/frame/StatusText.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace kv::ui {

namespace {

const QString kReady = QStringLiteral("Ready");
const QString kName = QStringLiteral("Status");

// Named for what it is, with what it shows as its value: a label's own interface would read the
// text as its name, or only "Status" once it is named.
class StatusAccessible final : public QAccessibleWidget {
public:
    explicit StatusAccessible(QWidget* widget) : QAccessibleWidget(widget, QAccessible::StaticText) {}
    QString text(QAccessible::Text t) const override {
        switch (t) {
            case QAccessible::Name: return kName;
            case QAccessible::Value:
            case QAccessible::Description: return static_cast<QLabel*>(widget())->text();
            default: return QAccessibleWidget::text(t);
        }
    }
};

QAccessibleInterface* StatusAccessibleFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("kv::ui::CStatusText") && object && object->isWidgetType())
        return new StatusAccessible(static_cast<QWidget*>(object));
    return nullptr;
}

}  // namespace

CStatusText::CStatusText(QWidget* parent) : QLabel(kReady, parent) {
    static const bool installed = [] {
        QAccessible::installFactory(StatusAccessibleFactory);
        return true;
    }();
    (void)installed;
    passingTimer_.setSingleShot(true);
    connect(&passingTimer_, &QTimer::timeout, this, [this] { ShowPassing({}); });
}

void CStatusText::SetStatus(const QString& text) {
    status_ = text;
    Show();
}

void CStatusText::ShowPassing(const QString& text, int timeoutMs) {
    passing_ = text;
    passingTimer_.stop();
    if (!text.isEmpty() && timeoutMs > 0) passingTimer_.start(timeoutMs);
    Show();
}

void CStatusText::Show() {
    const QString shown = !passing_.isEmpty() ? passing_ : status_.isEmpty() ? kReady : status_;
    if (shown == text()) return;
    setText(shown);
    QAccessibleEvent changed(this, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&changed);
}

}  // namespace kv::ui

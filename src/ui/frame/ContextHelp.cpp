#include "ui/frame/ContextHelp.h"

#include <QVariant>
#include <QWidget>

#include "app/HelpPages.h"

namespace kv::ui {

namespace {

constexpr const char* kHelpPageProperty = "kvHelpPage";

}  // namespace

void SetHelpPage(QWidget* widget, const char* page) { widget->setProperty(kHelpPageProperty, QString::fromLatin1(page)); }

QString HelpPageFor(const QWidget* widget) {
    for (; widget; widget = widget->parentWidget()) {
        const QVariant page = widget->property(kHelpPageProperty);
        if (page.isValid()) return page.toString();
    }
    return QString::fromLatin1(help::kWindow);
}

}  // namespace kv::ui

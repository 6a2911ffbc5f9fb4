#pragma once

#include <QString>

class QWidget;

namespace kv::ui {

// Names the page of the manual (a file of help/, with an optional "#anchor") that explains a part
// of the window and everything inside it.
void SetHelpPage(QWidget* widget, const char* page);

// The page of the nearest part around widget that names one; the manual's first page when none does.
QString HelpPageFor(const QWidget* widget);

}  // namespace kv::ui

#include "ui/browse/TabstopNavigator.h"

#include <QApplication>
#include <QKeyEvent>
#include <algorithm>
#include <climits>

namespace kv::ui {

CTabstopNavigator& CTabstopNavigator::Instance() {
    static CTabstopNavigator* navigator = [] {
        auto* created = new CTabstopNavigator;
        // Tab is taken before the pane's own handling, as a dialog takes it.
        if (qApp) qApp->installEventFilter(created);
        return created;
    }();
    return *navigator;
}

void CTabstopNavigator::Register(QWidget* pane, int order) {
    if (!pane) return;
    for (const Entry& entry : entries_)
        if (entry.pane == pane) return;
    auto before = entries_.end();
    if (order != INT_MAX)
        before = std::find_if(entries_.begin(), entries_.end(), [order](const Entry& e) { return e.order > order; });
    entries_.insert(before, Entry{order, pane});
    connect(pane, &QObject::destroyed, this, [this, pane] { Unregister(pane); });
}

void CTabstopNavigator::Unregister(QWidget* pane) {
    std::erase_if(entries_, [pane](const Entry& e) { return e.pane.isNull() || e.pane.data() == pane; });
}

std::vector<QWidget*> CTabstopNavigator::Panes() const {
    std::vector<QWidget*> panes;
    for (const Entry& entry : entries_)
        if (entry.pane) panes.push_back(entry.pane.data());
    return panes;
}

bool CTabstopNavigator::MoveFocus(QWidget* from, bool backwards) {
    const std::vector<QWidget*> panes = Panes();
    const auto at = std::find_if(panes.begin(), panes.end(), [from](QWidget* pane) { return pane == from || pane->isAncestorOf(from); });
    if (at == panes.end()) return false;
    const int count = static_cast<int>(panes.size());
    const int start = static_cast<int>(at - panes.begin());
    for (int step = 1; step < count; ++step) {
        QWidget* next = panes[static_cast<size_t>((start + (backwards ? -step : step) + count * step) % count)];
        if (next->isVisible() && next->isEnabled()) {
            next->setFocus(backwards ? Qt::BacktabFocusReason : Qt::TabFocusReason);
            return true;
        }
    }
    return true;  // the only pane shown keeps the focus
}

bool CTabstopNavigator::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Tab && key->key() != Qt::Key_Backtab) return false;
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    // Only the widget with the focus decides (the event also passes its parents' filters).
    if (!widget || widget != QApplication::focusWidget()) return false;
    // An editor open in a pane keeps Tab for itself.
    if (widget->inherits("QLineEdit")) return false;
    return MoveFocus(widget, key->key() == Qt::Key_Backtab || key->modifiers().testFlag(Qt::ShiftModifier));
}

}  // namespace kv::ui
